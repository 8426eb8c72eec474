// Opening and closing the scanner: every way the open can fail, with its code and message,
// and what an open leaves behind.
#include <filesystem>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

struct FailureRow {
    const char* what;
    std::function<void(ScannerTest&)> prepare;
    int set;
    int code;
    const char* message;  // logged at level 3
};

class Open : public ScannerTest {};

bool TempFileLeft(const std::string& dir) {
    std::error_code ec;
    for (auto& e : fs::directory_iterator(dir, ec))
        if (e.path().extension() == ".tmp") return true;
    return false;
}

TEST_F(Open, EachFailureGivesItsCodeAndMessageAndLeavesTheScannerClosed) {
    const FailureRow rows[] = {
        {"no configuration",
         [](ScannerTest& t) {
             // The library initialises with a configuration that is gone before the open.
             ASSERT_GT(Get_Paramcount(), 0);
             fs::remove(t.dir.file("lumora.ini"));
         },
         1, -1008, "inifile not found or empty"},
        {"unknown parameter set", [](ScannerTest&) {}, 99, -2, "param or Inifile not found"},
        {"unsupported interface", [](ScannerTest& t) { t.Config({{"Interface", "Type", "Parallel"}}); },
         1, -1001, "type of interface not supported"},
        {"interface refused twice", [](ScannerTest&) { setenv("LUMORA_EPP_DEVICE", "/dev/null", 1); },
         1, -1001, "can not open interface: 25"},
        {"too little disk space", [](ScannerTest&) { setenv("LUMORA_FAKE_DISKFREE", "199999999", 1); },
         1, -8, "not enough free Disk Space"},
        {"no image folder",
         [](ScannerTest& t) {
             t.dir.write("zrconfig.ini", "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\n[Log]\nTarget=file:log.txt\nLevel=8\n");
             t.Config({{"Scanner", "ImagePath", ""}});
             setenv("LUMORA_FAKE_DISKFREE", "1000000000000", 1);
         },
         1, -8, "no image path configured"},
        {"image numbers used up", [](ScannerTest& t) { t.dir.write("images/LM999001.XYZ", "x"); }, 1, -1,
         "no available Filename for Image file"},
        {"firmware refused three times", [](ScannerTest& t) { t.Emulator("[Firmware]\nDownloadFails=1\n"); },
         1, -3, "can not init firmware "},
        {"identification memory silent", [](ScannerTest& t) { t.Emu().SetI2cSilent(0xA8, true); }, 1,
         -1007, "can't read IDPROM "},
        {"buffer RAM not supported", [](ScannerTest& t) { t.Emulator("[Memory]\nType=99\n"); }, 1, -101,
         "can not find buffer RAM - error code: -101"},
        {"serial number differs", [](ScannerTest& t) { t.Config({{"Scanner", "SerialNumber", "LS0000"}}); },
         1, -1013, "wrong serial id, expected: LS0000"},
        {"temporary file not creatable",
         [](ScannerTest& t) { t.Config({{"Scanner", "TempFile", "/proc/lumora-none/Lumora.tmp"}}); }, 1, -1,
         "can't open temporary file: /proc/lumora-none/Lumora-"},
        {"laser too hot", [](ScannerTest& t) { t.Emulator("[Sensors]\nLaserTemp=60\n"); }, 1, -1010,
         "Laser Overtemperature"},
        {"erase unit silent", [](ScannerTest& t) { t.Emulator("[EraseUnit]\nAnswering=0\n"); }, 1, -1151,
         "wrong power supply or bleaching unir error"},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        row.prepare(*this);
        EXPECT_EQ(row.code, Open_Scanner(row.set));
        std::string log = Log();
        EXPECT_TRUE(LoggedContaining(3, row.message)) << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
        // Closed: open-gate calls answer -4, and no temporary file is left behind.
        EXPECT_EQ(-4, Aktivate_Scanner());
        EXPECT_FALSE(TempFileLeft(ImageDir()));
        TearDown();
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        unsetenv("LUMORA_FAKE_DISKFREE");
    }
}

