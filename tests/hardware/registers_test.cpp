// Register programming of HW_access: ADC set-up, offset, shuttle, laser, slot lines and the
// register initialisation of the open sequence.
#include "hw_fixture.h"

#include "diagnostics/device_memory.h"
#include "devicelink/registers.h"

namespace {

using RegisterTest = HwTest;

uint16_t Pair(RecordingPort* port, uint32_t low) {
    std::vector<uint32_t> lo = port->Writes(low), hi = port->Writes(low + 1);
    EXPECT_FALSE(lo.empty());
    EXPECT_FALSE(hi.empty());
    if (lo.empty() || hi.empty()) return 0;
    return uint16_t(lo.back() | hi.back() << 8);
}

uint32_t Last(RecordingPort* port, uint32_t reg) {
    std::vector<uint32_t> w = port->Writes(reg);
    EXPECT_FALSE(w.empty()) << "register 0x" << std::hex << reg << " not written";
    return w.empty() ? 0xFFFFFFFF : w.back();
}

TEST_F(RegisterTest, SetupAdcRejectsOversamplingAfterClearingAcquisition) {
    for (uint16_t ovs : {0, 1, 33}) {
        SCOPED_TRACE(ovs);
        hw.SetAcquisition(2);
        ASSERT_EQ(emu().PeekRegister(reg::LASER) & 0xC0, 0xC0);
        port->Clear();
        EXPECT_EQ(hw.SetupAdc(ovs, 100, 10, 100, 0), -102);
        EXPECT_EQ(emu().PeekRegister(reg::LASER) & 0xC0, 0);
        EXPECT_EQ(emu().PeekRegister(reg::ACQ_FLAG), 0);
        EXPECT_TRUE(port->Writes(reg::ADC_OVS).empty());
        EXPECT_TRUE(port->Writes(reg::ADC_START).empty());
    }
}

TEST_F(RegisterTest, SetupAdcRegisters) {
    struct Case {
        uint16_t ovs, threshold, start, num, blk, offset;
        uint16_t c0, c2, e0, d2;
        uint8_t e2;
    } cases[] = {
        {8, 1000, 3, 10, 0, 7, 0, 16, 500, 56, 0},            // limits of start and count
        {32, 1000, 105, 2000, 0, 3, 100, 2000, 1000, 48, 0},  // above 16: /32 and ovs/2
        {16, 0xFFFF, 5, 16, 0x0FFF, 0, 0, 16, 0xFFFF, 0, 1},
        {16, 0xFFFF, 5, 16, 0x1000, 0, 0, 16, 0xFFFF, 0, 3},
        {16, 0xFFFF, 5, 16, 0x3FFF, 0, 0, 16, 0xFFFF, 0, 5},
        {17, 0xFFFF, 5, 16, 0x4000, 0, 0, 16, uint16_t(17 * 65535 / 32), 0, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ovs " << c.ovs << " blk " << c.blk);
        port->Clear();
        hw.adcOffset = c.offset;
        ASSERT_EQ(hw.SetupAdc(c.ovs, c.threshold, c.start, c.num, c.blk), 0);
        EXPECT_EQ(Pair(port, reg::ADC_START), c.c0);
        EXPECT_EQ(Pair(port, reg::ADC_COUNT), c.c2);
        EXPECT_EQ(Pair(port, reg::ADC_THRESHOLD), c.e0);
        EXPECT_EQ(Pair(port, reg::ADC_OFFSET), c.d2);
        EXPECT_EQ(Last(port, reg::ADC_OVS), uint32_t(c.ovs - 1));
        EXPECT_EQ(Last(port, reg::ADC_OUTPUT), c.e2);
    }
}

TEST_F(RegisterTest, MeasureAdcOffset) {
    emu().SetDarkLevel(320);
    hw.RegWrite(reg::ADC_OVS, 7);
    hw.RegWrite(reg::ADC_OFFSET, 0x34);
    port->Clear();
    uint16_t m = hw.MeasureAdcOffset(1);
    EXPECT_GT(m, 0);
    EXPECT_EQ(Pair(port, reg::ADC_OFFSET), m);
    EXPECT_EQ(hw.adcOffset, m / 8);
    EXPECT_EQ(emu().PeekRegister(reg::ADC_OVS), 7);
    // 256 readings after the discarded one, each a status read and an accumulator read.
    EXPECT_EQ(port->Count(IOCTL_READ16), 257u);

    port->Clear();
    EXPECT_EQ(hw.MeasureAdcOffset(0), 0);
    EXPECT_EQ(hw.adcOffset, 0);
    EXPECT_EQ(Pair(port, reg::ADC_OFFSET), 0);
}

TEST_F(RegisterTest, AdcLevelIsOneSampleOnTheSixteenBitScale) {
    emu().SetDarkLevel(20000);
    // Register 0xD0: samples - 1 in its low five bits; the upper bits do not count.
    for (uint8_t ovsRegister : {0x00, 0x07, 0xE7, 0x10, 0x1F}) {
        SCOPED_TRACE(int(ovsRegister));
        hw.RegWrite(reg::ADC_OVS, ovsRegister);
        EXPECT_NEAR(hw.ReadAdcLevel(), 20000, 32);
    }
    hw.RegWrite(reg::ADC_OVS, 31);
    EXPECT_EQ(hw.ReadAdcRaw(), 20000);  // 32 samples at half scale
}

TEST_F(RegisterTest, LaserAcquisitionAndHighVoltageBits) {
    hw.SetLaserPower(5);
    hw.SetLaserMode(2);
    hw.SetAcquisition(1);
    EXPECT_EQ(emu().PeekRegister(reg::LASER), 0x40 | 0x30 | 4);
    EXPECT_EQ(emu().PeekRegister(reg::ACQ_FLAG), 1);
    EXPECT_EQ(hw.SetLaserPower(9), -102);
    EXPECT_EQ(emu().PeekRegister(reg::LASER), 0x40 | 4);  // laser mode cleared first
    EXPECT_EQ(hw.SetLaserPower(0), 0);
    EXPECT_EQ(emu().PeekRegister(reg::LASER) & 0x0F, 0);

    hw.SetHighVoltageEnable(1);
    EXPECT_EQ(emu().PeekRegister(reg::CONTROL) & 0x08, 0x08);
    hw.SetHighVoltageEnable(2);
    EXPECT_EQ(emu().PeekRegister(reg::CONTROL) & 0x08, 0);
}

TEST_F(RegisterTest, ShuttleAndSlotLines) {
    hw.motorFlags = 4;
    hw.SetupShuttle(300, 5000);
    EXPECT_EQ(port->Writes(reg::SHUTTLE_CMD), std::vector<uint32_t>{4});
    EXPECT_EQ(Last(port, reg::SHUTTLE_DIV_LO), 299u & 0xFF);
    EXPECT_EQ(Last(port, reg::SHUTTLE_DIV_HI), 1u);
    EXPECT_EQ(Last(port, reg::SHUTTLE_A2), 2u);
    EXPECT_EQ(hw.motorFlags, 4 | 8);
    hw.ShuttleCommand(2);
    EXPECT_EQ(Last(port, reg::SHUTTLE_CMD), uint32_t(0x73 ^ 0x0C));
    hw.SetupShuttle(0, -5000);  // divider 0 taken as 1; signed division
    EXPECT_EQ(Last(port, reg::SHUTTLE_DIV_LO), 0u);
    EXPECT_EQ(Last(port, reg::SHUTTLE_A2), uint32_t(uint8_t(-2)));
    EXPECT_EQ(hw.motorFlags, 4);

    hw.SetSlotMask(0x05, 4096);
    EXPECT_EQ(hw.slotLines, 0x33);
    EXPECT_EQ(Last(port, reg::SLOT_A6), 2u);
    const std::pair<int, uint8_t> modes[] = {{1, 0x11}, {2, 0x22}, {3, 0x33}, {0, 0}, {7, 0}};
    for (auto [mode, lines] : modes) {
        hw.SetSlotLines(mode);
        EXPECT_EQ(emu().PeekRegister(reg::SLOT_LINES), lines) << mode;
    }
}

TEST_F(RegisterTest, ScanStatusAndLineCounter) {
    std::vector<uint32_t> words(40, 0x12345678);
    emu().PushFifo(words);
    ScanStatus s{};
    s.error = 77;
    ASSERT_EQ(hw.GetScanStatus(&s), 0);
    EXPECT_EQ(s.wordsWaiting, 40u);
    EXPECT_EQ(s.error, 0);
    EXPECT_EQ(s.scanLines, emu().LineCounter() & 0xFFFFFF);
    EXPECT_EQ(hw.Anz_ScanLine(), emu().LineCounter() & 0xFFFFFF);
}

TEST_F(RegisterTest, ClearReadBlockPulsesBit7) {
    hw.RegWrite(reg::CONTROL, 0x08);
    port->Clear();
    uint64_t t0 = emu().NowMs();
    hw.ClearReadBlock();
    EXPECT_EQ(port->Writes(reg::CONTROL), (std::vector<uint32_t>{0x88, 0x08}));
    EXPECT_GE(emu().NowMs() - t0, 2u);
}

TEST_F(RegisterTest, EraseUnitReadout) {
    Describe("[EraseUnit]\nVersion=51\nLampStatus=2\nLampTemp=42\n"
             "Sensors=1,2,3,4,5,6,7,8,9,10,11\n");
    EraseUnitInfo info{};
    hw.ReadEraseUnit(&info);
    const uint8_t sensors[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(0, std::memcmp(info.sensor, sensors, 11));
    EXPECT_EQ(info.firmwareVersion, 51);
    EXPECT_EQ(info.lampStatus, 2);
    EXPECT_EQ(info.lampTemperature, 420);
}

ScannerSettings SampleSettings() {
    ScannerSettings s{};
    s.Penta = 6000;
    s.ADC_Ovs = 8;
    s.ADC_SW = 1000;
    s.Strt_Pix = 105;
    s.Anz_Pix = 2000;
    s.Blk_Pix = 0;
    s.SMotReverse = 1;
    s.SMOT = 120;
    s.StepsAB = 80000;
    s.StepsA = 10000;
    s.StepsPre = 5000;
    s.PMT_HV = 600;
    s.LaserTempMax = 50;
    s.Laser = 8;
    s.ImgTypeMask = 0xCF;
    s.EraseEnable = 1;
    s.LampOnTime = 12;
    return s;
}

TEST_F(RegisterTest, InitHwRegisterProgramsTheRegisters) {
    ScannerSettings s = SampleSettings();
    BufferRamInfo ram{0x4000000, 12, 9, 1, 4, 6, 64};
    Device.BleachingFeature = 1;
    emu().ClearMotorWords();
    ASSERT_EQ(hw.InitHwRegister(&s, &ram, 0x03), 0);

    EXPECT_EQ(emu().MotorWords(), (std::vector<uint16_t>{3223, 3223}));
    EXPECT_EQ(Pair(port, reg::ADC_START), 100);
    EXPECT_EQ(Pair(port, reg::ADC_COUNT), 2000);
    EXPECT_EQ(Pair(port, reg::ADC_THRESHOLD), 500);
    EXPECT_EQ(Last(port, reg::ADC_OVS), 7u);
    EXPECT_EQ(Last(port, reg::SHUTTLE_CMD), 4u);  // command 0 with the reversed direction
    EXPECT_EQ(Pair(port, reg::SHUTTLE_DIV_LO), 119);
    EXPECT_EQ(Last(port, reg::SHUTTLE_A2), 80000u / 2048);
    EXPECT_EQ(emu().PeekRegister(reg::CONTROL) & 0x08, 0);
    EXPECT_EQ(emu().DacValue(), 122);
    EXPECT_EQ(emu().PeekRegister(reg::LASER), 7);
    EXPECT_EQ(Last(port, reg::BUF_TYPE), 6u);
    EXPECT_EQ(Last(port, reg::BUF_SIZE_DIV4), 16u);
    EXPECT_EQ(Last(port, reg::BUF_SIZE_DIV2), 32u);
    EXPECT_EQ(Last(port, reg::BUF_SIZE_MINUS2), 62u);
    EXPECT_EQ(Last(port, reg::INLET), 0xCFu);
    EXPECT_EQ(Last(port, reg::PRE_A7), 5000u / 2048);
    EXPECT_EQ(Last(port, reg::SLOT_A6), 10000u / 2048);
    EXPECT_EQ(hw.slotLines, 0x0F);
    EXPECT_EQ(Last(port, reg::ERASE_MODE), 2u);
    EXPECT_TRUE(port->Writes(reg::LAMP_ERASE).empty());
    EXPECT_EQ(hw.motorFlags, 4);
}

TEST_F(RegisterTest, InitHwRegisterSecondModelLamps) {
    ScannerSettings s = SampleSettings();
    s.EraseEnable = 0;
    s.LampOnTime = 30;
    BufferRamInfo ram{0x4000000, 13, 9, 1, 4, 0, 32};
    Device.ScannerKind = SCANNER_KIND_CALYXA;
    Device.BleachingFeature = 1;
    ASSERT_EQ(hw.InitHwRegister(&s, &ram, 0), 0);
    EXPECT_EQ(Last(port, reg::LAMP_ERASE), 2u);
    EXPECT_EQ(Last(port, reg::LAMP_ON_TIME), 30u);
    EXPECT_EQ(Last(port, reg::LAMP1_CMD), 1u);
    EXPECT_EQ(Last(port, reg::LAMP2_CMD), 1u);
    EXPECT_EQ(Last(port, reg::LAMP_72), 90u);
    EXPECT_TRUE(port->Writes(reg::ERASE_MODE).empty());
}

TEST_F(RegisterTest, InitHwRegisterStopsAtTheFirstError) {
    struct Case {
        const char* what;
        void (*spoil)(ScannerSettings&);
    } cases[] = {
        {"oversampling", [](ScannerSettings& s) { s.ADC_Ovs = 40; }},
        {"high voltage", [](ScannerSettings& s) { s.PMT_HV = 1300; }},
        {"laser level", [](ScannerSettings& s) { s.Laser = 9; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScannerSettings s = SampleSettings();
        c.spoil(s);
        BufferRamInfo ram{0x4000000, 12, 9, 1, 4, 6, 64};
        port->Clear();
        EXPECT_EQ(hw.InitHwRegister(&s, &ram, 0), -102);
        EXPECT_TRUE(port->Writes(reg::BUF_TYPE).empty());
    }
}

}  // namespace
