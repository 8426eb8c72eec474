// The service command table: inputs, outputs, output lengths and refusals.
#include <cmath>

#include "diagnostics/service_fixture.h"

namespace {

class Commands : public ServiceTest {};

TEST_F(Commands, RegistersAreReadAndWrittenInTheirWidths) {
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(0, Service(0x1005, {0xA7, 0x5A}, 0).result);
    Reply r = Service(0x1002, {0xA7}, 1);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(1, r.outLen);
    EXPECT_EQ(0x5A, r.out[0]);

    EXPECT_EQ(0, Service(0x1006, {0xC2, 0xFF, 0x34, 0x12}, 0).result);  // byte 1 ignored
    r = Service(0x1003, {0xC2}, 2);
    EXPECT_EQ(2, r.outLen);
    EXPECT_EQ(0x1234, r.U16());

    EXPECT_EQ(0, Service(0x1007, {0xC0, 1, 2, 3, 0x78, 0x56, 0x34, 0x12}, 0).result);
    r = Service(0x1004, {0xC0}, 4);
    EXPECT_EQ(4, r.outLen);
    EXPECT_EQ(0x12345678u, r.U32());

    // Inputs and outputs too short for the command are refused before anything happens.
    struct Case {
        unsigned code;
        std::vector<uint8_t> in;
        int outSize;
    } shortCases[] = {{0x1002, {}, 1},        {0x1002, {0xA7}, 0},  {0x1003, {0xC2}, 1},
                      {0x1004, {0xC0}, 3},    {0x1005, {0xA7}, 0},  {0x1006, {0xC2, 0, 1}, 0},
                      {0x1007, {0xC0, 0, 0, 0, 1, 2, 3}, 0},        {0x1009, {1}, 3},
                      {0x100A, U16Arg(600), 4687},                  {0x100B, {0, 1, 0, 1, 0}, 8},
                      {0x1000, U32Arg(50000), 3},                   {0x1011, {}, 3},
                      {0x100F, {'a', 'b'}, 0},                      {0x100E, {}, 1}};
    for (const Case& c : shortCases) {
        Reply bad = Service(c.code, c.in, c.outSize);
        EXPECT_EQ(-102, bad.result) << std::hex << c.code;
        EXPECT_EQ(0, bad.outLen) << std::hex << c.code;
    }
    EXPECT_EQ(0x5A, Emu().PeekRegister(0xA7));
}

TEST_F(Commands, PromsAreReadFromByteZeroAndWrittenWithTheirLengthChecked) {
    ASSERT_EQ(0, Open_Scanner(1));
    Reply r = Service(0x1001, {0xA8}, 16);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(16, r.outLen);
    EXPECT_EQ("LS2026-000117", std::string(reinterpret_cast<char*>(r.out.data())));
    r = Service(0x1001, {0xA8}, 300);  // at most the whole PROM
    EXPECT_EQ(256, r.outLen);
    EXPECT_EQ(Emu().Idprom(), std::vector<uint8_t>(r.out.begin(), r.out.begin() + 256));
    EXPECT_EQ(-102, Service(0x1001, {0xA8}, 0).result);

    // Bytes 0 ... 7 need three header bytes and eight data bytes: ten are refused.
    std::vector<uint8_t> in{0xA8, 0, 7, 'X', 'X', 'X', 'X', 'X', 'X', 'X'};
    EXPECT_EQ(-102, Service(0x100C, in, 0).result);
    EXPECT_EQ('L', Emu().Idprom()[0]);
    EXPECT_EQ(-102, Service(0x100C, {0xA8, 7, 0, 1, 2, 3, 4, 5, 6, 7}, 0).result);  // last < first

    // The identification PROM is written with its write enable; the data PROM as it is.
    const uint64_t before = Emu().NowMs();
    in = {0xA8, 16, 23, 'M', 'B', '-', '9', '9', '9', '9', 0};
    EXPECT_EQ(0, Service(0x100C, in, 0).result);
    EXPECT_GE(Emu().NowMs() - before, 20u);  // the pause after the write
    EXPECT_EQ("MB-9999", std::string(reinterpret_cast<const char*>(Emu().Idprom().data() + 16)));
    EXPECT_EQ(0, Service(0x100C, {0xAA, 26, 27, 0x12, 0x34}, 0).result);
    EXPECT_EQ(0x12, Emu().Datprom()[26]);
    EXPECT_EQ(0x34, Emu().Datprom()[27]);
}

TEST_F(Commands, HighVoltagePolygonAndPresence) {
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(-102, Service(0x1008, U16Arg(1201), 0).result);
    EXPECT_EQ(0, Service(0x1008, U16Arg(650), 0).result);
    EXPECT_EQ(133, Emu().DacValue());  // 650 / 4.883

    for (uint16_t speed : {1999, 7001, 1, 65535})
        EXPECT_EQ(-102, Service(0x100D, U16Arg(speed), 0).result) << speed;
    Emu().ClearMotorWords();
    EXPECT_EQ(0, Service(0x100D, U16Arg(0), 0).result);
    EXPECT_EQ(std::vector<uint16_t>{6819}, Emu().MotorWords());  // motor off
    EXPECT_EQ(0, Emu().PolygonSpeed());
    Emu().ClearMotorWords();
    EXPECT_EQ(0, Service(0x100D, U16Arg(7000), 0).result);
    EXPECT_EQ((std::vector<uint16_t>{3366, 3366}), Emu().MotorWords());  // 4223 - 6000000 / 7000

    Reply r = Service(0x100E, {}, 4);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(2, r.outLen);
    EXPECT_EQ(0xFFFF, r.U16());
}

TEST_F(Commands, DiagnosticChannelsReadTheSuppliesTheHighVoltageAndBothSensors) {
    Emulator("[Sensors]\nSupply5V=4.75\nSupply3V3=3.3\nSupply24V=23.5\nLaserTemp=25\nSecondTemp=41.5\n");
    ASSERT_EQ(0, Open_Scanner(1));
    // ADC counts round the voltage; the channel gives count x volts per count in mV.
    auto mv = [](double volts, double perCount) {
        return int32_t(std::floor(volts / perCount + 0.5) * perCount * 1000);
    };
    struct Case {
        uint8_t channel;
        int32_t value;
    } cases[] = {{0, 0},  // high voltage off
                 {1, mv(4.75, 0.02929)}, {2, mv(3.3, 0.01953)}, {3, mv(23.5, 0.12793)},
                 {16, 250}, {17, 415}};
    for (const Case& c : cases) {
        Reply r = Service(0x1009, {c.channel}, 4);
        EXPECT_EQ(0, r.result) << int(c.channel);
        EXPECT_EQ(4, r.outLen);
        EXPECT_EQ(c.value, int32_t(r.U32())) << int(c.channel);
    }
    for (uint8_t bad : {4, 15, 18, 255}) {
        Reply r = Service(0x1009, {bad}, 4);
        EXPECT_EQ(-102, r.result) << int(bad);
        EXPECT_EQ(0, r.outLen);
    }
    // The high voltage actually applied: the DAC's steps, while it is switched on.
    ASSERT_EQ(0, Service(0x1008, U16Arg(650), 0).result);
    ASSERT_EQ(0, Service(0x1005, {0xF0, uint8_t(Emu().PeekRegister(0xF0) | 0x08)}, 0).result);
    EXPECT_EQ(int32_t(133 * 4.883 * 1000), int32_t(Service(0x1009, {0}, 4).U32()));
}

TEST_F(Commands, LampCommandsOfTheMainModel) {
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Service(0x1101, {1, 5}, 0).result);
    EXPECT_EQ(1, Emu().PeekRegister(0xB3));
    ASSERT_EQ(0, Service(0x1101, {1, 7}, 0).result);  // other values change nothing
    EXPECT_EQ(1, Emu().PeekRegister(0xB3));
    ASSERT_EQ(0, Service(0x1101, {9, 255}, 0).result);
    EXPECT_EQ(0, Emu().PeekRegister(0xB3));
    ASSERT_EQ(0, Service(0x1100, U16Arg(1), 0).result);
    for (uint32_t reg : {0x44u, 0x4Cu, 0x70u}) EXPECT_EQ(1, Emu().PeekRegister(reg)) << reg;
    ASSERT_EQ(0, Service(0x1100, U16Arg(0), 0).result);
    EXPECT_EQ(0, Emu().PeekRegister(0x70));
    EXPECT_EQ(0, Emu().PeekRegister(0xB3));
}

