// Diagnostic channels: supply voltages in millivolts and temperatures in tenths of a degree.
#pragma once
#include <cstdint>

class HW_access;

enum DiagnosticChannel {
    DIAG_HIGH_VOLTAGE = 0,   // photomultiplier high-voltage output, mV
    DIAG_SUPPLY_5V = 1,      // mV
    DIAG_SUPPLY_3V3 = 2,     // mV
    DIAG_SUPPLY_24V = 3,     // mV
    DIAG_LASER_TEMP = 16,    // tenths of a degree Celsius
    DIAG_SECOND_TEMP = 17,   // tenths of a degree Celsius
};

// The value of a channel; 0, or -102 for a channel not in the list.
int ReadDiagnosticChannel(HW_access* device, int channel, int32_t* value);
