#include "diagnostics/diagnostic_channels.h"

#include "devicelink/registers.h"
#include "hardware/hw_access.h"
#include "lumora/lumora.h"

namespace {

// Inputs of the ADC 0x90 and volts per count.
struct AdcInput {
    uint8_t channel;
    double voltsPerCount;
};
constexpr AdcInput HV_INPUT{0, 4.883};
constexpr AdcInput SUPPLY_3V3_INPUT{1, 0.01953};
constexpr AdcInput SUPPLY_5V_INPUT{2, 0.02929};
constexpr AdcInput SUPPLY_24V_INPUT{3, 0.12793};

int32_t Millivolts(HW_access* device, const AdcInput& input) {
    return int32_t(device->I2C_ADCread(i2c::ADC_DAC, input.channel) * input.voltsPerCount * 1000);
}

}  // namespace

int ReadDiagnosticChannel(HW_access* device, int channel, int32_t* value) {
    switch (channel) {
        case DIAG_HIGH_VOLTAGE: *value = Millivolts(device, HV_INPUT); return 0;
        case DIAG_SUPPLY_5V: *value = Millivolts(device, SUPPLY_5V_INPUT); return 0;
        case DIAG_SUPPLY_3V3: *value = Millivolts(device, SUPPLY_3V3_INPUT); return 0;
        case DIAG_SUPPLY_24V: *value = Millivolts(device, SUPPLY_24V_INPUT); return 0;
        case DIAG_LASER_TEMP: *value = device->GetLaserTemperature(); return 0;
        case DIAG_SECOND_TEMP: *value = device->GetSecondTemperature(); return 0;
        default: return LUMORA_E_RANGE;
    }
}
