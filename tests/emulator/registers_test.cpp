// Register side effects: motor port, ADC accumulator, buffer RAM pointers, status, erase
// unit window, lamp busy flags.
#include "test_util.h"

using namespace emutest;

namespace {

class RegisterTest : public EmuTest {};

TEST_F(RegisterTest, MotorWordsDecodedFromSerialPort) {
    MotorWord(dev, 3223);
    MotorWord(dev, 3223);
    EXPECT_EQ(dev.MotorWords(), (std::vector<uint16_t>{3223, 3223}));
    EXPECT_EQ(dev.PolygonSpeed(), 6000u);
    MotorWord(dev, 6819);
    EXPECT_EQ(dev.PolygonSpeed(), 0u);
    // A clock edge while the load line is high shifts nothing.
    dev.ClearMotorWords();
    dev.WriteRegister8(0x82, 4);
    dev.WriteRegister8(0x82, 6);
    dev.WriteRegister8(0x82, 0);
    EXPECT_TRUE(dev.MotorWords().empty());
    // Speed below ~1420 rpm: the word is negative in 13 bits.
    MotorWord(dev, uint16_t(4223 - 6000000 / 1000) & 0x1FFF);
    EXPECT_EQ(dev.PolygonSpeed(), 1000u);
}

TEST_F(RegisterTest, AdcAccumulatorScalesWithOversamplingAndOffset) {
    dev.SetDarkLevel(320);
    dev.SetAmbientLight(800);
    struct Case { uint8_t ovsReg; uint16_t offset; bool hv; uint16_t want; };
    const Case cases[] = {
        {0, 0, false, 20},         // one sample of 320/16
        {15, 0, false, 320},       // 16 samples
        {31, 0, false, 320},       // 32 samples, sum halved
        {15, 300, false, 20},      // offset subtracted
        {15, 400, false, 0},       // never below zero
        {15, 0, true, 1120},       // ambient light only with the high voltage on
    };
    for (const Case& c : cases) {
        dev.WriteRegister8(0xD0, c.ovsReg);
        dev.WriteRegister16(0xD2, c.offset);
        dev.WriteRegister8(0xF0, c.hv ? 0x08 : 0);
        // With HV on the DAC must have set a voltage.
        dev.I2cStart(0x90);
        dev.I2cWrite(0x40);
        dev.I2cWrite(120);
        dev.I2cStop();
        EXPECT_EQ(dev.ReadRegister16(0xE4), c.want) << int(c.ovsReg) << " " << c.offset;
    }
}

TEST_F(RegisterTest, BufferResetPulseEmptiesFifoAndLineCounter) {
    dev.PushFifo({1, 2, 3});
    EXPECT_EQ(dev.ReadRegister32(0x33), 3u);
    EXPECT_EQ(dev.ReadRegister32(0x37), 3u);
    dev.WriteRegister8(0xF0, 0x08);
    dev.WriteRegister8(0xF0, 0x88);
    dev.WriteRegister8(0xF0, 0x08);
    EXPECT_EQ(dev.ReadRegister32(0x33), 0u);
    EXPECT_EQ(dev.ReadRegister32(0x37), dev.ReadRegister32(0x08));
    EXPECT_EQ(dev.PeekRegister(0xF0), 0x08);  // HV enable untouched
}

TEST_F(RegisterTest, WritePointerResetKeepsWaitingWords) {
    dev.PushFifo({1, 2, 3, 4});
    dev.WriteRegister8(0x37, 0);
    EXPECT_EQ(dev.ReadRegister32(0x37), 0u);
    EXPECT_EQ(dev.ReadRegister32(0x33), 4u);
    dev.WriteRegister8(0x37, 5);  // only 0 resets
    EXPECT_EQ(dev.ReadRegister32(0x33), 4u);
}

TEST_F(RegisterTest, StatusAcknowledgeAndFirmwareOff) {
    EXPECT_EQ(dev.ReadRegister8(0xF8), 0u);
    dev.SetFirmwareRunning(false);
    EXPECT_EQ(dev.ReadRegister8(0xF8), 0xFF);
    EXPECT_EQ(dev.ReadRegister32(0x33), 0xFFFFFFFFu);
    dev.WriteRegister8(0x90, 0x55);  // ignored while the firmware is down
    EXPECT_EQ(dev.PeekRegister(0x90), 0);
}

TEST_F(RegisterTest, EraseUnitWindow) {
    auto read = [&](uint8_t i) {
        dev.WriteRegister8(0xB1, i);
        return dev.ReadRegister8(0xB2);
    };
    EXPECT_EQ(read(0), 12);
    EXPECT_EQ(read(10), 1);
    EXPECT_EQ(read(13), 0x21);
    EXPECT_EQ(read(14), 1);
    EXPECT_EQ(read(15), 35);  // whole °C (the library takes it times 10)
    dev.SetEraseUnitAnswering(false);
    for (uint8_t i : {0, 13, 14, 15}) EXPECT_EQ(read(i), 0);
    // No erase unit (feature bit 4 set): the window reads zero.
    dev.LoadDescriptionText("[Device]\nFeatures=0x13\n");
    dev.SetFirmwareRunning(true);
    EXPECT_EQ(read(13), 0);
}

TEST_F(RegisterTest, LampBusyFlagsClearAfterEmulatedTime) {
    dev.LoadDescriptionText("[Device]\nModel=second\n");
    dev.SetFirmwareRunning(true);
    dev.WriteRegister8(0x44, 1);
    dev.WriteRegister8(0x4C, 1);
    EXPECT_EQ(dev.ReadRegister8(0x45), 1);
    EXPECT_EQ(dev.ReadRegister8(0x4D), 1);
    dev.AdvanceMs(1600);
    EXPECT_EQ(dev.ReadRegister8(0x45), 0);
    EXPECT_EQ(dev.ReadRegister8(0x4D), 0);
    dev.SetLampStatus(2, 0x04);
    EXPECT_EQ(dev.ReadRegister8(0x49), 0x04);
    EXPECT_EQ(dev.ReadRegister8(0x41), 0);
}

TEST_F(RegisterTest, InletByteKeepsTheLockBitsAndShowsSensors) {
    dev.WriteRegister8(0xA4, 0xCF);
    EXPECT_EQ(dev.ReadRegister8(0xA4), 0xC0);  // no plate at any inlet
}

}  // namespace

