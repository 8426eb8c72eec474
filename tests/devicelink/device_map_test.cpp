// Every register address, driver request code and I2C address as documented, as the driver
// names it and as the emulator names it. The two sides are written independently, so a number
// that is wrong on one side fails here even when the driver and the emulator agree elsewhere.
#include <gtest/gtest.h>

#include <cstdint>

#include "device_map.h"
#include "devicelink/driver_codes.h"
#include "devicelink/registers.h"

namespace {

namespace emu = lumora_emu;

struct Row {
    const char* name;
    uint32_t documented;
    uint32_t driver;
    uint32_t emulator;
};

const Row kRequests[] = {
    {"claim port", 0x222004, IOCTL_CLAIM_PORT, emu::requests::kClaimPort},
    {"release port", 0x222008, IOCTL_RELEASE_PORT, emu::requests::kReleasePort},
    {"interface information", 0x22200C, IOCTL_PORT_INFO, emu::requests::kPortInfo},
    {"interface status", 0x222020, IOCTL_INTERFACE_STATUS, emu::requests::kInterfaceStatus},
    {"configuration status", 0x222024, IOCTL_CONFIG_STATUS, emu::requests::kConfigStatus},
    {"firmware download", 0x222028, IOCTL_DOWNLOAD, emu::requests::kDownload},
    {"select register", 0x222030, IOCTL_SELECT, emu::requests::kSelect},
    {"read 8 bit", 0x222034, IOCTL_READ8, emu::requests::kRead8},
    {"read 16 bit, block read", 0x222038, IOCTL_READ16, emu::requests::kRead16},
    {"read 32 bit", 0x22203C, IOCTL_READ32, emu::requests::kRead32},
    {"write 8 bit", 0x222040, IOCTL_WRITE8, emu::requests::kWrite8},
    {"write 16 bit", 0x222044, IOCTL_WRITE16, emu::requests::kWrite16},
    {"write 32 bit", 0x222048, IOCTL_WRITE32, emu::requests::kWrite32},
    {"status bit: firmware running", 0x10, STATUS_BIT_RUNNING, emu::requests::kRunningBit},
};

const Row kRegisters[] = {
    {"scan data", 0x00, reg::DATA_PORT, emu::registers::kScanData},
    {"acquisition flag", 0x04, reg::ACQ_FLAG, emu::registers::kAcquisitionFlag},
    {"arm flag", 0x05, reg::ARM_FLAG, emu::registers::kArmFlag},
    {"read pointer", 0x08, reg::READ_POINTER, emu::registers::kReadPointer},
    {"scan lines, low byte", 0x10, reg::LINE_COUNT_LO, emu::registers::kLineCountLow},
    {"scan lines, middle byte", 0x11, reg::LINE_COUNT_MID, emu::registers::kLineCountMiddle},
    {"scan lines, high byte", 0x12, reg::LINE_COUNT_HI, emu::registers::kLineCountHigh},
    {"transfer checksum", 0x20, reg::CHECKSUM, emu::registers::kChecksum},
    {"buffer size / 4", 0x30, reg::BUF_SIZE_DIV4, emu::registers::kSizeQuarter},
    {"buffer size / 2", 0x31, reg::BUF_SIZE_DIV2, emu::registers::kSizeHalf},
    {"buffer size - 2", 0x32, reg::BUF_SIZE_MINUS2, emu::registers::kSizeLess2},
    {"words waiting", 0x33, reg::WORDS_WAITING, emu::registers::kWordsWaiting},
    {"status 0x34", 0x34, reg::STATUS34, emu::registers::kStatusExtra},
    {"write pointer", 0x37, reg::WRITE_POINTER, emu::registers::kWritePointer},
    {"buffer RAM type", 0x38, reg::BUF_TYPE, emu::registers::kMemoryType},
    {"lamp 1 flags", 0x41, reg::LAMP1_STATUS, emu::registers::kLamp1Flags},
    {"lamp 1 control", 0x42, reg::LAMP1_CTRL42, emu::registers::kLamp1Control},
    {"lamp 1 extra", 0x43, reg::LAMP1_43, emu::registers::kLamp1Extra},
    {"lamp 1 command", 0x44, reg::LAMP1_CMD, emu::registers::kLamp1Command},
    {"lamp 1 busy", 0x45, reg::LAMP1_BUSY, emu::registers::kLamp1Busy},
    {"lamp 2 flags", 0x49, reg::LAMP2_STATUS, emu::registers::kLamp2Flags},
    {"lamp 2 control", 0x4A, reg::LAMP2_CTRL4A, emu::registers::kLamp2Control},
    {"lamp 2 extra", 0x4B, reg::LAMP2_4B, emu::registers::kLamp2Extra},
    {"lamp 2 command", 0x4C, reg::LAMP2_CMD, emu::registers::kLamp2Command},
    {"lamp 2 busy", 0x4D, reg::LAMP2_BUSY, emu::registers::kLamp2Busy},
    {"erase lamps", 0x70, reg::LAMP_ERASE, emu::registers::kLampErase},
    {"lamp on time", 0x71, reg::LAMP_ON_TIME, emu::registers::kLampOnTime},
    {"lamp timing", 0x72, reg::LAMP_72, emu::registers::kLampTiming},
    {"I2C pins", 0x80, reg::I2C, emu::registers::kI2cPins},
    {"EEPROM write enable", 0x81, reg::EEPROM_WE, emu::registers::kEepromWriteEnable},
    {"polygon motor port", 0x82, reg::MOTOR_SERIAL, emu::registers::kMotorPort},
    {"slot lines", 0x90, reg::SLOT_LINES, emu::registers::kSlotLines},
    {"shuttle divider, low", 0xA0, reg::SHUTTLE_DIV_LO, emu::registers::kShuttleDividerLow},
    {"shuttle divider, high", 0xA1, reg::SHUTTLE_DIV_HI, emu::registers::kShuttleDividerHigh},
    {"shuttle setting", 0xA2, reg::SHUTTLE_A2, emu::registers::kShuttleSetting},
    {"shuttle command", 0xA3, reg::SHUTTLE_CMD, emu::registers::kShuttleCommand},
    {"inlet", 0xA4, reg::INLET, emu::registers::kInlet},
    {"slot setting", 0xA6, reg::SLOT_A6, emu::registers::kSlotSetting},
    {"transport setting", 0xA7, reg::PRE_A7, emu::registers::kTransportSetting},
    {"laser", 0xB0, reg::LASER, emu::registers::kLaser},
    {"erase unit index", 0xB1, reg::ERASE_INDEX, emu::registers::kEraseIndex},
    {"erase unit data", 0xB2, reg::ERASE_DATA, emu::registers::kEraseData},
    {"erase lamp mode", 0xB3, reg::ERASE_MODE, emu::registers::kEraseLampMode},
    {"start pixel", 0xC0, reg::ADC_START, emu::registers::kStartPixel},
    {"pixels per line", 0xC2, reg::ADC_COUNT, emu::registers::kPixelCount},
    {"line test", 0xC4, reg::LINE_TEST, emu::registers::kLineTest},
    {"ADC oversampling", 0xD0, reg::ADC_OVS, emu::registers::kOversampling},
    {"ADC offset", 0xD2, reg::ADC_OFFSET, emu::registers::kAdcOffset},
    {"ADC threshold", 0xE0, reg::ADC_THRESHOLD, emu::registers::kAdcThreshold},
    {"ADC output code", 0xE2, reg::ADC_OUTPUT, emu::registers::kAdcOutput},
    {"ADC accumulator", 0xE4, reg::ADC_ACCU, emu::registers::kAdcAccumulator},
    {"control", 0xF0, reg::CONTROL, emu::registers::kControl},
    {"status", 0xF8, reg::STATUS, emu::registers::kStatus},
    {"port release", 0xFF, reg::PORT_RELEASE, emu::registers::kPortRelease},
};

const Row kI2cAddresses[] = {
    {"ADC and DAC", 0x90, i2c::ADC_DAC, emu::i2c_address::kAdcDac},
    {"laser temperature sensor", 0x92, i2c::TEMP_LASER, emu::i2c_address::kLaserSensor},
    {"second temperature sensor", 0x94, i2c::TEMP_SECOND, emu::i2c_address::kSecondSensor},
    {"buffer RAM module EEPROM", 0xA0, i2c::SPD, emu::i2c_address::kMemoryModule},
    {"identification PROM", 0xA8, i2c::IDPROM, emu::i2c_address::kIdentificationProm},
    {"data PROM", 0xAA, i2c::DATPROM, emu::i2c_address::kDataProm},
};

template <size_t N>
void ExpectDocumented(const Row (&rows)[N]) {
    for (const Row& row : rows) {
        EXPECT_EQ(row.driver, row.documented) << "driver: " << row.name << ", documented 0x"
                                              << std::hex << row.documented;
        EXPECT_EQ(row.emulator, row.documented) << "emulator: " << row.name << ", documented 0x"
                                                << std::hex << row.documented;
    }
}

TEST(DeviceMap, RequestCodesAsDocumented) { ExpectDocumented(kRequests); }
TEST(DeviceMap, RegistersAsDocumented) { ExpectDocumented(kRegisters); }
TEST(DeviceMap, I2cAddressesAsDocumented) { ExpectDocumented(kI2cAddresses); }

}  // namespace
