// Making a calibration file from a reference image: the file it writes and every rejection,
// each with a small image made for it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "config/scanner_settings.h"
#include "diagnostics/calibration.h"
#include "diagnostics/calibration_maker.h"
#include "imagefile/image_file.h"

namespace {

constexpr int kWidth = 200, kHeight = 1010;

struct Reference {
    int width = kWidth, height = kHeight;
    uint32_t pixelX = 100000, pixelY = 100000;
    int startX = 20;
    std::string serial = "SN123";
    // Grey value of a pixel.
    std::function<uint16_t(int x, int y)> value = [](int x, int) {
        return uint16_t(20000 + 40 * (x % 50));  // +/- 5 % across each group of columns
    };
};

class Maker : public ::testing::Test {
protected:
    void SetUp() override {
        Device = DeviceRecord{};
        Settings = ScannerSettings{};
        std::strcpy(Device.SerialId, "SN123");
        Device.PixelSizeX = 100.5e-6;
        Settings.Anz_Pix = 250;  // a scan line of 25.125 mm
        Settings.Strt_Pix = 417;
    }
    std::string Write(const Reference& r, const std::string& name = "ref.XYZ") {
        std::vector<uint16_t> pixels(size_t(r.width) * r.height);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) pixels[size_t(y) * r.width + x] = r.value(x, y);
        const std::string path = dir.file(name);
        EXPECT_EQ(0, WriteXyz16(uint32_t(r.width) | uint32_t(r.height) << 16, pixels.data(),
                                path.c_str(), 0));
        ImageInfo info{};
        info.size = 108;
        info.width = uint32_t(r.width);
        info.height = uint32_t(r.height);
        info.pixelSizeX = r.pixelX;
        info.pixelSizeY = r.pixelY;
        info.bitsPerPixel = 16;
        info.startX = r.startX;
        info.year = 2026;
        info.month = 12;
        info.day = 9;
        info.hour = 10;
        info.minute = 11;
        info.second = 12;
        std::strncpy(info.text, r.serial.c_str(), sizeof info.text - 1);
        info.scale = 1.0f;
        EXPECT_EQ(0, WriteImageInfo(info, (path.substr(0, path.size() - 3) + "txt").c_str()));
        return path;
    }
    TempDir dir;
};

TEST_F(Maker, FileHoldsHeaderAndOneFactorPerPositionAndFlattensTheImage) {
    const std::string image = Write(Reference{});
    ASSERT_EQ(0, MakeCalibrationFile(image.c_str()));
    const std::string text = TempDir::read(dir.file("ref.kor"));
    // N = 1 + 25.125 mm / 100 um; mean of the measured area 20000 + 40 x 24.5 = 20980.
    EXPECT_EQ(0u, text.find("SN123\n417\n252\n100000\n9:12:2026\n10:11:12\n20980\n"
                            "****************\n"));
    std::vector<double> factors;
    size_t at = text.find("*\n") + 2;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        factors.push_back(std::stod(text.substr(at, end - at)));
    ASSERT_EQ(252u, factors.size());
    // Columns 10 ... 189 were measured, at positions 30 ... 209; the rest repeat the edges.
    auto expected = [](int column) { return 20980.0 / (20000 + 40 * (column % 50)); };
    for (int p = 30; p <= 209; ++p) EXPECT_NEAR(expected(p - 20), factors[size_t(p)], 1e-6) << p;
    for (int p = 0; p < 30; ++p) EXPECT_EQ(factors[30], factors[size_t(p)]) << p;
    for (int p = 210; p < 252; ++p) EXPECT_EQ(factors[209], factors[size_t(p)]) << p;

    // The driver reads it back: pixels of 50 um take every factor twice.
    Device.PixelSizeX = 50e-6;
    std::vector<double> gains(500, 1.0);
    ASSERT_EQ(0, LoadCalibrationFile(gains.data(), 500, dir.file("ref.kor").c_str()));
    for (int p : {0, 30, 117, 209, 249}) EXPECT_NEAR(factors[size_t(p)], gains[size_t(2 * p + 1)], 1e-6);
}

TEST_F(Maker, UnsuitableReferenceImagesAreRejected) {
    struct Case {
        const char* what;
        std::function<void(Reference&)> change;
        int result;
    } cases[] = {
        {"other scanner", [](Reference& r) { r.serial = "SN999"; }, -1013},
        {"less than 70 % of the line", [](Reference& r) { r.width = 170; }, -1014},
        {"shorter than 0.1 m", [](Reference& r) { r.height = 990; }, -1014},
        {"pixels of 94 um", [](Reference& r) { r.pixelX = 94000; r.width = 190; }, -1017},
        {"pixels of 106 um", [](Reference& r) { r.pixelX = 106000; }, -1017},
        {"too bright", [](Reference& r) { r.value = [](int, int) { return uint16_t(60001); }; }, -1016},
        {"too dark", [](Reference& r) { r.value = [](int, int) { return uint16_t(4914); }; }, -1015},
        {"not uniform",
         [](Reference& r) { r.value = [](int x, int) { return uint16_t(x < 100 ? 15000 : 30000); }; },
         -1018},
        {"a dead column",
         [](Reference& r) { r.value = [](int x, int) { return uint16_t(x == 50 ? 0 : 20000); }; },
         -1018},
        {"beyond 5000 positions", [](Reference& r) { r.startX = 4830; }, -102},
    };
    for (const Case& c : cases) {
        Reference r;
        c.change(r);
        const std::string image = Write(r, "bad.XYZ");
        EXPECT_EQ(c.result, MakeCalibrationFile(image.c_str())) << c.what;
        EXPECT_TRUE(TempDir::read(dir.file("bad.kor")).empty()) << c.what;
    }
    // A scan line needing more than 5000 values.
    Settings.Anz_Pix = 5000;
    Reference wide;
    wide.width = 3600;
    EXPECT_EQ(-102, MakeCalibrationFile(Write(wide, "wide.XYZ").c_str()));
    Settings.Anz_Pix = 250;

    // Paths: 260 characters or more, or an image without its info file.
    const std::string image = Write(Reference{});
    std::string longPath = dir.path() + "/" + std::string(300, 'a') + ".XYZ";
    EXPECT_EQ(-102, MakeCalibrationFile(longPath.c_str()));
    EXPECT_EQ(-1, MakeCalibrationFile(dir.file("missing.XYZ").c_str()));
    EXPECT_EQ(-102, MakeCalibrationFile(nullptr));
    EXPECT_EQ(0, MakeCalibrationFile(image.c_str()));
}

}  // namespace