namespace {

TEST_F(RegisterTest, StatusReportsEraseUnitOnlyWithOne) {
    dev.SetEraseUnitReport(true);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x20, 0x20);
    dev.LoadDescriptionText("[Device]\nFeatures=0x13\n");
    dev.SetFirmwareRunning(true);
    dev.SetEraseUnitReport(true);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x20, 0);
}

TEST_F(RegisterTest, FastClockSleepsAFractionOfTheWait) {
    dev.SetClockMode(lumora_emu::ClockMode::Fast, 1000);
    uint64_t t0 = dev.NowMs();
    dev.WaitMs(2000);  // about 2 ms of wall time
    EXPECT_GE(dev.NowMs(), t0 + 2000);
    dev.SetClockMode(lumora_emu::ClockMode::Stepped);
    uint64_t t1 = dev.NowMs();
    dev.ReadRegister8(0xF8);  // a polled read moves stepped time a little
    EXPECT_GT(dev.NowUs(), t1 * 1000);
}

}  // namespace

namespace {

TEST_F(RegisterTest, ForcedReadsAnswerNonsenseUntilCleared) {
    dev.PushFifo({7, 8});
    dev.ForceRead(0xF8, 0xFF);
    dev.ForceRead(0x33, 0x7FFFFFFF);  // more words than the buffer holds
    EXPECT_EQ(dev.ReadRegister8(0xF8), 0xFF);
    EXPECT_EQ(dev.ReadRegister32(0x33), 0x7FFFFFFFu);
    EXPECT_EQ(dev.ReadRegister16(0x33), 0xFFFFu);
    EXPECT_EQ(dev.FifoWords(), 2u);  // the buffer itself is unchanged
    dev.ClearForcedReads();
    EXPECT_EQ(dev.ReadRegister8(0xF8), 0);
    EXPECT_EQ(dev.ReadRegister32(0x33), 2u);
}

}  // namespace
