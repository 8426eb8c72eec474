// Scanner registers and I2C device addresses.
#pragma once
#include <cstdint>

namespace reg {
constexpr uint32_t DATA_PORT = 0x00;
constexpr uint32_t ACQ_FLAG = 0x04;
constexpr uint32_t ARM_FLAG = 0x05;
constexpr uint32_t READ_POINTER = 0x08;     // 32 bit
constexpr uint32_t LINE_COUNT_LO = 0x10;
constexpr uint32_t LINE_COUNT_MID = 0x11;
constexpr uint32_t LINE_COUNT_HI = 0x12;
constexpr uint32_t CHECKSUM = 0x20;         // 16 bit; writing 0 restarts it
constexpr uint32_t BUF_SIZE_DIV4 = 0x30;
constexpr uint32_t BUF_SIZE_DIV2 = 0x31;
constexpr uint32_t BUF_SIZE_MINUS2 = 0x32;
constexpr uint32_t WORDS_WAITING = 0x33;    // 32 bit
constexpr uint32_t STATUS34 = 0x34;
constexpr uint32_t WRITE_POINTER = 0x37;    // 32 bit read; 8-bit write of 0 resets
constexpr uint32_t BUF_TYPE = 0x38;
constexpr uint32_t LAMP1_STATUS = 0x41;     // second model
constexpr uint32_t LAMP1_CTRL42 = 0x42;
constexpr uint32_t LAMP1_43 = 0x43;
constexpr uint32_t LAMP1_CMD = 0x44;
constexpr uint32_t LAMP1_BUSY = 0x45;
constexpr uint32_t LAMP2_STATUS = 0x49;
constexpr uint32_t LAMP2_CTRL4A = 0x4A;
constexpr uint32_t LAMP2_4B = 0x4B;
constexpr uint32_t LAMP2_CMD = 0x4C;
constexpr uint32_t LAMP2_BUSY = 0x4D;
constexpr uint32_t LAMP_ERASE = 0x70;
constexpr uint32_t LAMP_ON_TIME = 0x71;
constexpr uint32_t LAMP_72 = 0x72;
constexpr uint32_t I2C = 0x80;              // write: bit 7 SDA, bit 1 SCL; read: SDA
constexpr uint32_t EEPROM_WE = 0x81;        // 0x0A while the IDPROM is written
constexpr uint32_t MOTOR_SERIAL = 0x82;     // bit 0 data, bit 1 clock, bit 2 load
constexpr uint32_t SLOT_LINES = 0x90;
constexpr uint32_t SHUTTLE_DIV_LO = 0xA0;
constexpr uint32_t SHUTTLE_DIV_HI = 0xA1;
constexpr uint32_t SHUTTLE_A2 = 0xA2;
constexpr uint32_t SHUTTLE_CMD = 0xA3;
constexpr uint32_t INLET = 0xA4;
constexpr uint32_t SLOT_A6 = 0xA6;
constexpr uint32_t PRE_A7 = 0xA7;
constexpr uint32_t LASER = 0xB0;
constexpr uint32_t ERASE_INDEX = 0xB1;
constexpr uint32_t ERASE_DATA = 0xB2;
constexpr uint32_t ERASE_MODE = 0xB3;
constexpr uint32_t ADC_START = 0xC0;        // 16 bit, start pixel - 5
constexpr uint32_t ADC_COUNT = 0xC2;        // 16 bit, pixels per line
constexpr uint32_t LINE_TEST = 0xC4;
constexpr uint32_t ADC_OVS = 0xD0;
constexpr uint32_t ADC_OFFSET = 0xD2;       // 16 bit
constexpr uint32_t ADC_THRESHOLD = 0xE0;    // 16 bit
constexpr uint32_t ADC_OUTPUT = 0xE2;
constexpr uint32_t ADC_ACCU = 0xE4;         // 16 bit
constexpr uint32_t CONTROL = 0xF0;          // bit 7 buffer reset, bit 3 high voltage
constexpr uint32_t STATUS = 0xF8;           // bit 0 plate in scan
constexpr uint32_t PORT_RELEASE = 0xFF;
}  // namespace reg

namespace i2c {
constexpr uint8_t ADC_DAC = 0x90;
constexpr uint8_t TEMP_LASER = 0x92;
constexpr uint8_t TEMP_SECOND = 0x94;
constexpr uint8_t SPD = 0xA0;
constexpr uint8_t IDPROM = 0xA8;
constexpr uint8_t DATPROM = 0xAA;
}  // namespace i2c
