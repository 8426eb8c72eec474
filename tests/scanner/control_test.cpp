// Control and query functions of the open scanner, and the image hand-over utilities.
#include <filesystem>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class Control : public ScannerTest {
public:
    uint32_t ShuttleDivider() { return (Emu().PeekRegister(0xA0) | Emu().PeekRegister(0xA1) << 8) + 1u; }
};

TEST_F(Control, BeltDriveSpeedDirectionAndRefusalWhileArmed) {
    ASSERT_EQ(0, Open_Scanner(1));
    // The shuttle command register: forward and backward differ in bit 2 (which one is set
    // depends on the device's motor direction), bit 3 marks a slow divider.
    ASSERT_EQ(0, Run_BeltdriveEx(255));
    EXPECT_EQ(132u, ShuttleDivider());
    uint8_t forward = Emu().PeekRegister(0xA3);
    EXPECT_EQ(0x71, forward & ~0x04);
    struct Case {
        int speed;
        uint32_t divider;
        uint8_t command;
    } cases[] = {{-300, 132, uint8_t(forward ^ 0x04)}, {1, 1148, uint8_t(forward ^ 0x08)},
                 {-40, 992, uint8_t(forward ^ 0x0C)}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, Run_BeltdriveEx(c.speed)) << c.speed;
        EXPECT_EQ(c.divider, ShuttleDivider()) << c.speed;
        EXPECT_EQ(c.command, Emu().PeekRegister(0xA3)) << c.speed;
    }
    EXPECT_EQ(0, Run_BeltdriveEx(0));  // back to the scan settings, motor stopped
    uint32_t scanDivider = ShuttleDivider();
    EXPECT_NE(132u, scanDivider);
    ASSERT_EQ(0, Aktivate_Scanner());
    EXPECT_EQ(-6, Run_BeltdriveEx(100));
    EXPECT_EQ(scanDivider, ShuttleDivider());
}

TEST_F(Control, PrescanLengthAboveTheLimitSwitchesItOff) {
    Config({{"Scanner", "MinBild", "1"}});
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Set_Prescanmode(100));
    EXPECT_EQ(-102, Set_Prescanmode(1024));
    ASSERT_EQ(0, Aktivate_Scanner());
    int st = 0;
    uint32_t seen = 0;
    for (int i = 0; i < 200000 && !(st & 0xFF); i++) seen |= uint32_t(st = Get_Status());
    EXPECT_EQ(1, st & 0xFF);
    EXPECT_FALSE(seen & LUMORA_STATUS_PRESCAN);
    uint8_t line[1024];
    memset(line, 0xEE, sizeof line);
    EXPECT_EQ(0, Get_Prescanline(line));
    EXPECT_EQ(0xEE, line[0]);  // length 0: nothing written
}

TEST_F(Control, ExtendedControlClearsTheOutputLengthFirst) {
    ASSERT_GT(Get_Paramcount(), 0);  // the library is initialised, the scanner closed
    int outLen = 77;
    uint8_t out[16];
    EXPECT_EQ(-4, Ext_ScannerCTRL(0x1234, nullptr, 0, out, sizeof out, &outLen));
    EXPECT_EQ(0, outLen);
    ASSERT_EQ(0, Open_Scanner(1));
    outLen = 77;
    EXPECT_EQ(-5, Ext_ScannerCTRL(0x0FFF, nullptr, 0, out, sizeof out, &outLen));
    EXPECT_EQ(0, outLen);
    outLen = 77;
    EXPECT_EQ(-5, Ext_ScannerCTRL(0x1012, nullptr, 0, out, sizeof out, &outLen));
    EXPECT_EQ(0, outLen);
    // A service command that fails leaves the output length at 0 as well.
    outLen = 77;
    EXPECT_EQ(-102, Ext_ScannerCTRL(0x100E, nullptr, 0, out, 1, &outLen));
    EXPECT_EQ(0, outLen);
}