TEST_F(Commands, LampControlOfTheSecondModelNamesASlot) {
    Emulator("[Device]\nModel=second\n");
    Config({{"Scanner", "ScannerType", "Calyxa"}});
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(-102, Service(0x1101, {3, 9}, 0).result);
    EXPECT_EQ(-102, Service(0x1101, {0, 9}, 0).result);
    ASSERT_EQ(0, Service(0x1101, {2, 9}, 0).result);
    EXPECT_EQ(9, Emu().PeekRegister(0x4A));
    ASSERT_EQ(0, Service(0x1101, {1, 6}, 0).result);
    EXPECT_EQ(6, Emu().PeekRegister(0x42));
}

TEST_F(Commands, EveryServiceCommandNeedsAnOpenScanner) {
    ASSERT_GT(Get_Paramcount(), 0);
    for (unsigned code = 0x1000; code <= 0x1011; ++code)
        EXPECT_EQ(-4, Service(code, std::vector<uint8_t>(16, 0), 8).result) << std::hex << code;
    EXPECT_EQ(-4, Service(0x1100, {1, 0}, 0).result);
    EXPECT_EQ(-4, Service(0x1101, {1, 5}, 0).result);
}

TEST_F(Commands, LineTestRecordsOneLineAtTheVoltageActuallyApplied) {
    // Ambient light 48 seen by a photomultiplier whose gain follows (V / 650 V)^7.
    Emulator("[Optics]\nGainExponent=7\nGainReference=650\n");
    ASSERT_EQ(0, Open_Scanner(1));
    for (uint16_t volts : {650, 800}) {
        Reply r = Service(0x100A, U16Arg(volts), 4688);
        ASSERT_EQ(0, r.result) << volts;
        EXPECT_EQ(4688, r.outLen);
        const double applied = std::floor(volts / 4.883) * 4.883;
        const uint16_t expected = uint16_t(std::lround(48 * std::pow(applied / 650, 7)));
        for (int i = 0; i < 2344; i += 97) EXPECT_EQ(expected, r.U16(size_t(2 * i))) << volts << " " << i;
        EXPECT_EQ(expected, r.U16(2 * 2343));
    }
    EXPECT_EQ(2u, Measurements("line-test").size());
}

