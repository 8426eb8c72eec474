// The device report of both scanner models, compared line by line with the expected text
// (the first line carries the date and time of writing).
#include "diagnostics/service_fixture.h"

namespace {

class Report : public ServiceTest {
public:
    // Writes the report through the service command; the text, or "" on failure.
    std::string Write(const std::string& name = "report/device.txt") {
        const std::string path = dir.file(name);
        Reply r = Service(0x100F, TextArg(path), 0);
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(0, r.outLen);
        return TempDir::read(path);
    }
    // The text without its first line, which must name the file and a date.
    std::string Body(const std::string& text, const std::string& name = "report/device.txt") {
        const std::string first = "Scanner Reportfile " + dir.file(name) + " generated: ";
        EXPECT_EQ(0u, text.find(first)) << text.substr(0, 200);
        size_t end = text.find('\n');
        EXPECT_GT(end, first.size());  // a date follows
        return end == std::string::npos ? text : text.substr(end + 1);
    }
    std::string Head(const std::string& port) const {
        return "current DLL Version : 6.27.0.969 from '6.27'\n"
               "device serial ID    : LS2026-000117\n"
               "connected to " + port + " port\n"
               "\n"
               "checking power supply and laser temperature\n"
               "   HV output voltage    =   0.00V\n"
               "   +5V supply voltage   =   5.01V\n"
               "   +3.3V supply voltage =   3.30V\n"
               "   +24V supply voltage  =  24.05V\n"
               "   Laser Temperature    =  25.0C\n";
    }
    static std::string SerialIds(const char* type) {
        return std::string(
                   "\nDevice serial ids\n"
                   "\tDevice          : LS2026-000117\n"
                   "\tMain PCB        : MB-4411\n"
                   "\tLaser module    : LM-2207\n"
                   "\tPMT             : PM-0931\n"
                   "\tDeflection unit : DU-1180\n"
                   "\tCover arch      : CA-0077\n"
                   "\t1st belt drive  : BD-3101\n"
                   "\t2nd belt drive  : BD-3102\n"
                   "\t3rd belt drive  : BD-3103\n"
                   "\t4th belt drive  : BD-3104\n"
                   "\tDevice type     : ") + type + "\n"
               "\tFeatures        : 0X0003\n"
               "\tPMT correction A:    1.25\n"
               "\tPMT correction B:  -0.125\n"
               "\tSOL sensor pos. : 10\n"
               "\tScanning range  : 180\n"
               "\tReflector Dia.  :  100.0:mm\n"
               "\tDistance A      : 10 mm\n"
               "\tDistance B      : 70 mm\n"
               "\tLaser em. power : 20 mW\n"
               "\tLaser warn temp.: 45 C\n"
               "\tLaser err. temp.: 50 C\n"
               "\tSlotmask        : 15\n"
               "\tSMOT stepsize   : 1000 e-9m\n"
               "\tMfg DD/MM/JJ    : 14/03/2025\n"
               "\tFinal check     : 1\n";
    }
    static constexpr const char* kDevice =
        "[Device]\nPmtCorrectionA=1.25\nPmtCorrectionB=-0.125\n"
        "[DataProm]\nIntra=5\nExtra=3\nCeph=2\nPano=1\nSaveMinute=7\nSaveHour=9\nSaveDay=3\n"
        "SaveMonth=11\nSaveYear=2025\n";
};

TEST_F(Report, MainModelWithEraseUnit) {
    Emulator(kDevice);
    ASSERT_EQ(0, Open_Scanner(1));
    const uint64_t before = Emu().NowMs();
    const std::string text = Write();
    EXPECT_GE(Emu().NowMs() - before, 5000u);  // the erase unit's wait, on the library clock
    const std::string expected =
        Head("EPP") +
        "\n"
        "internal buffer RAM reported as\n"
        "   type   : 6\n"
        "   wide   : 64bit\n"
        "   rows   : 12\n"
        "   colums : 9\n"
        "   banks  : 4\n"
        "   sides  : 1\n"
        "   size   : 67108864byte\n"
        "\n"
        "using " + dir.file("lumora.ini") + " for settings\n"
        "there are 5 parameter sets:\n"
        "   1. set name: Intra-oral high resolution 25um\n"
        "   2. set name: Intra-oral standard 40um\n"
        "   3. set name: Extra-oral 50um\n"
        "   4. set name: Panoramic 50um\n"
        "   5. set name: Cephalometric 50um\n"
        "\n"
        "no calibration file specified\n" +
        SerialIds("0X0001") +
        "EEPROM checksum OK\n"
        "\n"
        "Number of image plates scanned\n"
        "\tTotal           : 11\n"
        "\tIntra-Mode      : 5\n"
        "\tExtra-Mode      : 3\n"
        "\tPano-Mode       : 1\n"
        "\tCeph-Mode       : 2\n"
        "\tsaved HH:MM     : 09:07\n"
        "\tsaved DD/MM/JJ  : 03/11/2025\n"
        "\n"
        "Bleaching Feature detected\n"
        "\tSensor # 0 = 12\n"
        "\tSensor # 1 = 14\n"
        "\tSensor # 2 = 13\n"
        "\tSensor # 3 = 15\n"
        "\tSensor # 4 = 120\n"
        "\tSensor # 5 = 118\n"
        "\tSensor # 6 = 121\n"
        "\tSensor # 7 = 119\n"
        "\tSensor # 8 = 0\n"
        "\tSensor # 9 = 0\n"
        "\tSensor #10 = 1\n"
        "\tLamp Temperature =  35.0 C\n"
        "\tLamp Status = 0x01\n"
        "\tFW-Version = 0x21\n"
        "\n"
        "end of report\n";
    EXPECT_EQ(expected, Body(text));
    EXPECT_EQ(0, Emu().PeekRegister(0xB3));  // the erase unit's readout mode is left again
}

TEST_F(Report, SecondModelWithEventCounters) {
    Emulator(std::string(kDevice) + "[Device]\nModel=second\n" +
             "[DataProm]\nSlot1Events=1,2,3,4,5,6\nSlot2Events=10 20 30 40 50 4000000000\n");
    Config({{"Scanner", "ScannerType", "Calyxa"}});
    ASSERT_EQ(0, Open_Scanner(1));
    const std::string expected =
        Head("USB") +
        "\n"
        "internal buffer RAM reported as\n"
        "   type   : 0\n"
        "   wide   : 32bit\n"
        "   rows   : 13\n"
        "   colums : 9\n"
        "   banks  : 4\n"
        "   sides  : 1\n"
        "   size   : 67108864byte\n"
        "\n"
        "using " + dir.file("lumora.ini") + " for settings\n"
        "there are 3 parameter sets:\n"
        "   1. set name: Calyxa intra-oral high resolution 25um\n"
        "   2. set name: Calyxa intra-oral standard 40um\n"
        "   3. set name: Calyxa extra-oral 50um\n"
        "\n"
        "no calibration file specified\n" +
        SerialIds("0X000C") +
        "EEPROM checksum OK\n"
        "\n"
        "Number of image plates scanned\n"
        "\tTotal           : 11\n"
        "\tsaved HH:MM     : 09:07\n"
        "\tsaved DD/MM/JJ  : 03/11/2025\n"
        "\n"
        "Device identified as Calyxa\n"
        "\n"
        "Event counter Slot 1\n"
        "scanstarts              : 1\n"
        "lamp cycles             : 2\n"
        "lamp errors             : 4\n"
        "shuttle motor blocked   : 3\n"
        "scan timeouts           : 5\n"
        "sensor blocked          : 6\n"
        "\n"
        "Event counter Slot 2\n"
        "scanstarts              : 10\n"
        "lamp cycles             : 20\n"
        "lamp errors             : 40\n"
        "shuttle motor blocked   : 30\n"
        "scan timeouts           : 50\n"
        "sensor blocked          : 4000000000\n"
        "\n"
        "end of report\n";
    EXPECT_EQ(expected, Body(Write()));
}

TEST_F(Report, CalibrationFileAndChecksumLines) {
    Emulator(std::string(kDevice) + "[Device]\nFixChecksum=0\n");
    const std::string kor = dir.write("cal/LS.kor",
                                      "LS2026-000117\n100\n2\n100000\n9:12:2026\n10:11:12\n"
                                      "30000\n****************\n1.0\n1.0\n");
    Config({{"Scanner", "Kalibrierdaten", kor}});
    ASSERT_EQ(0, Open_Scanner(1));
    std::string text = Write();
    EXPECT_NE(std::string::npos, text.find("\nusing  " + kor + "  as the calibration file\n"
                                           "\tSerial id: LS2026-000117\n"
                                           "\tDate:      9:12:2026\n\nDevice serial ids\n"));
    EXPECT_NE(std::string::npos, text.find("\tFinal check     : 1\nEEPROM checksum FAIL\n"));
    EXPECT_EQ(0, Close_Scanner());

    Config({{"Scanner", "Kalibrierdaten", dir.file("cal/missing.kor")}});
    ASSERT_EQ(0, Open_Scanner(1));
    text = Write("second.txt");
    EXPECT_NE(std::string::npos,
              text.find("\nusing  " + dir.file("cal/missing.kor") +
                        "  as the calibration file\n\tcalibration file not found!\n"));
}

TEST_F(Report, AFileThatCannotBeCreatedGivesMinusOne) {
    ASSERT_EQ(0, Open_Scanner(1));
    dir.write("blocker", "a file where a folder should be");
    EXPECT_EQ(-1, Service(0x100F, TextArg(dir.file("blocker/report.txt")), 0).result);
    EXPECT_EQ(-1, Service(0x100F, TextArg(""), 0).result);
}

}  // namespace
