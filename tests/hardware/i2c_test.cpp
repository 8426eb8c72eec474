// The I2C bus driven bit by bit through register 0x80, against the emulator's devices.
#include "hw_fixture.h"

#include <cstdio>
#include <functional>

#include "devicelink/registers.h"
#include "platform/clock.h"

namespace {

using I2cTest = HwTest;

TEST_F(I2cTest, IdpromReadReturnsTheDeviceBytes) {
    std::vector<uint8_t> expected = emu().Idprom();
    ASSERT_EQ(expected.size(), 256u);
    uint8_t buffer[256];
    std::memset(buffer, 0x5A, sizeof buffer);
    ASSERT_EQ(hw.I2C_PROM_read(buffer, i2c::IDPROM, 0, 255), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 256), expected);
    // A full read is far more than ten thousand driver requests.
    EXPECT_GT(port->entries.size(), 10000u);
}

TEST_F(I2cTest, ReadWithFirstAfterLastReadsOnlyTheDiscardedByte) {
    uint8_t buffer[4] = {1, 2, 3, 4};
    ASSERT_EQ(hw.I2C_PROM_read(buffer, i2c::IDPROM, 5, 4), 0);
    EXPECT_EQ(emu().GetI2cTraffic().bytesRead, 1u);
    EXPECT_EQ(buffer[0], 1);
}

TEST_F(I2cTest, DatpromWriteThenRead) {
    uint8_t data[32];
    for (int i = 0; i < 32; ++i) data[i] = uint8_t(0xC0 + i);
    uint64_t before = emu().NowMs();
    ASSERT_EQ(hw.I2C_PROM_write(data, i2c::DATPROM, 0, 31), 0);
    // One write cycle of 1 ms per byte, on the emulated clock.
    EXPECT_GE(emu().NowMs() - before, 32u);
    emu().AdvanceMs(10);  // the last byte's write cycle
    uint8_t back[32] = {};
    ASSERT_EQ(hw.I2C_PROM_read(back, i2c::DATPROM, 0, 31), 0);
    EXPECT_EQ(0, std::memcmp(back, data, 32));
    EXPECT_EQ(0, std::memcmp(emu().Datprom().data(), data, 32));
    EXPECT_EQ(port->Writes(reg::EEPROM_WE), std::vector<uint32_t>{0});
}

TEST_F(I2cTest, IdpromWriteOpensTheWriteEnable) {
    uint8_t data[2] = {0x11, 0x22};
    ASSERT_EQ(hw.I2C_PROM_write(data, i2c::IDPROM, 200, 201), 0);
    EXPECT_EQ(port->Writes(reg::EEPROM_WE), (std::vector<uint32_t>{0x0A, 0}));
    EXPECT_EQ(emu().Idprom()[200], 0x11);
    EXPECT_EQ(emu().Idprom()[201], 0x22);
    EXPECT_EQ(emu().PeekRegister(reg::EEPROM_WE), 0);
}

TEST_F(I2cTest, SilentDeviceFailsReadAndEndsAcknowledgePolling) {
    emu().SetI2cSilent(i2c::DATPROM, true);
    uint8_t buffer[8];
    EXPECT_EQ(hw.I2C_PROM_read(buffer, i2c::DATPROM, 0, 7), -1007);

    emu().ClearI2cTraffic();
    port->Clear();
    std::vector<uint8_t> before = emu().Datprom();
    uint64_t t0 = emu().NowMs();
    uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(hw.I2C_PROM_write(data, i2c::DATPROM, 0, 2), -1007);
    // The first address and 22 repetitions, 1 ms apart; the write ends at the first byte.
    lumora_emu::I2cTraffic t = emu().GetI2cTraffic();
    EXPECT_EQ(t.starts, 23u);
    EXPECT_EQ(t.nacks, 23u);
    EXPECT_EQ(emu().NowMs() - t0, 22u);
    EXPECT_EQ(port->Writes(reg::EEPROM_WE), std::vector<uint32_t>{0});
    EXPECT_EQ(emu().Datprom(), before);
}

