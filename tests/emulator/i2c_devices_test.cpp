// The devices on the I2C bus: EEPROMs, SPD, ADC/DAC, temperature sensors.
#include "test_util.h"

#include <cstdio>

using namespace emutest;

namespace {

class I2cDeviceTest : public EmuTest {
protected:
    // One byte write, as the driver library does it; returns whether all bytes were acknowledged.
    bool WriteProm(uint8_t device, uint8_t address, uint8_t value) {
        bool ok = dev.I2cStart(device) == 0;
        ok = dev.I2cWrite(address) == 0 && ok;
        ok = dev.I2cWrite(value) == 0 && ok;
        dev.I2cStop();
        return ok;
    }
    uint8_t ReadProm(uint8_t device, uint8_t address) {
        dev.I2cStart(device);
        dev.I2cWrite(address);
        dev.I2cStart(device | 1);
        uint8_t v = dev.I2cRead(false);
        dev.I2cStop();
        return v;
    }
    uint8_t ReadAdc(int channel) {
        dev.I2cStart(0x90);
        dev.I2cWrite(uint8_t(0x40 | channel));
        dev.I2cStop();
        dev.I2cStart(0x91);
        dev.I2cRead(true);  // previous conversion
        uint8_t v = dev.I2cRead(false);
        dev.I2cStop();
        return v;
    }
};

TEST_F(I2cDeviceTest, EepromWriteCycleRefusesAddressUntilItEnds) {
    ASSERT_TRUE(WriteProm(0xAA, 0x40, 0x12));
    EXPECT_EQ(dev.I2cStart(0xAA), 1);  // busy writing
    dev.I2cStop();
    dev.AdvanceMs(4);
    EXPECT_EQ(dev.I2cStart(0xAA), 1);
    dev.I2cStop();
    dev.AdvanceMs(1);
    EXPECT_EQ(dev.I2cStart(0xAA), 0);
    dev.I2cStop();
    EXPECT_EQ(ReadProm(0xAA, 0x40), 0x12);
}

TEST_F(I2cDeviceTest, IdpromIsWriteProtectedUnlessEnabled) {
    uint8_t before = dev.Idprom()[0x60];
    EXPECT_FALSE(WriteProm(0xA8, 0x60, uint8_t(before ^ 0xFF)));  // data byte refused
    dev.AdvanceMs(10);
    EXPECT_EQ(dev.Idprom()[0x60], before);
    dev.WriteRegister8(0x81, 0x0A);
    EXPECT_TRUE(WriteProm(0xA8, 0x60, uint8_t(before ^ 0xFF)));
    dev.WriteRegister8(0x81, 0);
    EXPECT_EQ(dev.Idprom()[0x60], uint8_t(before ^ 0xFF));
}

TEST_F(I2cDeviceTest, RepeatedStartWithoutStopWritesNothing) {
    dev.I2cStart(0xAA);
    dev.I2cWrite(0x10);
    dev.I2cWrite(0x99);
    dev.I2cStart(0xAB);  // repeated start aborts the write
    dev.I2cRead(false);
    dev.I2cStop();
    EXPECT_NE(dev.Datprom()[0x10], 0x99);
    EXPECT_EQ(dev.I2cStart(0xAA), 0);  // and started no write cycle
    dev.I2cStop();
}

TEST_F(I2cDeviceTest, EepromContentsPersistInTheirFile) {
    TempDir tmp;
    std::string file = tmp.file("eeprom.bin");
    WriteFile(tmp.file("dev.ini"), "[Eeprom]\nFile=" + file + "\n");
    ASSERT_TRUE(dev.LoadDescription(tmp.file("dev.ini")));
    dev.SetFirmwareRunning(true);
    ASSERT_TRUE(WriteProm(0xAA, 0x03, 0x5C));
    // A new process: the device is built again from the same description.
    ASSERT_TRUE(dev.LoadDescription(tmp.file("dev.ini")));
    EXPECT_EQ(dev.Datprom()[0x03], 0x5C);
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 512);
    std::fclose(f);
}

TEST_F(I2cDeviceTest, SpdBytesDescribeTheConfiguredModule) {
    struct Case { const char* text; uint8_t type, rows, cols, sides, width, banks; };
    const Case cases[] = {
        {"", 4, 12, 9, 1, 64, 4},
        {"[Memory]\nRows=13\nColumns=10\nSides=2\nBanks=4\nWidth=72\n", 4, 13, 10, 2, 72, 4},
        {"[Memory]\nType=7\nRows=11\nBanks=2\n", 7, 11, 9, 1, 64, 2},
    };
    for (const Case& c : cases) {
        dev.LoadDescriptionText(c.text);
        dev.SetFirmwareRunning(true);
        uint8_t got[18];
        dev.I2cStart(0xA0);
        dev.I2cWrite(0);
        dev.I2cStart(0xA1);
        for (int i = 0; i < 18; ++i) got[i] = dev.I2cRead(i < 17);
        dev.I2cStop();
        EXPECT_EQ(got[2], c.type) << c.text;
        EXPECT_EQ(got[3], c.rows) << c.text;
        EXPECT_EQ(got[4], c.cols) << c.text;
        EXPECT_EQ(got[5], c.sides) << c.text;
        EXPECT_EQ(got[6], c.width) << c.text;
        EXPECT_EQ(got[17], c.banks) << c.text;
    }
    dev.LoadDescriptionText("[Memory]\nPresent=0\n");
    EXPECT_EQ(dev.I2cStart(0xA0), 1);
    dev.I2cStop();
}

