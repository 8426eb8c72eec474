// Plain records read from the scanner hardware.
#pragma once
#include <cstdint>

// Ranges the scanner's registers accept.
constexpr int PMT_HV_MAX = 1200;        // volts; the high-voltage DAC is not set above it
constexpr int ADC_OVS_MIN = 2, ADC_OVS_MAX = 32;  // ADC oversampling
constexpr double SHUTTLE_DIVIDER_MAX = 65536;     // motor divider, written less one in 16 bits

#pragma pack(push, 1)
// Status record read on every poll (14 bytes).
struct ScanStatus {
    uint8_t status;        // register 0xF8
    uint8_t inlet;         // register 0xA4
    uint8_t slotLines;     // register 0x90
    uint8_t reg34;         // register 0x34
    uint32_t scanLines;    // 0x12 << 16 | 0x11 << 8 | 0x10
    uint32_t wordsWaiting; // register 0x33
    int16_t error;         // 0 on EPP; the USB library may report a code here
};
#pragma pack(pop)
static_assert(sizeof(ScanStatus) == 14, "ScanStatus is 14 bytes");

// Buffer RAM of the scanner, as detected from its module.
struct BufferRamInfo {
    uint32_t size;  // bytes
    uint8_t rows;
    uint8_t colums;
    uint8_t sides;
    uint8_t banks;
    uint8_t type;
    uint8_t wide;
};

// Erase (bleaching) unit readings.
struct EraseUnitInfo {
    int16_t lampTemperature;  // tenths of a degree Celsius
    uint8_t lampStatus;
    uint8_t firmwareVersion;
    uint8_t sensor[11];
};

// Event counters of one slot (second model).
struct EventCounters {
    uint32_t scanStarts;
    uint32_t lampCycles;
    uint32_t shuttleBlocked;
    uint32_t lampErrors;
    uint32_t scanTimeouts;
    uint32_t sensorBlocked;
};