TEST_F(I2cTest, AdcChannelAboveThreeSendsNothing) {
    EXPECT_EQ(hw.I2C_ADCread(i2c::ADC_DAC, 4), 0);
    lumora_emu::I2cTraffic t = emu().GetI2cTraffic();
    EXPECT_EQ(t.starts + t.bytesWritten + t.bytesRead, 0u);
    EXPECT_TRUE(port->entries.empty());
}

TEST_F(I2cTest, HighVoltageDacValue) {
    struct Case {
        int volts;
        int result;
        int dac;  // -1: nothing sent
    } cases[] = {{1200, 0, 245}, {600, 0, 122}, {0, 0, 0}, {1201, -102, -1}, {-5, -102, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        emu().ClearI2cTraffic();
        uint8_t previous = emu().DacValue();
        EXPECT_EQ(hw.SetHighVoltage(c.volts), c.result);
        if (c.dac < 0) {
            EXPECT_EQ(emu().GetI2cTraffic().starts, 0u);
            EXPECT_EQ(emu().DacValue(), previous);
        } else {
            EXPECT_EQ(emu().DacValue(), c.dac);
        }
    }
}

TEST_F(I2cTest, DacWithoutAnswerIsReported) {
    emu().SetI2cSilent(i2c::ADC_DAC, true);
    EXPECT_EQ(hw.I2C_DACout(i2c::ADC_DAC, 10), -1007);
}

TEST_F(I2cTest, PentamotorWords) {
    emu().ClearMotorWords();
    EXPECT_EQ(hw.Pentamotor_init(6000), 0);
    EXPECT_EQ(emu().MotorWords(), (std::vector<uint16_t>{3223, 3223}));
    emu().ClearMotorWords();
    EXPECT_EQ(hw.Pentamotor_init(0), 0);
    EXPECT_EQ(emu().MotorWords(), std::vector<uint16_t>{6819});
    emu().ClearMotorWords();
    hw.PentamotorOff();
    EXPECT_EQ(emu().MotorWords(), std::vector<uint16_t>{6819});
}

TEST_F(I2cTest, Temperatures) {
    emu().SetLaserTemperature(40.0);
    emu().SetSecondTemperature(-10.5);
    EXPECT_EQ(hw.GetLaserTemperature(), 400);
    EXPECT_EQ(hw.GetSecondTemperature(), -105);
    emu().RemoveTemperatureSensor(i2c::TEMP_LASER);
    EXPECT_EQ(hw.I2C_TEMPread(i2c::TEMP_LASER), -32768);
    EXPECT_EQ(hw.GetLaserTemperature(), -1280);
}

// Reads a register of a temperature sensor over the emulator's byte-level bus.
uint16_t SensorRegister(lumora_emu::Device& d, uint8_t device, uint8_t pointer, int bytes) {
    d.I2cStart(device);
    d.I2cWrite(pointer);
    d.I2cStart(uint8_t(device | 1));
    uint16_t value = d.I2cRead(bytes > 1);
    if (bytes > 1) value = uint16_t(value << 8 | d.I2cRead(false));
    d.I2cStop();
    return value;
}

TEST_F(I2cTest, TemperatureSensorSetUp) {
    // A configuration left behind by someone else is cleared.
    emu().I2cStart(i2c::TEMP_LASER);
    emu().I2cWrite(1);
    emu().I2cWrite(0x18);
    emu().I2cStop();
    ASSERT_EQ(SensorRegister(emu(), i2c::TEMP_LASER, 1, 1), 0x18);
    emu().ClearI2cTraffic();

    uint64_t t0 = emu().NowMs();
    hw.I2C_TEMPinit(i2c::TEMP_LASER, 0x3280);  // 50.5 degrees
    EXPECT_GE(emu().NowMs() - t0, 150u);
    EXPECT_EQ(platform::NowMs(), emu().NowMs());  // the library's clock is the emulator's
    // Four set-up transactions and the read: every byte acknowledged.
    EXPECT_EQ(emu().GetI2cTraffic().nacks, 0u);
    EXPECT_EQ(SensorRegister(emu(), i2c::TEMP_LASER, 1, 1), 0);
    EXPECT_EQ(SensorRegister(emu(), i2c::TEMP_LASER, 3, 2), 0x3280);  // limit
    EXPECT_EQ(SensorRegister(emu(), i2c::TEMP_LASER, 2, 2), 0x2F80);  // 3 degrees below
    EXPECT_EQ(hw.GetLaserTemperature(), 250);
}

// The lines of register 0x80 (and the motor port 0x82) as the bus primitives drive them:
// "w<value>" for a write, "r" for a read.
std::vector<std::string> PortTrace(const RecordingPort* port, uint32_t reg) {
    std::vector<std::string> trace;
    for (const RecordingPort::Entry& e : port->entries) {
        if (e.address != reg) continue;
        if (e.code == IOCTL_WRITE8) {
            char text[8];
            std::snprintf(text, sizeof text, "w%02X", unsigned(e.value));
            trace.push_back(text);
        } else if (e.code == IOCTL_READ8) {
            trace.push_back("r");
        }
    }
    return trace;
}

std::vector<std::string> Writes(std::initializer_list<unsigned> values) {
    std::vector<std::string> trace;
    for (unsigned v : values) {
        char text[8];
        std::snprintf(text, sizeof text, "w%02X", v);
        trace.push_back(text);
    }
    return trace;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(I2cTest, BusPrimitivesDriveTheLinesInTheFixedOrder) {
    const std::vector<std::string> read = {"r"};
    std::vector<std::string> byteA5, eightBits;
    for (int bit = 7; bit >= 0; --bit) {
        unsigned d = (0xA5 >> bit) & 1 ? 0x80 : 0x00;
        byteA5 = byteA5 + Writes({d, d | 2, d});
        eightBits = eightBits + Writes({0x82}) + read + Writes({0x80});
    }
    struct Case {
        const char* what;
        std::function<void(HW_access&)> run;
        std::vector<std::string> trace;
    } cases[] = {
        {"start", [](HW_access& h) { h.I2C_Start(); }, Writes({0x82, 0x02, 0x00, 0x80})},
        {"stop", [](HW_access& h) { h.I2C_Stop(); }, Writes({0x00, 0x02, 0x82})},
        {"write byte", [](HW_access& h) { h.I2C_WriteByte(0xA5); },
         byteA5 + Writes({0x80, 0x82}) + read + Writes({0x80})},
        {"read byte with acknowledge", [](HW_access& h) { h.I2C_ReadByte(true); },
         Writes({0x80}) + eightBits + Writes({0x00, 0x02, 0x00, 0x80})},
        {"read byte without", [](HW_access& h) { h.I2C_ReadByte(false); },
         Writes({0x80}) + eightBits + Writes({0x82, 0x80})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        port->Clear();
        c.run(hw);
        EXPECT_EQ(PortTrace(port, reg::I2C), c.trace);
    }

    // Motor word 0x1A5B: 13 bits from bit 12 down, then the load pulse.
    port->Clear();
    hw.SendMotorWord(0x1A5B);
    std::vector<std::string> motor = Writes({0});
    for (int bit = 12; bit >= 0; --bit) {
        unsigned b = (0x1A5B >> bit) & 1;
        motor = motor + Writes({b, b | 2, b});
    }
    EXPECT_EQ(PortTrace(port, reg::MOTOR_SERIAL), motor + Writes({4, 6, 4, 0}));
    EXPECT_EQ(emu().MotorWords().back(), 0x1A5B);
}

}  // namespace