TEST_F(Control, FeaturesEraseModeFilterSwitchAndClearScanner) {
    ASSERT_EQ(0, Open_Scanner(1));
    ScannerFeatures f;
    memset(&f, 0xAB, sizeof f);
    ASSERT_EQ(0, Get_ScannerFeatures(&f));
    EXPECT_EQ(1u, f.deviceTypeId);
    EXPECT_EQ(4, f.slotCount);
    EXPECT_EQ(4000, f.polygonSpeed);
    EXPECT_EQ(20, f.laserEmissionPower);
    EXPECT_EQ(1, f.intraFeature);
    EXPECT_EQ(0xAB, f.reserved1[0]);  // bytes not listed stay as they were

    EXPECT_EQ(0, SetEraseMode(1));
    EXPECT_EQ(2, Emu().PeekRegister(0xB3));
    EXPECT_EQ(0, SetEraseMode(0));
    EXPECT_EQ(0, Emu().PeekRegister(0xB3));

    uint64_t requests = Emu().RequestCount();
    EXPECT_EQ(0, ClearScanner(1));  // main model: nothing to do
    EXPECT_EQ(requests, Emu().RequestCount());

    EXPECT_EQ(0, Set_ImageFilterMode(0));
    EXPECT_TRUE(Logged(5, "Imagefilter disabled by application"));
    EXPECT_EQ(0, Set_ImageFilterMode(7));

    ScannerDiag d{};
    EXPECT_EQ(0, Get_ScannerDiag(&d));
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(-4, Get_ScannerFeatures(&f));
    EXPECT_EQ(-4, SetEraseMode(1));
    EXPECT_EQ(-4, Run_BeltdriveEx(10));
}

TEST_F(Control, SecondModelDiagnosisAndPlateClearing) {
    Config({{"Scanner", "ScannerType", "Calyxa"}});
    Emulator("[Device]\nModel=second\nTypeID=12\n");
    int r = Open_Scanner(1);
    ASSERT_TRUE(r == 0 || r == -10003) << r;
    if (r) {
        ASSERT_EQ(0, ApiInit());
    }
    Emu().SetLampStatus(2, 0x01);
    ScannerDiag d{};
    EXPECT_EQ(-1109, Get_ScannerDiag(&d));
    EXPECT_EQ(0x01, d.slot[1]);
    EXPECT_TRUE(Get_Status() & LUMORA_STATUS_ERASE_REPORT);
    Emu().SetLampStatus(2, 0x00);
    EXPECT_FALSE(Get_Status() & LUMORA_STATUS_ERASE_REPORT);

    EXPECT_EQ(0, ClearScanner(1));
    EXPECT_EQ(2, Emu().PeekRegister(0x44));
    EXPECT_EQ(10, Emu().PeekRegister(0x72));
    EXPECT_EQ(0, ClearScanner(0));
    EXPECT_EQ(0, Emu().PeekRegister(0x44));
    EXPECT_EQ(90, Emu().PeekRegister(0x72));
    EXPECT_EQ(0, SetEraseMode(1));
    EXPECT_EQ(0, Emu().PeekRegister(0x70));
    ScannerFeatures f{};
    EXPECT_EQ(0, Get_ScannerFeatures(&f));
    EXPECT_EQ(2, f.slotCount);
    EXPECT_EQ(6300, f.polygonSpeed);
}

TEST_F(Control, DeleteImageAndTheOldImageSearch) {
    dir.write("images/LM000007.XYZ", "image");
    dir.write("images/LM000007.txt", "info");
    dir.write("images/LM000009.XYZ", "image");
    dir.write("images/notes.txt", "other");
    char name[1024];
    EXPECT_EQ(-1, Get_NextOldImageName(name));  // no search started
    EXPECT_STREQ("", name);
    std::vector<std::string> found;
    for (int r = Get_FirstOldImageName(name); r == 0; r = Get_NextOldImageName(name)) found.push_back(name);
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{ImageDir() + "/LM000007.XYZ", ImageDir() + "/LM000009.XYZ"}), found);
    EXPECT_STREQ("", name);

    EXPECT_EQ(0, Delete_Image(found[0].c_str()));
    EXPECT_FALSE(fs::exists(ImageDir() + "/LM000007.txt"));
    EXPECT_EQ(0, Delete_Image(found[1].c_str()));  // without an info file
    EXPECT_EQ(-2, Delete_Image(found[1].c_str()));
    EXPECT_TRUE(LoggedContaining(3, "can't delete: " + found[1]));
    std::string overlong = ImageDir() + "/" + std::string(5000, 'L') + ".XYZ";
    EXPECT_EQ(-2, Delete_Image(overlong.c_str()));
    EXPECT_TRUE(fs::exists(ImageDir() + "/../images"));

    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(-7, Get_FirstOldImageName(name));
    EXPECT_EQ(-7, Get_NextOldImageName(name));
}

}  // namespace
