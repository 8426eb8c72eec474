// The scan-data buffer RAM: module detection from its serial-presence-detect EEPROM, set-up.
#include "lumora/lumora.h"
#include "config/scanner_settings.h"
#include "hardware/hw_access.h"
#include "devicelink/registers.h"
#include "platform/clock.h"

namespace {

struct ModuleType {
    uint32_t key;  // ((sides + 10 * banks) * 100 + colums) * 100 + rows
    uint8_t type;
};

constexpr ModuleType MODULE_TYPES[] = {
    {220911, 8}, {410812, 2}, {410911, 4}, {410912, 6}, {410913, 6},
    {411012, 6}, {411013, 7}, {420912, 22}, {421012, 30},
};
constexpr uint8_t UNSUPPORTED = 255;
constexpr uint8_t SPD_SDRAM = 4;

}  // namespace

int HW_access::DetectBufferRam(BufferRamInfo* info) {
    if (Device.ScannerKind == SCANNER_KIND_CALYXA) {
        *info = BufferRamInfo{0x4000000, 13, 9, 1, 4, 0, 32};
        return 0;
    }
    uint8_t spd[128];
    if (I2C_PROM_read(spd, i2c::SPD, 0, 127) != 0 && I2C_PROM_read(spd, i2c::SPD, 0, 127) != 0)
        return LUMORA_E_NO_MEMORY;
    info->rows = spd[3];
    info->colums = spd[4];
    info->sides = spd[5];
    info->wide = spd[6];
    info->banks = spd[17];

    // Nonsense geometry must not overflow: it is rejected below as an unknown module.
    const unsigned bits = unsigned(info->rows) + info->colums;
    const int64_t bytesPerWord = int8_t(info->wide) / 8;
    const int64_t size =
        bits < 40 ? (int64_t(1) << bits) * bytesPerWord * info->sides * info->banks : 0;
    info->size = uint32_t(size);

    const uint32_t key =
        ((uint32_t(info->sides) + 10u * info->banks) * 100u + info->colums) * 100u + info->rows;
    info->type = UNSUPPORTED;
    for (const ModuleType& m : MODULE_TYPES)
        if (m.key == key) info->type = m.type;

    if (spd[2] != SPD_SDRAM || (info->wide != 64 && info->wide != 72) ||
        info->type == UNSUPPORTED)
        return LUMORA_E_BUFFER_RAM;
    return 0;
}

void HW_access::SetupBufferRam(const BufferRamInfo* info) {
    RegWrite(reg::BUF_TYPE, info->type);
    ClearReadBlock();
    platform::WaitMs(1);
    ClearReadBlock();
    platform::WaitMs(1);
    const int32_t mib = int32_t(info->size) / 0x100000;
    RegWrite(reg::BUF_SIZE_DIV4, uint8_t(mib / 4));
    RegWrite(reg::BUF_SIZE_DIV2, uint8_t(mib / 2));
    RegWrite(reg::BUF_SIZE_MINUS2, uint8_t(mib - 2));
}