TEST_F(Open, OpensWithExistingImagesUpToTheLastNumberAndWarns) {
    dir.write("images/LM999000.XYZ", "x");
    EXPECT_EQ(-10001, Open_Scanner(1));
    EXPECT_TRUE(Logged(4, "found 999000 existing Imagefiles in " + ImageDir() + " "));
    // The warning ran ApiExit: an init-gate call closes the scanner that stayed open.
    EXPECT_EQ(0, Close_Scanner());

    Config({{"Scanner", "CheckTempImage", "0"}});
    EXPECT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(TempFileLeft(ImageDir()));
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_FALSE(TempFileLeft(ImageDir()));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Open, SuccessfulOpenLogsTheSequenceAndSavesTheIdentificationMemory) {
    ASSERT_EQ(0, Open_Scanner(0));
    EXPECT_TRUE(Logged(5, "Lumora driver version: 6.27.0.969 from '6.27' Oct  9 2019 09:09:34"));
    EXPECT_TRUE(Logged(5, "selected paramname : default parameter"));
    EXPECT_TRUE(Logged(5, "firmware successfully loaded: " + dir.file("devices/Lumora.mcs")));
    EXPECT_TRUE(Logged(5, "using EPP interface"));
    EXPECT_TRUE(Logged(5, "using no Calibration File"));
    std::string serial = "LS2026-000117";
    EXPECT_TRUE(Logged(5, "SN: " + serial));
    char text[64];
    EXPECT_EQ(0, Get_Serialnumber(text));
    EXPECT_EQ(serial, text);
    std::string copy = TempDir::read(dir.file("Save_" + serial + ".bin"));
    ASSERT_EQ(256u, copy.size());
    EXPECT_EQ(serial, copy.substr(0, serial.size()));
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(-4, Get_Serialnumber(text));
    EXPECT_STREQ("Scanner not open", text);
}

TEST_F(Open, ModelChangeRewritesTheConfigurationAndTheNextOpenLoadsTheOtherFirmware) {
    Emulator("[Device]\nModel=second\nTypeID=12\n");
    EXPECT_EQ(-10, Open_Scanner(1));
    EXPECT_TRUE(Logged(3, "Scannertype changed : switch to Calyxa -> call OpenScanner again "));
    EXPECT_EQ("Calyxa", ConfigValue("Scanner", "ScannerType"));
    EXPECT_EQ("1", ConfigValue("Scanner", "FPGABootOnce"));

    int r = Open_Scanner(1);
    EXPECT_EQ(0, r);  // the emulated lamps are far from their lifetime
    EXPECT_TRUE(Logged(5, "using USB interface"));
    EXPECT_TRUE(Logged(5, "firmware successfully loaded: " + dir.file("devices/Calyxa.mcs")));
    std::vector<uint8_t> firmware = Emu().LastFirmwareImage();
    firmware.resize(4);
    EXPECT_EQ((std::vector<uint8_t>{0x21, 0x22, 0x23, 0x24}), firmware);
    EXPECT_EQ("0", ConfigValue("Scanner", "FPGABootOnce"));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Open, LampLifetimeIsCheckedOnceADay) {
    Config({{"Scanner", "ScannerType", "Calyxa"}, {"Scanner", "LampMaxCycle", "40000"}});
    // A scanner switched on earlier: the firmware runs, the memory is empty.
    Emulator("[Device]\nModel=second\nTypeID=12\n[DataProm]\nSlot1Events=0,40001,0,0,0,0\n"
             "[Firmware]\nRunning=1\n");
    EXPECT_EQ(-10003, Open_Scanner(1));
    EXPECT_TRUE(Logged(4, "Lifetime Lamp Slot 1 exceeded"));
    EXPECT_FALSE(Logged(4, "Lifetime Lamp Slot 2 exceeded"));
    EXPECT_NE("0", ConfigValue("Scanner", "LampCheckDate"));
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(1, CountLogged("performing Lamp Lifetimecheck"));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Open, OldDataInTheScannerMemoryIsRebuiltAndTheNextOpenWarns) {
    // An interrupted scan: one plate and the start of a second one still in the memory.
    Config({{"Scanner", "MinBild", "1"}});
    Emulator("[Firmware]\nRunning=1\nOldDataWords=50000\n");
    EXPECT_EQ(-1012, Open_Scanner(1));
    EXPECT_TRUE(Logged(4, "200000 Bytes of old data found in scanner memory"));
    EXPECT_TRUE(Logged(5, "1 images succesfull recovered from scanner memory"));
    EXPECT_TRUE(Logged(3, "open terminated because scanner memory was not empty"));
    EXPECT_EQ(0u, Emu().FifoWords());
    EXPECT_EQ(-10001, Open_Scanner(1));
    EXPECT_EQ(0, Close_Scanner());
    char name[1024];
    ASSERT_EQ(0, Get_FirstOldImageName(name));
    EXPECT_EQ(ImageDir() + "/LM000001.XYZ", name);
    EXPECT_EQ(-1, Get_NextOldImageName(name));
    EXPECT_STREQ("", name);
}

