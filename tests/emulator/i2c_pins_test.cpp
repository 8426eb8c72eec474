// The pin-level I2C decoder of register 0x80, driven by raw register writes.
#include "test_util.h"

using namespace emutest;

namespace {

class I2cPinTest : public EmuTest {
protected:
    PinMaster m{dev};
};

TEST_F(I2cPinTest, PresentDeviceAcknowledgesAndAbsentDoesNot) {
    m.Start();
    EXPECT_TRUE(m.WriteByte(0xA8));
    m.Stop();
    m.Start();
    EXPECT_FALSE(m.WriteByte(0x96));  // nobody at 0x96
    m.Stop();
    auto t = dev.GetI2cTraffic();
    EXPECT_EQ(t.starts, 2u);
    EXPECT_EQ(t.stops, 2u);
    EXPECT_EQ(t.nacks, 1u);
}

TEST_F(I2cPinTest, RepeatedStartSequentialReadReturnsPromBytes) {
    auto prom = dev.Idprom();
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xA8));
    ASSERT_TRUE(m.WriteByte(0x10));  // byte address
    m.Start();                       // repeated start, no stop in between
    ASSERT_TRUE(m.WriteByte(0xA9));
    std::vector<uint8_t> got;
    for (int i = 0; i < 20; ++i) got.push_back(m.ReadByte(i < 19));
    m.Stop();
    EXPECT_EQ(got, std::vector<uint8_t>(prom.begin() + 0x10, prom.begin() + 0x10 + 20));

    // The pointer stays after the read: a current-address read continues behind it.
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xA9));
    EXPECT_EQ(m.ReadByte(false), prom[0x10 + 20]);
    m.Stop();
}

TEST_F(I2cPinTest, NotAcknowledgedReadEndsTheSlaveDrivingSda) {
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xA8));
    ASSERT_TRUE(m.WriteByte(0x00));
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xA9));
    m.ReadByte(false);
    // After a not-acknowledge the slave has released SDA: the line follows the master.
    m.Pins(true, false);
    EXPECT_EQ(m.Sda(), 1);
    m.Pins(false, false);
    EXPECT_EQ(m.Sda(), 0);
    m.Pins(false, true);
    m.Pins(true, true);  // stop
    EXPECT_EQ(dev.GetI2cTraffic().stops, 1u);
}

TEST_F(I2cPinTest, SilentDeviceAndRemovedSensorDoNotAcknowledge) {
    dev.SetI2cSilent(0xAA, true);
    dev.RemoveTemperatureSensor(0x92);
    for (uint8_t a : {0xAA, 0x92}) {
        m.Start();
        EXPECT_FALSE(m.WriteByte(a)) << int(a);
        // Data bytes after a missing address go unanswered too.
        EXPECT_FALSE(m.WriteByte(0x00));
        m.Stop();
    }
    m.Start();
    EXPECT_TRUE(m.WriteByte(0x94));  // the other sensor still answers
    m.Stop();
}

TEST_F(I2cPinTest, StopWithBothLinesChangingTogetherIsNoStart) {
    // Idle with both lines high, then both low in one write: the clock falls first.
    m.Pins(true, true);
    m.Pins(false, false);
    m.Pins(false, true);
    m.Pins(true, true);
    auto t = dev.GetI2cTraffic();
    EXPECT_EQ(t.starts, 0u);
    EXPECT_EQ(t.stops, 1u);
}

TEST_F(I2cPinTest, ByteLevelBusSharesDevicesWithPins) {
    EXPECT_EQ(dev.I2cStart(0xAA), 0);
    EXPECT_EQ(dev.I2cWrite(0x05), 0);
    EXPECT_EQ(dev.I2cWrite(0x77), 0);
    dev.I2cStop();
    dev.AdvanceMs(10);
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xAA));
    ASSERT_TRUE(m.WriteByte(0x05));
    m.Start();
    ASSERT_TRUE(m.WriteByte(0xAB));
    EXPECT_EQ(m.ReadByte(false), 0x77);
    m.Stop();
    EXPECT_EQ(dev.I2cStart(0x96), 1);
}

}  // namespace
