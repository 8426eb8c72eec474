#include "diagnostics/device_memory.h"

#include <cstring>
#include <ctime>

#include "platform/log_channel.h"
#include "hardware/hw_access.h"
#include "devicelink/registers.h"

uint8_t IdpromImage[IDPROM_SIZE];
uint8_t DatpromImage[DATPROM_SIZE];
bool CountersChanged = false;
namespace {
int platesSinceWrite = 0;  // plates counted since the data PROM was last written
}  // namespace

namespace {

// DATPROM layout.
constexpr int COUNTER_OFFSET[5] = {-1, 0, 4, 12, 8};  // by image type 1 intra ... 4 ceph
constexpr int TOTAL = 16;
constexpr int SAVE_MINUTE = 20, SAVE_HOUR = 21, SAVE_DAY = 22, SAVE_MONTH = 23, SAVE_YEAR = 24;

uint32_t Get32(int offset) {
    const uint8_t* b = DatpromImage + offset;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void Put32(int offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) DatpromImage[offset + i] = uint8_t(v >> (8 * i));
}

uint32_t CounterSum() {
    return Get32(0) + Get32(4) + Get32(8) + Get32(12);
}

void ClearCounters() {
    for (int offset = 0; offset < TOTAL; offset += 4) Put32(offset, 0);
}

void StampDate(int minute, int hour, int day, int month, int year) {
    DatpromImage[SAVE_MINUTE] = uint8_t(minute);
    DatpromImage[SAVE_HOUR] = uint8_t(hour);
    DatpromImage[SAVE_DAY] = uint8_t(day);
    DatpromImage[SAVE_MONTH] = uint8_t(month);
    DatpromImage[SAVE_YEAR] = uint8_t(year);
    DatpromImage[SAVE_YEAR + 1] = uint8_t(year >> 8);
}

}  // namespace

uint16_t IdpromWord(int offset) {
    if (offset < 0 || offset + 1 >= IDPROM_SIZE) return 0;
    return uint16_t(IdpromImage[offset] | IdpromImage[offset + 1] << 8);
}

const char* IdpromText(int offset, int length) {
    static char text[IDPROM_SIZE + 1];
    int n = 0;
    if (offset >= 0 && offset < IDPROM_SIZE && length > 0) {
        if (length > IDPROM_SIZE - offset) length = IDPROM_SIZE - offset;
        while (n < length && IdpromImage[offset + n] != 0x00 && IdpromImage[offset + n] != 0xFF) {
            text[n] = char(IdpromImage[offset + n]);
            ++n;
        }
    }
    text[n] = '\0';
    return text;
}

bool IdpromChecksumOk(const uint8_t* image) {
    uint8_t sum = 0;
    for (int i = 0; i <= 253; ++i) sum = uint8_t(sum + image[i]);
    return sum == 0x42;
}

int ReadDataProm(HW_access* device) {
    platesSinceWrite = 0;
    if (device->I2C_PROM_read(DatpromImage, i2c::DATPROM, 0, DATPROM_SIZE - 1) != 0) {
        LogPrint(LOG_WARNING, "can't read DATPROM");
        ClearCounters();
        Put32(TOTAL, 0);
        StampDate(0, 0, 1, 1, 2004);
        CountersChanged = false;
        return 0;
    }
    if (Get32(TOTAL) != CounterSum()) {
        LogPrint(LOG_WARNING, "incorrect DATPROM Data, reset data");
        ClearCounters();
        WriteDataProm(device);
    }
    CountersChanged = false;
    return 0;
}

void WriteDataProm(HW_access* device) {
    Put32(TOTAL, CounterSum());
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    StampDate(local.tm_min, local.tm_hour, local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    device->I2C_PROM_write(DatpromImage, i2c::DATPROM, 0, DATPROM_SIZE - 1);
    CountersChanged = false;
    platesSinceWrite = 0;
}

void CountPlateAndSave(HW_access* device, int imageType) {
    if (imageType < 1 || imageType > 4) return;
    CountPlate(imageType);
    if (++platesSinceWrite >= PLATES_PER_COUNTER_WRITE) {
        LogPrint(LOG_DETAIL, "plate counters saved after %i plates", platesSinceWrite);
        WriteDataProm(device);
    }
}

void CountPlate(int imageType) {
    if (imageType < 1 || imageType > 4) return;
    Put32(COUNTER_OFFSET[imageType], Get32(COUNTER_OFFSET[imageType]) + 1);
    CountersChanged = true;
}

uint32_t DatpromCounter(int imageType) {
    if (imageType < 1 || imageType > 4) return 0;
    return Get32(COUNTER_OFFSET[imageType]);
}

uint32_t DatpromTotal() { return Get32(TOTAL); }