TEST_F(I2cDeviceTest, AdcFirstReadIsThePreviousConversion) {
    EXPECT_EQ(ReadAdc(1), 169);  // 3.3 V at 0.01953 V per count
    // Channel change: the first byte is still the 3.3 V conversion.
    dev.I2cStart(0x90);
    dev.I2cWrite(0x42);
    dev.I2cStop();
    dev.I2cStart(0x91);
    EXPECT_EQ(dev.I2cRead(true), 169);
    EXPECT_EQ(dev.I2cRead(true), 171);  // 5 V / 0.02929
    EXPECT_EQ(dev.I2cRead(false), 171);
    dev.I2cStop();
    EXPECT_EQ(ReadAdc(3), 188);  // 24 V / 0.12793
}

TEST_F(I2cDeviceTest, AdcChannelZeroReadsHighVoltageOnlyWhileEnabled) {
    dev.I2cStart(0x90);
    dev.I2cWrite(0x40);
    dev.I2cWrite(245);
    dev.I2cStop();
    EXPECT_EQ(dev.DacValue(), 245);
    EXPECT_EQ(ReadAdc(0), 0);  // HV enable off
    dev.WriteRegister8(0xF0, 0x08);
    EXPECT_EQ(ReadAdc(0), 245);
    dev.WriteRegister8(0xF0, 0x00);
    EXPECT_EQ(ReadAdc(0), 0);  // decays at once

    dev.SetHighVoltageStays(true);
    dev.WriteRegister8(0xF0, 0x08);
    dev.WriteRegister8(0xF0, 0x00);
    EXPECT_EQ(ReadAdc(0), 245);
    dev.AdvanceMs(60000);
    EXPECT_EQ(ReadAdc(0), 245);
}

TEST_F(I2cDeviceTest, TemperatureSensorFormatAndLimits) {
    struct Case { double c; uint16_t raw; };
    for (Case c : {Case{25.0, 0x1900}, Case{25.7, 0x1980}, Case{-10.5, 0xF580}, Case{80.0, 0x5000}}) {
        dev.SetLaserTemperature(c.c);
        dev.I2cStart(0x92);
        dev.I2cWrite(0);
        dev.I2cStart(0x93);
        uint16_t hi = dev.I2cRead(true), lo = dev.I2cRead(false);
        dev.I2cStop();
        EXPECT_EQ(uint16_t(hi << 8 | lo), c.raw) << c.c;
    }
    // Limit (pointer 3) and hysteresis (pointer 2), high byte first.
    dev.I2cStart(0x94);
    dev.I2cWrite(3);
    dev.I2cWrite(0x32);
    dev.I2cWrite(0x00);
    dev.I2cStop();
    dev.I2cStart(0x94);
    dev.I2cWrite(2);
    dev.I2cWrite(0x2F);
    dev.I2cWrite(0x00);
    dev.I2cStop();
    for (auto [ptr, want] : {std::pair<int, uint16_t>{3, 0x3200}, {2, 0x2F00}}) {
        dev.I2cStart(0x94);
        dev.I2cWrite(uint8_t(ptr));
        dev.I2cStart(0x95);
        uint16_t hi = dev.I2cRead(true), lo = dev.I2cRead(false);
        dev.I2cStop();
        EXPECT_EQ(uint16_t(hi << 8 | lo), want);
    }
    EXPECT_NE(dev.I2cWrite(0), 0);  // nothing addressed after a stop
}

}  // namespace

namespace {

TEST_F(I2cDeviceTest, ForeignFileIsNotTakenAsEepromContents) {
    TempDir tmp;
    std::string file = tmp.file("notes.txt");
    WriteFile(file, "precious text\n");
    dev.LoadDescriptionText("[Eeprom]\nFile=" + file + "\n");
    dev.SetFirmwareRunning(true);
    ASSERT_TRUE(WriteProm(0xAA, 0x03, 0x5C));
    std::string text;
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[64] = {};
    text.assign(buf, std::fread(buf, 1, sizeof buf, f));
    std::fclose(f);
    EXPECT_EQ(text, "precious text\n");
    EXPECT_EQ(dev.Datprom()[0x03], 0x5C);  // kept in memory
}

}  // namespace
