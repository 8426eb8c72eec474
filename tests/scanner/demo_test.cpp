// Demo mode: the scanner runs as usual, the image data come from the demo image.
#include <filesystem>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class Demo : public ScannerTest {
public:
    // A demo image of ours in the device folder: a horizontal ramp, dark at the left.
    void WriteDemoImage(uint16_t width, uint16_t height) {
        std::vector<uint16_t> pixels(size_t(width) * height);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) pixels[size_t(y) * width + x] = uint16_t(1000 + x * 100);
        DiskImage image{};
        image.width = width;
        image.height = height;
        image.pixels = pixels.data();
        ASSERT_EQ(0, Write_DiskImageEx(image, dir.file("devices/Demo.XYZ").c_str()));
    }

    std::vector<uint16_t> ScanOne(int set, ImageInfo* info) {
        std::vector<uint16_t> pixels;
        EXPECT_EQ(0, Open_Scanner(set));
        EXPECT_EQ(0, Aktivate_Scanner());
        int st = 0;
        for (int i = 0; i < 200000 && !(st & 0xFF); i++) st = Get_Status();
        char name[1024];
        if (Get_ImageName(name) != 1) return pixels;
        *info = ImageInfo{};
        EXPECT_EQ(0, Get_ImageInfo(info, name));
        pixels.resize(size_t(info->width) * info->height);
        EXPECT_EQ(0, Read_DiskImage(pixels.data(), name));
        EXPECT_EQ(0, Close_Scanner());
        return pixels;
    }
};

TEST_F(Demo, ImagesComeFromTheDemoImage) {
    for (int set : {1, 2}) {  // the first demo set has FastDemo, the second not
        SCOPED_TRACE(set);
        SetUp();
        Config({{"Interface", "DemoMode", "1"}, {"Scanner", "MinBild", "1"}, {"Demo_Param_1", "DeFlash", "0"},
                {"Demo_Param_2", "DeFlash", "0"}});
        Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
        WriteDemoImage(120, 90);
        ImageInfo info;
        std::vector<uint16_t> image = ScanOne(set, &info);
        EXPECT_TRUE(Logged(5, "Demomode enabled"));
        EXPECT_TRUE(LoggedContaining(5, "Demo.XYZ successfully loaded: Imagesize 120x90"));
        if (set == 1) {
            EXPECT_TRUE(Logged(5, "FastDemo enabled"));
        }
        ASSERT_FALSE(image.empty());
        // Every demo row is served inverted: 65535 minus the ramp, so the image falls from left
        // to right in steps of 100 over the width of the demo image, whatever the plate shows.
        EXPECT_EQ(120u, info.width);
        size_t row = size_t(info.height / 2) * info.width;
        for (uint32_t x = 0; x < info.width; x++)
            EXPECT_EQ(65535 - (1000 + 100 * int(x)), image[row + x]) << "x " << x;
        TearDown();
    }
}

TEST_F(Demo, WithoutItsImageTheScannerOpensOutOfDemoMode) {
    Config({{"Interface", "DemoMode", "1"}, {"Demo_Param_1", "DemoImage", "absent.XYZ"}});
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(Logged(3, "loading demo image absent.XYZ failed. Error -4"));
    EXPECT_TRUE(Logged(5, "Demo mode disabled"));
    // The PMT stays as the set asks (a loaded demo image turns it off).
    EXPECT_FALSE(LoggedContaining(5, "PMT_HV=0,"));
}

}  // namespace
