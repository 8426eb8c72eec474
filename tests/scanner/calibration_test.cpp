// Calibration file reading and the IDPROM copy's file name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/scanner_settings.h"
#include "common/temp_dir.h"
#include "diagnostics/calibration.h"
#include "scanner/open_steps.h"

namespace {

std::string CalibText(const std::string& serial, int n, int spacing, const std::vector<double>& f) {
    std::string t = serial + "\n100\n" + std::to_string(n) + "\n" + std::to_string(spacing) +
                    "\n9:12:2026\n10:11:12\n30000\n****************\n";
    for (double v : f) t += std::to_string(v) + "\n";
    return t;
}

class Calibration : public ::testing::Test {
protected:
    void SetUp() override {
        strcpy(Device.SerialId, "SN123");
        Device.PixelSizeX = 50e-6;  // two pixels per 100 um factor
    }
    TempDir dir;
};

TEST_F(Calibration, FactorsFollowThePixelPositionAndTheLastOneCoversTheRest) {
    std::string p = dir.write("a.kor", CalibText("SN123", 3, 100000, {1.5, 2.0, 4.0}));
    std::vector<double> g(8, 2.0);
    ASSERT_EQ(0, LoadCalibrationFile(g.data(), int(g.size()), p.c_str()));
    // pixel i sits at i * 50 um: factor index i / 2, limited to the last one.
    std::vector<double> want{3.0, 3.0, 4.0, 4.0, 8.0, 8.0, 8.0, 8.0};
    EXPECT_EQ(want, g);
}

TEST_F(Calibration, RejectedFilesChangeNoGain) {
    struct Case {
        const char* what;
        std::string text;
        int result;
    } cases[] = {
        {"other device", CalibText("SN999", 2, 100000, {2, 2}), -1013},
        {"zero spacing", CalibText("SN123", 2, 0, {2, 2}), -1},
        {"negative count", CalibText("SN123", -5, 100000, {2, 2}), -1},
        {"huge count", CalibText("SN123", 2000000000, 100000, {2, 2}), -1},
        {"fewer factors than declared", CalibText("SN123", 4, 100000, {2, 2}), -1},
        {"header cut short", "SN123\n100\n", -1},
        {"empty file", "", -1},
    };
    for (const Case& c : cases) {
        std::string p = dir.write("bad.kor", c.text);
        std::vector<double> g(4, 1.0);
        EXPECT_EQ(c.result, LoadCalibrationFile(g.data(), 4, p.c_str())) << c.what;
        EXPECT_EQ(std::vector<double>(4, 1.0), g) << c.what;
    }
    std::vector<double> g(4, 1.0);
    EXPECT_EQ(-1, LoadCalibrationFile(g.data(), 4, ""));
    EXPECT_EQ(-1, LoadCalibrationFile(g.data(), 4, dir.file("missing.kor").c_str()));
}

TEST_F(Calibration, HeaderGivesSerialAndDateAndPresetsOnFailure) {
    char serial[CALIB_SERIAL_SIZE], date[CALIB_TOKEN_SIZE];
    EXPECT_EQ(-1, ReadCalibrationHeader(dir.file("none.kor").c_str(), serial, date));
    EXPECT_STREQ("????????", serial);
    EXPECT_STREQ("??:??:????", date);

    std::string p = dir.write("a.kor", CalibText("SN123 with blanks", 1, 100000, {1}));
    EXPECT_EQ(0, ReadCalibrationHeader(p.c_str(), serial, date));
    EXPECT_STREQ("SN123 with blanks", serial);
    EXPECT_STREQ("9:12:2026", date);

    // An overlong first line and date are cut at their field widths.
    std::string longSerial(200, 'S'), longDate(40, '1');
    p = dir.write("long.kor", longSerial + "\n1\n2\n3\n" + longDate + "\n");
    EXPECT_EQ(0, ReadCalibrationHeader(p.c_str(), serial, date));
    EXPECT_EQ(64u, strlen(serial));
    EXPECT_EQ(16u, strlen(date));
}

TEST(IdpromCopy, StaysBesideTheConfigurationFile) {
    char out[1200];
    struct Case {
        const char* config;
        const char* serial;
        const char* want;
    } cases[] = {
        {"/etc/lumora/lumora.ini", "SN123", "/etc/lumora/Save_SN123.bin"},
        {"lumora.ini", "no serial ID", "Save_no serial ID.bin"},
        {"/cfg/lumora.ini", "../../etc/x", "/cfg/Save_.._.._etc_x.bin"},
        {"/cfg/lumora.ini", "a\\b\nc", "/cfg/Save_a_b_c.bin"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(IdpromCopyPath(out, sizeof out, c.config, c.serial));
        EXPECT_STREQ(c.want, out);
    }
    EXPECT_FALSE(IdpromCopyPath(out, 10, "/cfg/lumora.ini", "SN123"));
}

}  // namespace
