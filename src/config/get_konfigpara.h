// Get_Konfigpara: the working numbers of the scanner from the parameter set, the Scanner
// section and (when trusted) the identification PROM's settings block. A function of its
// inputs: it reads no device and changes nothing but its outputs.
#pragma once
#include <cstdint>

#include "config/scanner_settings.h"

class ini2;

struct KonfigInput {
    const ini2* config = nullptr;     // the configuration file
    const uint8_t* idprom = nullptr;  // copy of the identification PROM, IDPROM_SIZE bytes
    bool secondModel = false;         // the second scanner model
    bool demo = false;                // demo mode is on
    int32_t promPmtVolts = -1;        // PMT voltage word read from the PROM at open; -1: unread
};

// The inputs of the derived register values and those values before rounding, kept for the
// checks of the open sequence (settings_guard.h).
struct KonfigInputs {
    bool geometryFromIdprom = false;
    double motorStep = 0, scanCircle = 0, abstA = 0, abstB = 0, scanRange = 0;
    double resX = 0, resY = 0;
    long interpolateY = 1;  // as configured
    double smotRaw = 0, stepsARaw = 0, stepsABRaw = 0, anzPixRaw = 0, adcOvsRaw = 0;
};

struct KonfigOutput {
    ScannerSettings* settings = nullptr;
    DeviceRecord* device = nullptr;  // only the fields the settings decide are written
    FilterValues* filter = nullptr;
    // For the open sequence to apply to the device.
    uint8_t paramSetNumber = 0;
    bool fastDemo = false;
    int32_t minImagePixels = 0;
    char demoImage[1024] = "";  // demo mode: the demo image's name in the device folder
    KonfigInputs inputs;
};

// 0, or -9 when the set accepts no plate kind (the outputs are then filled up to that step).
int Get_Konfigpara(const KonfigInput& in, KonfigOutput* out, int setNumber);
