// The I2C bus, driven bit by bit through register 0x80 (bit 7 SDA, bit 1 SCL), and the devices
// on it; the polygon-motor serial word on register 0x82.
#include "lumora/lumora.h"
#include "hardware/hw_access.h"
#include "devicelink/registers.h"
#include "platform/clock.h"

namespace {
constexpr uint8_t SDA = 0x80;
constexpr uint8_t SCL = 0x02;
constexpr uint8_t READ_BIT = 0x01;
}  // namespace

void HW_access::I2C_Start() {
    RegWrite(reg::I2C, SDA | SCL);
    RegWrite(reg::I2C, SCL);
    RegWrite(reg::I2C, 0x00);
    RegWrite(reg::I2C, SDA);
}

void HW_access::I2C_Stop() {
    RegWrite(reg::I2C, 0x00);
    RegWrite(reg::I2C, SCL);
    RegWrite(reg::I2C, SDA | SCL);
}

uint8_t HW_access::I2C_WriteByte(uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        uint8_t d = (value >> bit) & 1 ? SDA : 0;
        RegWrite(reg::I2C, d);
        RegWrite(reg::I2C, d | SCL);
        RegWrite(reg::I2C, d);
    }
    RegWrite(reg::I2C, SDA);
    RegWrite(reg::I2C, SDA | SCL);
    uint8_t ack = RegRead(reg::I2C);
    RegWrite(reg::I2C, SDA);
    return ack;
}

uint8_t HW_access::I2C_ReadByte(bool acknowledge) {
    uint8_t value = 0;
    RegWrite(reg::I2C, SDA);
    for (int i = 0; i < 8; ++i) {
        RegWrite(reg::I2C, SDA | SCL);
        value = uint8_t(value << 1 | (RegRead(reg::I2C) & 1));
        RegWrite(reg::I2C, SDA);
    }
    if (acknowledge) {
        RegWrite(reg::I2C, 0x00);
        RegWrite(reg::I2C, SCL);
        RegWrite(reg::I2C, 0x00);
        RegWrite(reg::I2C, SDA);
    } else {
        RegWrite(reg::I2C, SDA | SCL);
        RegWrite(reg::I2C, SDA);
    }
    return value;
}

void HW_access::SendMotorWord(uint16_t word) {
    RegWrite(reg::MOTOR_SERIAL, 0);
    for (int bit = 12; bit >= 0; --bit) {
        uint8_t b = (word >> bit) & 1;
        RegWrite(reg::MOTOR_SERIAL, b);
        RegWrite(reg::MOTOR_SERIAL, b | 2);
        RegWrite(reg::MOTOR_SERIAL, b);
    }
    RegWrite(reg::MOTOR_SERIAL, 4);
    RegWrite(reg::MOTOR_SERIAL, 6);
    RegWrite(reg::MOTOR_SERIAL, 4);
    RegWrite(reg::MOTOR_SERIAL, 0);
}

int HW_access::Pentamotor_init(uint16_t speed) {
    if (speed == 0) {
        SendMotorWord(6819);
        return 0;
    }
    uint16_t word = uint16_t(4223 - 6000000 / int(speed));
    SendMotorWord(word);
    SendMotorWord(word);
    return 0;
}

void HW_access::PentamotorOff() { SendMotorWord(6819); }

void HW_access::I2C_TEMPinit(uint8_t device, int16_t limit) {
    const uint16_t l = uint16_t(limit);
    const uint16_t hysteresis = uint16_t(limit - 0x300);
    I2C_Stop();
    // configuration 0
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(1);
    I2C_WriteByte(0);
    I2C_Stop();
    // over-temperature limit
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(3);
    I2C_WriteByte(uint8_t(l >> 8));
    I2C_WriteByte(uint8_t(l));
    I2C_Stop();
    // hysteresis, 3 degrees below
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(2);
    I2C_WriteByte(uint8_t(hysteresis >> 8));
    I2C_WriteByte(uint8_t(l));
    I2C_Stop();
    // pointer back to the temperature
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(0);
    I2C_Stop();
    I2C_TEMPread(device);
    platform::WaitMs(150);
}

int16_t HW_access::I2C_TEMPread(uint8_t device) {
    I2C_Stop();
    I2C_Start();
    uint8_t nack = I2C_WriteByte(device);
    nack |= I2C_WriteByte(0);
    I2C_Start();
    nack |= I2C_WriteByte(device | READ_BIT);
    uint8_t high = I2C_ReadByte(true);
    uint8_t low = I2C_ReadByte(false);
    I2C_Stop();
    if (nack) return TEMP_NO_ANSWER;
    return int16_t(uint16_t(high << 8 | low));
}

int HW_access::I2C_PROM_read(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) {
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(first);
    I2C_Start();
    uint8_t nack = I2C_WriteByte(device | READ_BIT);
    for (int a = first; a <= last; ++a) buffer[a - first] = I2C_ReadByte(true);
    I2C_ReadByte(false);
    I2C_Stop();
    return nack ? -1007 : 0;
}

int HW_access::I2C_PROM_write(const uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) {
    if (device == i2c::IDPROM) RegWrite(reg::EEPROM_WE, 0x0A);
    int result = 0;
    for (int a = first; a <= last; ++a) {
        I2C_Stop();
        I2C_Start();
        // Acknowledge polling: the device ignores its address during a write cycle.
        int repeats = 0;
        while (I2C_WriteByte(device)) {
            platform::WaitMs(1);
            I2C_Start();
            if (repeats++ == 21) {
                I2C_WriteByte(device);
                RegWrite(reg::EEPROM_WE, 0);
                return LUMORA_E_I2C_NACK;
            }
        }
        if (I2C_WriteByte(uint8_t(a))) result = -1007;
        if (I2C_WriteByte(buffer[a - first])) result = -1007;
        I2C_Stop();
        platform::WaitMs(1);
    }
    RegWrite(reg::EEPROM_WE, 0);
    return result;
}

int HW_access::I2C_DACout(uint8_t device, uint8_t value) {
    I2C_Start();
    uint8_t nack = I2C_WriteByte(device);
    nack |= I2C_WriteByte(0x40);
    nack |= I2C_WriteByte(value);
    I2C_Stop();
    return nack ? -1007 : 0;
}

uint8_t HW_access::I2C_ADCread(uint8_t device, uint8_t channel) {
    if (channel > 3) return 0;
    I2C_Start();
    I2C_WriteByte(device);
    I2C_WriteByte(0x40 | channel);
    I2C_Stop();
    I2C_Start();
    I2C_WriteByte(device | READ_BIT);
    I2C_ReadByte(true);  // the previous conversion
    uint8_t value = I2C_ReadByte(false);
    I2C_Stop();
    return value;
}
