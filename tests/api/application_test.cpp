// The exported interface as an application sees it: gates, lazy initialisation and its
// network branch, ApiExit, and the log lines of the calls.
#include <fnmatch.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "api/library.h"

namespace {

const char* const kTwoSets =
    "[Scanner]\nScannerType=Lumora\n[Interface]\nNetwork=0\n"
    "[Param_1]\nParamName=Intra\n[Param_2]\nParamName=Panorama\n";

TEST_F(ApplicationTest, OpenGateRefusesBeforeInitialisationAndDoesNotInitialise) {
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(lib.Aktivate_Scanner(), LUMORA_E_NOT_OPEN);
        EXPECT_EQ(lib.Get_Status(), LUMORA_E_NOT_OPEN);
        EXPECT_EQ(lib.ClearScanner(0), LUMORA_E_NOT_OPEN);
        EXPECT_EQ(lib.Get_ScannerDiag(nullptr), LUMORA_E_NOT_OPEN);
        // Get_ImageValue answers -1001 while the API does not exist, without initialising.
        unsigned short pixels[4] = {1, 2, 3, 4};
        ImageValue value{};
        EXPECT_EQ(lib.Get_ImageValue(pixels, 2, 2, &value), LUMORA_E_INIT);
        // Without the API, ATRIUM_Mode only records the mode.
        EXPECT_EQ(lib.ATRIUM_Mode(1, 0), 0);
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(Count("Get_IniFileName entry"), 0) << "an open-gate call initialised";
        EXPECT_EQ(lib.ApiInit(), 0);
        EXPECT_FALSE(*lib.remote);
    });
}

TEST_F(ApplicationTest, ReadDiskImageGivesMinus1001WhateverInitialisationFailedWith) {
    // No configuration file at all: ApiInit fails, and keeps failing until one exists.
    InFreshProcess([&](Lumora& lib) {
        unsigned short pixels[4];
        EXPECT_EQ(lib.Read_DiskImage(pixels, "/nonexistent/LM000001.XYZ"), LUMORA_E_INIT);
        EXPECT_EQ(lib.ApiInit(), LUMORA_E_INIT);
        EXPECT_EQ(Count("Inifile  missing!"), 2);
        dir.write("lumora.ini", kTwoSets);
        EXPECT_EQ(lib.ApiInit(), 0);
    });
    // Invalid interface type in network mode: ApiInit fails after loading the configuration.
    dir.write("lumora.ini", "[Interface]\nNetwork=1\nServer=127.0.0.1\nType=Bogus\n");
    InFreshProcess([&](Lumora& lib) {
        unsigned short pixels[4];
        EXPECT_EQ(lib.Read_DiskImage(pixels, "/nonexistent/LM000001.XYZ"), LUMORA_E_INIT);
        EXPECT_EQ(Count("Invalid interface type: Bogus"), 1);
    });
}

TEST_F(ApplicationTest, ParamcountAnswersEvenWhenInitialisationFails) {
    dir.write("lumora.ini", std::string("[Interface]\nNetwork=1\nServer=\n") +
                                "[Param_1]\nParamName=Intra\n[Param_2]\nParamName=Ceph\n");
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(lib.Get_Paramcount(), 2);  // ApiInit failed: empty server name
        EXPECT_EQ(Count("using NET interface http://:8080/RPC2"), 0);
        EXPECT_EQ(Count("using local interface"), 0);
    });
    std::remove(Ini().c_str());
    InFreshProcess([&](Lumora& lib) { EXPECT_EQ(lib.Get_Paramcount(), 0); });
}

TEST_F(ApplicationTest, ParamnameAndSetIniFileName) {
    dir.write("lumora.ini", kTwoSets);
    dir.write("other.ini", "[Param_1]\nParamName=Other\n");
    InFreshProcess([&](Lumora& lib) {
        char name[260] = "";
        EXPECT_EQ(lib.Get_Paramname(name, 2), 0);
        EXPECT_STREQ(name, "Panorama");
        EXPECT_NE(lib.Get_Paramname(name, 3), 0);

        // The configuration file cannot be chosen by the application.
        lib.Set_IniFileName(dir.file("other.ini").c_str());
        char path[260] = "";
        EXPECT_EQ(lib.Get_IniFileName(path), 0);
        EXPECT_EQ(path, Ini());
        EXPECT_EQ(lib.Get_Paramcount(), 2);
        EXPECT_EQ(lib.Get_Paramname(name, 1), 0);
        EXPECT_STREQ(name, "Intra");
    });
}

