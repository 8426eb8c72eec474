// ADC set-up, dark offset and level readings.
#include "lumora/lumora.h"
#include "hardware/hw_access.h"
#include "devicelink/registers.h"

namespace {
void WritePair(HW_access* hw, uint32_t low, uint16_t value) {
    hw->RegWrite(low, uint8_t(value));
    hw->RegWrite(low + 1, uint8_t(value >> 8));
}
}  // namespace

int HW_access::SetupAdc(uint16_t ovs, uint16_t threshold, uint16_t startPix, uint16_t numPix,
                        uint16_t blkPix) {
    SetAcquisition(0);
    if (ovs < ADC_OVS_MIN || ovs > ADC_OVS_MAX) return LUMORA_E_RANGE;
    uint16_t s = startPix < 5 ? 5 : startPix;
    uint16_t n = numPix < 16 ? 16 : numPix;
    int t = int(ovs) * int(threshold) / (ovs <= 16 ? 16 : 32);
    uint16_t o = uint16_t(adcOffset * (ovs <= 16 ? ovs : ovs / 2));
    WritePair(this, reg::ADC_START, uint16_t(s - 5));
    WritePair(this, reg::ADC_COUNT, n);
    WritePair(this, reg::ADC_THRESHOLD, uint16_t(t));
    WritePair(this, reg::ADC_OFFSET, o);
    RegWrite(reg::ADC_OVS, uint8_t(ovs - 1));
    uint8_t output = 0;
    if (threshold == 0xFFFF) output = blkPix < 0x1000 ? 1 : blkPix < 0x2000 ? 3 : blkPix < 0x4000 ? 5 : 7;
    RegWrite(reg::ADC_OUTPUT, output);
    return 0;
}

uint16_t HW_access::ReadAdcRaw() {
    RegRead(reg::STATUS);
    return RegReadShort(reg::ADC_ACCU);
}

uint16_t HW_access::ReadAdcLevel() {
    RegRead(reg::STATUS);
    uint32_t n = (RegRead(reg::ADC_OVS) & 31u) + 1;
    uint32_t a = RegReadShort(reg::ADC_ACCU);
    return uint16_t(n < 16 ? a * 16 / n : a * 32 / n);
}

uint16_t HW_access::MeasureAdcOffset(int apply) {
    const uint8_t saved = RegRead(reg::ADC_OVS);
    RegWrite(reg::ADC_OFFSET, 0);
    RegWrite(reg::ADC_OFFSET + 1, 0);
    ReadAdcRaw();
    uint16_t m = 0;
    if (apply) {
        uint32_t sum = 0;
        for (int i = 0; i < 256; ++i) sum += ReadAdcRaw();
        m = uint16_t(sum >> 8);
        WritePair(this, reg::ADC_OFFSET, m);
    }
    adcOffset = uint16_t(saved < 16 ? m / (saved + 1) : m / ((saved + 1) / 2));
    RegWrite(reg::ADC_OVS, saved);
    return m;
}