struct VariantRow {
    const char* what;
    std::function<void(ScannerTest&)> prepare;
    std::vector<std::pair<int, std::string>> logged;  // level, end of the line
    const char* idpromCopy;                           // file expected beside the configuration
};

TEST_F(Open, VariantsThatStillOpen) {
    const std::string calibration = "%s\n100\n3\n100000\n9:12:2026\n10:11:12\n30000\n****************\n1.1\n1.2\n1.3\n";
    auto calib = [calibration](ScannerTest& t, const char* serial) {
        char text[512];
        snprintf(text, sizeof text, calibration.c_str(), serial);
        std::string path = t.dir.write("devices/scanner.kor", text);
        t.Config({{"Scanner", "Kalibrierdaten", path}});
    };
    const VariantRow rows[] = {
        {"interface type in lower case",
         [](ScannerTest& t) {
             t.Config({{"Interface", "Type", "usb"}});
             t.Emulator("");
         },
         {{5, "using USB interface"}}, "Save_LS2026-000117.bin"},
        {"no serial number in the identification memory",
         [](ScannerTest& t) {
             std::vector<uint8_t> prom = t.Emu().Idprom();
             prom[0] = 0xFF;
             t.Emu().SetIdprom(prom);
         },
         {{4, "can't read serial ID "}}, "Save_no serial ID.bin"},
        {"serial number with path characters",
         [](ScannerTest& t) { t.Emulator("[Device]\nSerial=../../x/y\n"); },
         {{5, "SN: ../../x/y"}}, "Save_.._.._x_y.bin"},
        {"calibration file of this scanner", [calib](ScannerTest& t) { calib(t, "LS2026-000117"); },
         {{5, "succesfully loaded"}}, "Save_LS2026-000117.bin"},
        {"calibration file of another scanner", [calib](ScannerTest& t) { calib(t, "LS2026-999999"); },
         {{4, "does not match the device"}, {5, "using no Calibration File"}}, "Save_LS2026-000117.bin"},
        {"laser sensor missing", [](ScannerTest& t) { t.Emulator("[Sensors]\nLaserSensor=0\n"); },
         {{3, "Laser Temperature = no ADC found"}}, "Save_LS2026-000117.bin"},
    };
    for (const VariantRow& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        row.prepare(*this);
        EXPECT_EQ(0, Open_Scanner(1));
        for (const auto& [level, text] : row.logged) EXPECT_TRUE(Logged(level, text) || LoggedContaining(level, text)) << text;
        EXPECT_TRUE(fs::exists(dir.file(row.idpromCopy))) << row.idpromCopy;
        EXPECT_EQ(0, Close_Scanner());
        TearDown();
    }
}

}  // namespace