TEST_F(ApplicationTest, DriverVersionAppendsWithinEightyBytes) {
    InFreshProcess([&](Lumora& lib) {
        char text[80] = "Driver: ";
        EXPECT_EQ(lib.Get_DriverVersion(text), 0);
        EXPECT_STREQ(text, "Driver: 6.27.0.969 from '6.27'");

        // 70 characters already there: only 9 more fit, the 80th byte ends the text, and
        // nothing behind the 80 bytes is touched.
        char big[96];
        std::memset(big, '#', sizeof big);
        std::memset(big, 'a', 70);
        big[70] = '\0';
        EXPECT_EQ(lib.Get_DriverVersion(big), 0);
        EXPECT_EQ(std::strlen(big), 79u);
        EXPECT_EQ(std::string(big + 70), std::string("6.27.0.96"));
        for (size_t i = 80; i < sizeof big; ++i) EXPECT_EQ(big[i], '#') << "byte " << i;
    });
}

const char* const kNetworkIni =
    "; clinic configuration\n"
    "[Scanner]\n"
    "ScannerType=Calyxa   ; model\n"
    "Firmware=epp.mcs\n"
    "FirmwareUSB=usb.mcs\n"
    "\n"
    "# interface\n"
    "[Interface]\n"
    "Network=1\n"
    "Server=127.0.0.1\n"
    "Type=USB\n"
    "[Param_1]\n"
    "ParamName=Intra\n";

TEST_F(ApplicationTest, NetworkInitialisationForcesModelAndInterfaceInTheFile) {
    dir.write("lumora.ini", kNetworkIni);
    dir.write("devices/usb.mcs", ":00000001FF\n");
    InFreshProcess([&](Lumora& lib) {
        EXPECT_NE(lib.ApiInit(), 0);  // the box does not answer
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(Count("using NET interface http://127.0.0.1:8080/RPC2"), 1);
        EXPECT_EQ(Count("Scannertype set to Lumora because of network interface"), 1);
        EXPECT_EQ(Count("Interface Type set to EPP because of network interface"), 1);
        // This initialisation still goes by the type it read: USB.
        EXPECT_EQ(Count("MCS firmware file used: \"" + dir.file("devices/usb.mcs") + "\""), 1);
        EXPECT_EQ(Count(" found"), 1);
    });
    std::string expected = kNetworkIni;
    expected.replace(expected.find("Calyxa"), 6, "Lumora");
    expected.replace(expected.find("Type=USB"), 8, "Type=EPP");
    EXPECT_EQ(TempDir::read(Ini()), expected);
}

TEST_F(ApplicationTest, AbsoluteFirmwareNameIsUsedUnchanged) {
    std::string firmware = dir.write("elsewhere/fw.mcs", ":00000001FF\n");
    dir.write("lumora.ini", "[Scanner]\nFirmware=" + firmware +
                                "\n[Interface]\nNetwork=1\nServer=127.0.0.1\nType=EPP\n");
    InFreshProcess([&](Lumora& lib) {
        EXPECT_NE(lib.ApiInit(), 0);
        EXPECT_EQ(Count("file not found or using absolute filepath: \"" + firmware + "\""), 1);
        EXPECT_EQ(Count("MCS firmware file used: \"" + firmware + "\""), 1);
    });
}

TEST_F(ApplicationTest, RemoteSetFalseByTheApplicationForcesLocal) {
    dir.write("lumora.ini", kNetworkIni);
    InFreshProcess([&](Lumora& lib) {
        *lib.remote = false;
        EXPECT_EQ(lib.ApiInit(), 0);
        EXPECT_FALSE(*lib.remote);
        EXPECT_EQ(Count("using local interface"), 1);
        EXPECT_EQ(Count("using NET interface http://127.0.0.1:8080/RPC2"), 0);
    });
    EXPECT_EQ(TempDir::read(Ini()), kNetworkIni);  // nothing forced in local operation
}

TEST_F(ApplicationTest, ApiExitReturnsToTheLoadedState) {
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(lib.ApiInit(), 0);
        EXPECT_FALSE(*lib.remote);
        lib.ApiExit();
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(lib.Aktivate_Scanner(), LUMORA_E_NOT_OPEN);
        char name[260];
        EXPECT_EQ(lib.Get_Paramname(name, 1), 0);  // init gate: initialises again
        EXPECT_FALSE(*lib.remote);
        EXPECT_EQ(Count("using local interface"), 2);
        EXPECT_EQ(Count("ApiExit"), 1);
    });
}

TEST_F(ApplicationTest, FailedOpenRunsApiExit) {
    // No scanner is reachable from this configuration: the open fails and ends the API.
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_NE(lib.Open_Scanner(1), 0);
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(lib.Aktivate_Scanner(), LUMORA_E_NOT_OPEN);
        EXPECT_EQ(Count("ApiExit"), 1);
    });
}

