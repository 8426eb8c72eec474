#include "diagnostics/report.h"

#include <cstdio>
#include <cstring>

#include "config/config_file.h"
#include "config/scanner_settings.h"
#include "devicelink/hw_records.h"
#include "devicelink/interface_kind.h"
#include "devicelink/registers.h"
#include "diagnostics/calibration.h"
#include "diagnostics/device_memory.h"
#include "diagnostics/diagnostic_channels.h"
#include "hardware/hw_access.h"
#include "platform/clock.h"
#include "platform/tools.h"
#include "platform/version.h"

namespace {

constexpr uint32_t ERASE_UNIT_WAKE_MS = 5000;
constexpr int ERASE_SENSORS = 11;
// DATPROM bytes of the last save.
constexpr int SAVE_MINUTE = 20, SAVE_HOUR = 21, SAVE_DAY = 22, SAVE_MONTH = 23, SAVE_YEAR = 24;

uint16_t Word(const uint8_t* bytes, int offset) {
    return uint16_t(bytes[offset] | bytes[offset + 1] << 8);
}

float Single(const uint8_t* bytes, int offset) {
    const uint32_t bits = uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
                          uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// IdpromText's rule on another copy: up to length bytes, ending before 0x00 or 0xFF.
const char* Text(const uint8_t* bytes, int offset, int length) {
    static char text[IDPROM_SIZE + 1];
    int n = 0;
    while (n < length && bytes[offset + n] != 0x00 && bytes[offset + n] != 0xFF) {
        text[n] = char(bytes[offset + n]);
        ++n;
    }
    text[n] = '\0';
    return text;
}

void PowerAndTemperature(FILE* f, HW_access* device) {
    static const struct {
        int channel;
        const char* format;
    } supplies[] = {{DIAG_HIGH_VOLTAGE, "   HV output voltage    = %6.2fV\n"},
                    {DIAG_SUPPLY_5V, "   +5V supply voltage   = %6.2fV\n"},
                    {DIAG_SUPPLY_3V3, "   +3.3V supply voltage = %6.2fV\n"},
                    {DIAG_SUPPLY_24V, "   +24V supply voltage  = %6.2fV\n"}};
    for (const auto& s : supplies) {
        int32_t mv = 0;
        ReadDiagnosticChannel(device, s.channel, &mv);
        std::fprintf(f, s.format, uint32_t(mv) / 1000.0);
    }
    int32_t tenths = 0;
    ReadDiagnosticChannel(device, DIAG_LASER_TEMP, &tenths);
    std::fprintf(f, "   Laser Temperature    = %5.1fC\n", tenths / 10.0);
}

void BufferRam(FILE* f) {
    const BufferRamInfo& b = Device.BufferRam;
    std::fprintf(f, "\ninternal buffer RAM reported as\n");
    std::fprintf(f, "   type   : %i\n", int(b.type));
    std::fprintf(f, "   wide   : %ibit\n", int(b.wide));
    std::fprintf(f, "   rows   : %i\n", int(b.rows));
    std::fprintf(f, "   colums : %i\n", int(b.colums));
    std::fprintf(f, "   banks  : %i\n", int(b.banks));
    std::fprintf(f, "   sides  : %i\n", int(b.sides));
    std::fprintf(f, "   size   : %ibyte\n", int(b.size));
}

void Configuration(FILE* f) {
    std::fprintf(f, "\nusing %s for settings\n", ConfigIni.getFilename());
    const int sets = CountParamSets();
    std::fprintf(f, "there are %i parameter sets:\n", sets);
    for (int i = 1; i <= sets; ++i) {
        char name[CONFIG_PATH_MAX] = "";
        ReadParamName(name, i);
        std::fprintf(f, "   %i. set name: %s\n", i, name);
    }
    char file[1024] = "";
    if (ConfigIni.get("Scanner", "Kalibrierdaten", file, "") != 0 || !file[0]) {
        std::fprintf(f, "\nno calibration file specified\n");
        return;
    }
    std::fprintf(f, "\nusing  %s  as the calibration file\n", file);
    char serial[CALIB_SERIAL_SIZE], date[CALIB_TOKEN_SIZE];
    if (ReadCalibrationHeader(file, serial, date) != 0) {
        std::fprintf(f, "\tcalibration file not found!\n");
    } else {
        std::fprintf(f, "\tSerial id: %s\n", serial);
        std::fprintf(f, "\tDate:      %s\n", date);
    }
}

void IdentificationProm(FILE* f, HW_access* device) {
    uint8_t fresh[IDPROM_SIZE] = {};
    device->I2C_PROM_read(fresh, i2c::IDPROM, 0, IDPROM_SIZE - 1);
    static const struct {
        const char* format;
        int offset, length;
    } ids[] = {{"\tDevice          : %s\n", 0, 16},  {"\tMain PCB        : %s\n", 16, 8},
               {"\tLaser module    : %s\n", 24, 8},  {"\tPMT             : %s\n", 32, 8},
               {"\tDeflection unit : %s\n", 40, 8},  {"\tCover arch      : %s\n", 48, 8},
               {"\t1st belt drive  : %s\n", 56, 8},  {"\t2nd belt drive  : %s\n", 64, 8},
               {"\t3rd belt drive  : %s\n", 72, 8},  {"\t4th belt drive  : %s\n", 80, 8}};
    std::fprintf(f, "\nDevice serial ids\n");
    for (const auto& id : ids) std::fprintf(f, id.format, Text(fresh, id.offset, id.length));
    std::fprintf(f, "\tDevice type     : %#4.4X\n", unsigned(Word(fresh, idprom::TYPE_ID)));
    std::fprintf(f, "\tFeatures        : %#4.4X\n", unsigned(Word(fresh, idprom::FEATURES)));
    std::fprintf(f, "\tPMT correction A: %7.5g\n", double(Single(fresh, idprom::PMT_CORR_A)));
    std::fprintf(f, "\tPMT correction B: %7.5g\n", double(Single(fresh, idprom::PMT_CORR_B)));

    const uint8_t* open = IdpromImage;  // the copy read at open
    std::fprintf(f, "\tSOL sensor pos. : %i\n", int(open[idprom::SOL_POS]));
    std::fprintf(f, "\tScanning range  : %i\n", int(open[idprom::SCAN_RANGE]));
    std::fprintf(f, "\tReflector Dia.  : %6.1f:mm\n", Word(open, idprom::REFLECTOR) / 10.0);
    std::fprintf(f, "\tDistance A      : %i mm\n", int(open[idprom::DIST_A]));
    std::fprintf(f, "\tDistance B      : %i mm\n", int(open[idprom::DIST_B]));
    std::fprintf(f, "\tLaser em. power : %i mW\n", int(open[idprom::LASER_POWER]));
    std::fprintf(f, "\tLaser warn temp.: %i C\n", int(open[idprom::LASER_WARN_TEMP]));
    std::fprintf(f, "\tLaser err. temp.: %i C\n", int(open[idprom::LASER_ERR_TEMP]));
    std::fprintf(f, "\tSlotmask        : %i\n", int(open[idprom::SLOT_MASK]));
    std::fprintf(f, "\tSMOT stepsize   : %i e-9m\n", int(Word(open, idprom::SMOT_STEP)));

    std::fprintf(f, "\tMfg DD/MM/JJ    : %2.2i/%2.2i/%4.4i\n", int(fresh[idprom::MFG_DAY]),
                 int(fresh[idprom::MFG_MONTH]), int(Word(fresh, idprom::MFG_YEAR)));
    std::fprintf(f, "\tFinal check     : %i\n", int(Word(fresh, idprom::FINAL_CHECK)));
    std::fputs(IdpromChecksumOk(fresh) ? "EEPROM checksum OK\n" : "EEPROM checksum FAIL\n", f);
}

void PlateCounters(FILE* f, bool secondModel) {
    std::fprintf(f, "\nNumber of image plates scanned\n");
    std::fprintf(f, "\tTotal           : %u\n", DatpromTotal());
    if (!secondModel) {
        std::fprintf(f, "\tIntra-Mode      : %u\n", DatpromCounter(1));
        std::fprintf(f, "\tExtra-Mode      : %u\n", DatpromCounter(2));
        std::fprintf(f, "\tPano-Mode       : %u\n", DatpromCounter(3));
        std::fprintf(f, "\tCeph-Mode       : %u\n", DatpromCounter(4));
    }
    std::fprintf(f, "\tsaved HH:MM     : %2.2i:%2.2i\n", int(DatpromImage[SAVE_HOUR]),
                 int(DatpromImage[SAVE_MINUTE]));
    std::fprintf(f, "\tsaved DD/MM/JJ  : %2.2i/%2.2i/%4.4i\n", int(DatpromImage[SAVE_DAY]),
                 int(DatpromImage[SAVE_MONTH]), int(Word(DatpromImage, SAVE_YEAR)));
}

void SlotEventCounters(FILE* f, HW_access* device) {
    std::fprintf(f, "\nDevice identified as Calyxa\n");
    for (int slot = 1; slot <= 2; ++slot) {
        EventCounters e{};
        device->ReadEventCounters(&e, slot);
        std::fprintf(f, "\nEvent counter Slot %i\n", slot);
        std::fprintf(f, "scanstarts              : %u\n", e.scanStarts);
        std::fprintf(f, "lamp cycles             : %u\n", e.lampCycles);
        std::fprintf(f, "lamp errors             : %u\n", e.lampErrors);
        std::fprintf(f, "shuttle motor blocked   : %u\n", e.shuttleBlocked);
        std::fprintf(f, "scan timeouts           : %u\n", e.scanTimeouts);
        std::fprintf(f, "sensor blocked          : %u\n", e.sensorBlocked);
    }
}

void EraseUnit(FILE* f, HW_access* device) {
    std::fprintf(f, "\nBleaching Feature detected\n");
    device->RegWrite(reg::ERASE_MODE, 1);
    platform::WaitMs(ERASE_UNIT_WAKE_MS);
    EraseUnitInfo unit{};
    device->ReadEraseUnit(&unit);
    device->RegWrite(reg::ERASE_MODE, 0);
    for (int i = 0; i < ERASE_SENSORS; ++i)
        std::fprintf(f, "\tSensor #%2i = %u\n", i, unsigned(unit.sensor[i]));
    std::fprintf(f, "\tLamp Temperature = %5.1f C\n", unit.lampTemperature / 10.0);
    std::fprintf(f, "\tLamp Status = 0x%02x\n", unsigned(unit.lampStatus));
    std::fprintf(f, "\tFW-Version = 0x%02x\n", unsigned(unit.firmwareVersion));
}

}  // namespace

int WriteReport(const char* path, HW_access* device, uint8_t interfaceKind) {
    if (!path || !path[0]) return -1;
    FILE* f = fopen_ex(path, "wt");
    if (!f) return -1;
    std::fprintf(f, "Scanner Reportfile %s generated: %s\n", path, localtime_ex());
    std::fprintf(f, "current DLL Version : %s\n", LUMORA_DRIVER_VERSION);
    std::fprintf(f, "device serial ID    : %s\n", Device.SerialId);
    std::fputs(interfaceKind == INTERFACE_EPP   ? "connected to EPP port\n"
               : interfaceKind == INTERFACE_USB ? "connected to USB port\n"
                                                : "connected to unknown interface\n",
               f);
    std::fprintf(f, "\nchecking power supply and laser temperature\n");
    PowerAndTemperature(f, device);
    BufferRam(f);
    Configuration(f);
    IdentificationProm(f, device);
    const bool secondModel = Device.ScannerKind == SCANNER_KIND_CALYXA;
    PlateCounters(f, secondModel);
    if (secondModel)
        SlotEventCounters(f, device);
    else if (Device.BleachingFeature)
        EraseUnit(f, device);
    std::fprintf(f, "\nend of report\n");
    const bool written = !std::ferror(f);
    return std::fclose(f) == 0 && written ? 0 : -1;
}
