// Device description: what the emulated scanner is (model, identity, geometry, memory
// module, sensors, memory contents, faults at start, plates, clock). Built-in defaults are a
// consistent main-model scanner; a description file overrides them key by key.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "lumora_emu/emulator.h"

namespace lumora_emu {

struct DeviceConfig {
    Model model = Model::Main;
    std::string serial = "LS2026-000117";
    uint16_t typeId = 1;
    uint16_t features = 0x0003;   // intra + extra; bit 4 clear: erase unit present
    uint16_t reflector = 1000;    // tenths of a millimetre
    uint16_t smotStep = 1000;     // nanometres
    uint8_t distA = 10, distB = 70;   // mm
    uint8_t solPos = 10, scanRange = 180;
    uint8_t laserTempError = 50, laserTempWarn = 45;
    uint8_t slotMask = 0x0F;
    uint8_t laserPower = 20;      // mW
    float pmtCorrA = 1.0f, pmtCorrB = 0.0f;
    uint16_t pmtHv = 650;         // IDPROM bytes 0xFE/0xFF
    uint8_t mfgDay = 14, mfgMonth = 3;
    uint16_t mfgYear = 2025, finalCheck = 1;
    bool fixChecksum = true;

    // Buffer-RAM module (SPD EEPROM at 0xA0).
    uint8_t memType = 4, rows = 12, columns = 9, sides = 1, banks = 4, width = 64;
    bool spdPresent = true;

    double laserTemp = 25.0, secondTemp = 30.0;
    bool laserSensor = true, secondSensor = true;
    uint16_t ambientLight = 48;   // 16-bit sample scale, seen while the HV is on
    uint16_t darkLevel = 320;     // 16-bit sample scale
    double supply5V = 5.0, supply3V3 = 3.3, supply24V = 24.0;   // what the ADC inputs see

    // Optics: photomultiplier gain (V / gainReference) ^ gainExponent with the high voltage
    // on (exponent 0: gain 1 at every voltage); its dark signal and noise (standard
    // deviation) at gain 1, both amplified with the gain; the light-collection profile along
    // the scan line, 1 - profileFalloff * x^2 (x from -1 at the start to 1 at the end of the
    // line) times 1 + profileRipple * sin(2 pi ripplePeriods u) (u from 0 to 1).
    double gainExponent = 0.0, gainReference = 650.0;
    double darkSignal = 0.0, noise = 0.0;
    double profileFalloff = 0.0, profileRipple = 0.0, ripplePeriods = 5.0;

    // Data PROM: four plate counters, save time, event counters of slots 1 and 2.
    uint32_t counters[4] = {0, 0, 0, 0};
    bool totalGiven = false;
    uint32_t total = 0;
    uint8_t saveMinute = 0, saveHour = 12, saveDay = 1, saveMonth = 1;
    uint16_t saveYear = 2026;
    uint32_t events[2][6] = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};

    bool firmwareRunning = false;
    uint32_t oldDataWords = 0;
    bool configStatusBit4 = false;
    bool downloadFails = false;

    bool eraseUnitAnswering = true;
    uint8_t eraseVersion = 0x21, eraseLampStatus = 1;
    double eraseLampTemp = 35.0;
    uint8_t eraseSensors[11] = {12, 14, 13, 15, 120, 118, 121, 119, 0, 0, 1};

    std::string persistFile;      // EEPROM contents persist here when set

    ClockMode clockMode = ClockMode::Stepped;
    double clockFactor = 1.0;
    uint32_t pollStepUs = 2000;   // stepped mode: time a status or line-counter read takes

    std::vector<PlateEntry> plates;

    bool HasEraseUnit() const { return model == Model::Main && (features & 0x10) == 0; }
    uint32_t ModuleBytes() const;
    std::vector<uint8_t> BuildIdprom() const;
    std::vector<uint8_t> BuildDatprom() const;
    std::vector<uint8_t> BuildSpd() const;
};

// Applies the keys of a description text over cfg; bad values keep their default and are
// reported in warnings.
void ApplyDescription(const std::string& text, DeviceConfig& cfg, std::vector<std::string>& warnings);

}  // namespace lumora_emu