// Expected log lines in order; a message is a shell pattern ('*' where the result comes
// from the local scanner, "\\*" for an asterisk).
struct Expected {
    int level;
    std::string message;
};

TEST_F(ApplicationTest, CallsLeaveTheirLogLines) {
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        char text[80] = "";
        char name[260] = "";
        int outLen = 7;
        unsigned short pixels[4] = {0};
        const unsigned char bytes[4] = {0};
        lib.Get_Status();
        lib.Aktivate_Scanner();
        lib.SetEraseMode(3);
        lib.Set_Prescanmode(5);
        lib.Ext_ScannerCTRL(0x1234, nullptr, 0, nullptr, 0, &outLen);
        EXPECT_EQ(outLen, 0) << "the output length is cleared before the gate";
        lib.Set_IniFileName("/etc/other.ini");
        lib.Get_DriverVersion(text);
        lib.Get_Paramcount();
        lib.Get_Paramname(name, 1);
        lib.Run_Beltdrive(200);
        lib.ATRIUM_Mode(1, 0);
        lib.Convert_Image8_16(bytes, pixels, 2, 2, 255);
        lib.Set_ImageFilterMode(2);
        lib.Close_Scanner();
        lib.ApiExit();
    });
    const std::string ini = Ini();
    std::string stars;  // the 71 asterisks of the ApiInit line, escaped
    for (int i = 0; i < 71; ++i) stars += "\\*";
    const std::vector<Expected> expected = {
        {8, "Get_Status: 0xFFFFFFFC"},
        {6, "Aktivate_Scanner ret=-4"},
        {6, "SetEraseMode Mode=3 ret=-4"},
        {6, "Set_Prescanmode ret=-4 l=5"},
        {8, "Ext_ScannerCTRL(0x1234)"},
        {6, "Ext_ScannerCTRL(0x1234) ret=-4"},
        {6, "Set_IniFileName /etc/other.ini"},
        {6, "Get_DriverVersion 6.27.0.969 from '6.27'"},
        {5, "ApiInit " + stars},
        {5, "Get_IniFileName entry"},
        {5, "Get_IniFileName ret=0 " + ini},
        {5, "Inifile " + ini + " found"},
        {5, "using local interface"},
        {6, "Get_Paramcount ret=2"},
        {6, "Get_Paramname ret=0 num=1 name=Intra"},
        {6, "Run_Beltdrive"},
        {6, "Run_BeltdriveEx ret=* 200"},
        {6, "ATRIUM_Mode ret=0 Mode=1"},
        {6, "Convert_Image8_16"},
        {6, "Set_ImageFilterMode 2"},
        {7, "Close_Scanner"},
        {6, "Close_Scanner ret=*"},
        {6, "ApiExit"},
    };
    std::vector<LogLine> log = Log();
    size_t at = 0;
    for (const Expected& e : expected) {
        while (at < log.size() && !(log[at].level == e.level &&
                                    fnmatch(e.message.c_str(), log[at].message.c_str(), 0) == 0))
            ++at;
        ASSERT_LT(at, log.size()) << "missing, or out of order: level " << e.level << " \""
                                  << e.message << "\"";
        ++at;
    }
}

}  // namespace

namespace {

TEST_F(ApplicationTest, ApiExitRunsWhenTheLibraryIsUnloaded) {
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(lib.ApiInit(), 0);
        EXPECT_EQ(dlclose(lib.handle), 0);
        EXPECT_EQ(Count("ApiExit"), 1);
    });
    // Not initialised: nothing to undo at unload.
    std::remove(dir.file("log.txt").c_str());
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(dlclose(lib.handle), 0);
        EXPECT_EQ(Count("ApiExit"), 0);
    });
}

}  // namespace

namespace {

TEST_F(ApplicationTest, ReadOnlyConfigurationKeepsTheForcedValuesInMemory) {
    dir.write("lumora.ini", kNetworkIni);
    ASSERT_EQ(chmod(Ini().c_str(), 0444), 0);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_NE(lib.ApiInit(), 0);
        EXPECT_EQ(Count("Unable to write ini file " + Ini()), 2);
        // The sets are counted by the model in memory (Lumora: Param_#), not the file's Calyxa.
        EXPECT_EQ(lib.Get_Paramcount(), 1);
    });
    EXPECT_EQ(TempDir::read(Ini()), kNetworkIni);
}

}  // namespace