TEST_F(Commands, TransferTestCountsBytesAndRepairedTransfersOnBothInterfaces) {
    const std::vector<uint8_t> in{0x00, 0x10, 8, 0, 3, 0};  // 4096 bytes x 8, 3 attempts
    for (const char* type : {"EPP", "USB"}) {
        Config({{"Interface", "Type", type}});
        ASSERT_EQ(0, Open_Scanner(1)) << type;
        Reply r = Service(0x100B, in, 8);
        EXPECT_EQ(0, r.result) << type;
        EXPECT_EQ(8, r.outLen);
        EXPECT_EQ(32768u, r.U32(0)) << type;
        EXPECT_EQ(0u, r.U32(4)) << type;
        EXPECT_EQ(0, Emu().PeekRegister(0x04)) << type;
        EXPECT_EQ(0, Emu().PeekRegister(0x05)) << type;
        EXPECT_EQ(0, Close_Scanner());
    }
    // On EPP the driver repeats a transfer whose checksum disagrees, as often as asked.
    Config({{"Interface", "Type", "EPP"}});
    ASSERT_EQ(0, Open_Scanner(1));
    Emu().CorruptNextTransfers(2);
    Reply r = Service(0x100B, in, 8);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(32768u, r.U32(0));
    EXPECT_EQ(2u, r.U32(4));
    Emu().CorruptNextTransfers(3);
    r = Service(0x100B, in, 8);
    EXPECT_EQ(-200, r.result);
    EXPECT_EQ(3u, r.U32(4));
}

}  // namespace
