#include "hardware/hw_access.h"
#include "lumora/lumora.h"

#include "devicelink/registers.h"
#include "devicelink/scan_status.h"
#include "platform/clock.h"

HW_access::HW_access() = default;
HW_access::~HW_access() = default;

int HW_access::GetScanStatus(ScanStatus* out) {
    Link link(*this);
    devicelink::ReadScanStatus(link, out);
    return 0;
}

void HW_access::ClearReadBlock() {
    uint8_t control = RegRead(reg::CONTROL);
    RegWrite(reg::CONTROL, control | 0x80);
    platform::WaitMs(1);
    RegWrite(reg::CONTROL, control & 0x7F);
    platform::WaitMs(1);
}

uint32_t HW_access::Anz_ScanLine() {
    uint32_t low = RegRead(reg::LINE_COUNT_LO);
    uint32_t mid = RegRead(reg::LINE_COUNT_MID);
    uint32_t high = RegRead(reg::LINE_COUNT_HI);
    RegRead(reg::LINE_COUNT_MID);
    return high << 16 | mid << 8 | low;
}

void HW_access::SetAcquisition(int mode) {
    uint8_t code = mode == 1 ? 0x40 : mode == 2 ? 0xC0 : 0x00;
    RegWrite(reg::LASER, uint8_t((RegRead(reg::LASER) & 0x3F) | code));
    RegWrite(reg::ACQ_FLAG, code ? 1 : 0);
}

void HW_access::SetLaserMode(int mode) {
    uint8_t code = mode == 1 ? 0x10 : mode == 2 ? 0x30 : 0x00;
    RegWrite(reg::LASER, uint8_t((RegRead(reg::LASER) & 0xCF) | code));
}

int HW_access::SetLaserPower(int level) {
    SetLaserMode(0);
    if (level > 8 || level < 0) return LUMORA_E_RANGE;
    if (level == 0) level = 1;
    RegWrite(reg::LASER, uint8_t((RegRead(reg::LASER) & 0xF0) | (level - 1)));
    return 0;
}

void HW_access::SetHighVoltageEnable(int on) {
    uint8_t control = RegRead(reg::CONTROL);
    RegWrite(reg::CONTROL, on == 1 ? control | 0x08 : control & ~0x08);
}

int HW_access::SetHighVoltage(int volts) {
    // A negative voltage would wrap to the highest DAC value.
    if (volts > PMT_HV_MAX || volts < 0) return LUMORA_E_RANGE;
    int dac = int(volts / 4.883);
    if (dac > 255) dac = 255;
    return I2C_DACout(i2c::ADC_DAC, uint8_t(dac));
}

int HW_access::GetLaserTemperature() { return int(I2C_TEMPread(i2c::TEMP_LASER) / 25.6); }

int HW_access::GetSecondTemperature() { return int(I2C_TEMPread(i2c::TEMP_SECOND) / 25.6); }

void HW_access::ShuttleCommand(int mode) {
    uint8_t code = 0;
    switch (mode) {
        case 1: code = 0x71; break;
        case 2: code = 0x73; break;
        case 3: code = 0x75; break;
        case 4: code = 0x72; break;
        default: break;
    }
    RegWrite(reg::SHUTTLE_CMD, uint8_t(motorFlags ^ code));
}

void HW_access::SetupShuttle(uint32_t divider, int32_t value) {
    ShuttleCommand(0);
    if (divider == 0) divider = 1;
    uint32_t d = divider - 1;
    RegWrite(reg::SHUTTLE_DIV_LO, uint8_t(d));
    RegWrite(reg::SHUTTLE_DIV_HI, uint8_t(d >> 8));
    RegWrite(reg::SHUTTLE_A2, uint8_t(value / 2048));
    if (divider >= 250)
        motorFlags |= 0x08;
    else
        motorFlags &= ~0x08;
}

void HW_access::SetSlotMask(uint8_t mask, int32_t value) {
    uint8_t lines = 0;
    for (int slot = 0; slot < 4; ++slot)
        if (mask & (1 << slot)) lines |= uint8_t(0x03 << (2 * slot));
    slotLines = lines;
    RegWrite(reg::SLOT_A6, uint8_t(value / 2048));
}

void HW_access::SetSlotLines(int mode) {
    uint8_t code = mode == 1 ? 0x55 : mode == 2 ? 0xAA : mode == 3 ? 0xFF : 0x00;
    RegWrite(reg::SLOT_LINES, slotLines & code);
}

uint8_t HW_access::GetInletSensors() { return RegRead(reg::INLET) & 0x0F; }
uint8_t HW_access::IsScanning() { return RegRead(reg::STATUS) & 1; }
void HW_access::ArmStatus() { RegWrite(reg::STATUS, 8); }
uint32_t HW_access::GetReadPointer() { return RegReadLong(reg::READ_POINTER); }
void HW_access::SetReadPointer(uint32_t p) { RegWriteLong(reg::READ_POINTER, p); }
uint32_t HW_access::GetWordsWaiting() { return RegReadLong(reg::WORDS_WAITING); }
uint32_t HW_access::GetWritePointer() { return RegReadLong(reg::WRITE_POINTER); }
void HW_access::ResetWritePointer() { RegWrite(reg::WRITE_POINTER, 0); }
uint8_t HW_access::GetSlotLines() { return RegRead(reg::SLOT_LINES); }

void HW_access::ReadEraseUnit(EraseUnitInfo* out) {
    for (uint8_t i = 0; i <= 10; ++i) {
        RegWrite(reg::ERASE_INDEX, i);
        out->sensor[i] = RegRead(reg::ERASE_DATA);
    }
    RegWrite(reg::ERASE_INDEX, 13);
    out->firmwareVersion = RegRead(reg::ERASE_DATA);
    RegWrite(reg::ERASE_INDEX, 14);
    out->lampStatus = RegRead(reg::ERASE_DATA);
    RegWrite(reg::ERASE_INDEX, 15);
    out->lampTemperature = int16_t(RegRead(reg::ERASE_DATA) * 10);
}

int HW_access::ReadEventCounters(EventCounters* out, int slot) {
    *out = EventCounters{};
    if (slot != 1 && slot != 2) return LUMORA_E_RANGE;
    const uint8_t first = slot == 1 ? 0x81 : 0x9D;
    uint8_t bytes[24];
    int rc = I2C_PROM_read(bytes, i2c::DATPROM, first, uint8_t(first + 23));
    if (rc != 0) return rc;
    uint32_t* counters[6] = {&out->scanStarts,   &out->lampCycles,   &out->shuttleBlocked,
                             &out->lampErrors,   &out->scanTimeouts, &out->sensorBlocked};
    for (int i = 0; i < 6; ++i) {
        const uint8_t* b = bytes + 4 * i;
        *counters[i] = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    }
    return 0;
}