namespace {

TEST_F(ApplicationTest, OpenThroughTheBoxSendsTheImageFolderAndTheMode) {
    dir.write("lumora.ini", std::string(kNetworkIni) + "[Scanner]\nImagePath=/unused\n");
    dir.write("devices/usb.mcs", ":00000001FF\n");
    InFreshProcess([&](Lumora& lib) {
        EXPECT_NE(lib.ApiInit(), 0);  // no box: the network initialisation fails once
        EXPECT_NE(lib.Open_Scanner(1), 0);
        std::vector<LogLine> log = Log();
        const std::string sent = "Open_Scanner corred imagepath (" + dir.file("images") +
                                 ") in lumora.ini befor client_open_scanner() in netbox...";
        size_t at = 0;
        while (at < log.size() && !(log[at].level == 6 && log[at].message == sent)) ++at;
        ASSERT_LT(at, log.size()) << "missing: " << sent;
        const char* mode = "ATRIUM_Mode ret=* Mode=0";
        while (at < log.size() &&
               !(log[at].level == 6 && fnmatch(mode, log[at].message.c_str(), 0) == 0))
            ++at;
        EXPECT_LT(at, log.size()) << "the box was not told the mode after the open";
        // The failed open ended the API.
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(lib.Aktivate_Scanner(), LUMORA_E_NOT_OPEN);
    });
    // The configuration file itself keeps its own ImagePath.
    EXPECT_NE(TempDir::read(Ini()).find("ImagePath=/unused"), std::string::npos);
}

}  // namespace

namespace {

// The library alone in its folder, without the configuration service beside it or on the
// library path: every query of the service answers "missing", so no configuration file is
// found and the library stays uninitialised, without a crash.
TEST_F(ApplicationTest, WithoutTheConfigurationServiceNoFileIsFound) {
    dir.write("lumora.ini", kTwoSets);  // present, but nobody names it
    const char* built = std::getenv("LUMORA_LIBDIR");
    ASSERT_NE(built, nullptr);
    const std::string libdir = built;
    const std::string alone = dir.file("alone");
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(libdir + "/liblumora.so", alone + "/liblumora.so");
    setenv("LUMORA_LIBDIR", alone.c_str(), 1);
    InFreshProcess([&](Lumora& lib) {
        char path[260] = "stale";
        EXPECT_EQ(lib.Get_IniFileName(path), 1);
        EXPECT_STREQ(path, "");
        EXPECT_EQ(lib.ApiInit(), LUMORA_E_INIT);
        EXPECT_EQ(lib.Get_Paramcount(), 0);
        char name[260] = "";
        EXPECT_EQ(lib.Get_Paramname(name, 1), LUMORA_E_INIT);
        EXPECT_TRUE(*lib.remote);
        EXPECT_EQ(lib.Aktivate_Scanner(), LUMORA_E_NOT_OPEN);
    });
    setenv("LUMORA_LIBDIR", libdir.c_str(), 1);
}

}  // namespace

namespace {

// An output argument that the application left out is refused with -2 once the gate is
// passed, for the scanner (local or remote) and the old-image search alike.
TEST_F(ApplicationTest, MissingOutputArgumentsAreRefused) {
    dir.write("lumora.ini", kTwoSets);
    InFreshProcess([&](Lumora& lib) {
        EXPECT_EQ(lib.Get_Serialnumber(nullptr), LUMORA_E_NOT_OPEN);  // the gate comes first
        ASSERT_EQ(lib.ApiInit(), 0);
        const std::pair<const char*, std::function<int()>> calls[] = {
            {"Get_ImageName", [&] { return lib.Get_ImageName(nullptr); }},
            {"Get_FirstOldImageName", [&] { return lib.Get_FirstOldImageName(nullptr); }},
            {"Get_NextOldImageName", [&] { return lib.Get_NextOldImageName(nullptr); }},
            {"Get_Prescanline", [&] { return lib.Get_Prescanline(nullptr); }},
            {"Get_ScannerDiag", [&] { return lib.Get_ScannerDiag(nullptr); }},
            {"Get_ScannerFeatures", [&] { return lib.Get_ScannerFeatures(nullptr); }},
            {"Get_Serialnumber", [&] { return lib.Get_Serialnumber(nullptr); }},
            {"Get_DriverVersion", [&] { return lib.Get_DriverVersion(nullptr); }},
        };
        for (const auto& [name, call] : calls) EXPECT_EQ(call(), LUMORA_E_NOT_FOUND) << name;
        EXPECT_EQ(Count("Get_Serialnumber ret=-2 (null)"), 1);
        EXPECT_EQ(Count("Get_DriverVersion (null)"), 1);
    });
}

}  // namespace
