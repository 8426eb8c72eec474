// The scanner through lumora-emud, by the exported functions as an application uses them:
// the EPP path (LUMORA_EPP_DEVICE=unix:PATH) and the USB library (LUMORA_USB_DEVICE=unix:PATH)
// scan plates fed over the control socket into images equal to the plates.
#include <memory>

#include "emud/daemon.h"
#include "emud/plate_check.h"
#include "scanner/scanner_fixture.h"

namespace {

class DaemonScan : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}, {"Scanner", "Kalibrierdaten", ""}, {"Param_1", "Binning", "0"},
                {"Param_1", "Interpolate_Y", "1"}, {"Param_1", "Script", ""}, {"Param_1", "DeFlash", "0"}});
        daemon = std::make_unique<EmudProcess>(dir.path(), dir.file("emulator.ini"));
        ASSERT_GT(daemon->pid(), 0) << daemon->output();
        setenv("LUMORA_EPP_DEVICE", daemon->address().c_str(), 1);
        setenv("LUMORA_USB_DEVICE", daemon->address().c_str(), 1);
    }
    void TearDown() override {
        ScannerTest::TearDown();
        unsetenv("LUMORA_USB_DEVICE");
    }

    // Arms, has the daemon feed the plate, and fetches its image.
    void ScanOne(const lumora_emu::PlateEntry& plate) {
        ASSERT_EQ(0, Aktivate_Scanner());
        ASSERT_EQ("ok plate 1", daemon->Command("feed " + plate.image + " slot=" + std::to_string(plate.slot) +
                                                " at=0.5 width=" + std::to_string(plate.width) +
                                                " height=" + std::to_string(plate.height)));
        std::vector<std::string> names;
        ASSERT_GE(ScanImages(1, &names, 400000), 0);
        ASSERT_EQ(1u, names.size()) << daemon->Command("state");
        EXPECT_EQ(ImageDir() + "/LM000001.XYZ", names[0]);
        AdcSettings adc;
        adc.oversampling = uint8_t(std::stoi(daemon->Command("peek 208").substr(3)));
        adc.offset = uint16_t(std::stoi(daemon->Command("peek 210").substr(3)) |
                              std::stoi(daemon->Command("peek 211").substr(3)) << 8);
        EXPECT_EQ("", CompareWithPlate(names[0], plate, adc));
        EXPECT_EQ(0, Deaktivate_Scanner());
        EXPECT_EQ(0, Close_Scanner());
    }

    std::unique_ptr<EmudProcess> daemon;
};

TEST_F(DaemonScan, EppPath) {
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(Logged(5, "using EPP interface"));
    EXPECT_EQ("1", daemon->State("firmware"));
    ScanOne({"phantom:shapes", 2, 0.5, 120, 90});
}

TEST_F(DaemonScan, UsbLibrary) {
    Config({{"Interface", "Type", "USB"}, {"Scanner", "MinBild", "1"}, {"Scanner", "Kalibrierdaten", ""},
            {"Param_1", "Binning", "0"}, {"Param_1", "Interpolate_Y", "1"}, {"Param_1", "Script", ""},
            {"Param_1", "DeFlash", "0"}});
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(Logged(5, "using USB interface"));
    ScanOne({"phantom:bars", 3, 0.5, 100, 80});
}

}  // namespace
