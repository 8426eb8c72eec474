// Calibration from end to end on an emulator whose light collection falls off towards the
// ends of the scan line with a ripple on top (about +/-8 %): a flat reference plate scanned at
// 100 um becomes a calibration file, and the next flat plate, scanned at 25 um with that file
// configured, comes out flat.
#include <algorithm>
#include <cstdio>

#include "diagnostics/service_fixture.h"

namespace {

// Max - min over mean of the column means, over the central 90 % of the columns.
double ColumnNonUniformity(const std::vector<uint16_t>& pixels, int width, int height) {
    std::vector<double> means;
    for (int x = width / 20; x < width - width / 20; ++x) {
        double sum = 0;
        for (int y = 0; y < height; ++y) sum += pixels[size_t(y) * width + x];
        means.push_back(sum / height);
    }
    double total = 0;
    for (double m : means) total += m;
    auto [lo, hi] = std::minmax_element(means.begin(), means.end());
    return (*hi - *lo) / (total / double(means.size()));
}

class EndToEnd : public ServiceTest {
public:
    std::vector<IniKey> Keys(const std::string& calibration) const {
        std::vector<IniKey> keys;
        for (const char* set : {"Param_1", "Param_3"}) {
            keys.push_back({set, "ImgTypes", ""});  // no filters or scripts on the images
            keys.push_back({set, "MaxImageRatio", "1000"});
        }
        keys.push_back({"Param_3", "Res_X", "100"});
        keys.push_back({"Param_3", "Res_Y", "100"});
        keys.push_back({"Scanner", "Kalibrierdaten", calibration});
        keys.push_back({"Scanner", "CheckTempImage", "0"});  // the reference image stays
        return keys;
    }
    static lumora_emu::PlateEntry Flat(uint16_t width, uint16_t height) {
        lumora_emu::PlateEntry p;
        p.image = "phantom:flat";
        p.level = 40000;
        p.width = width;
        p.height = height;
        p.atSeconds = 0.5;
        return p;
    }
    // Scans one plate with the set; the image file's name.
    std::string ScanOne(int set, const lumora_emu::PlateEntry& plate) {
        if (Open_Scanner(set) != 0) return "";
        Emu().FeedPlate(plate);
        if (Aktivate_Scanner() < 0) return "";
        std::vector<std::string> names;
        ScanImages(1, &names);
        Deaktivate_Scanner();
        return names.empty() ? "" : names[0];
    }
    static double NonUniformity(const std::string& image) {
        ImageInfo info{};
        if (Get_ImageInfo(&info, image.c_str()) != 0) return -1;
        std::vector<uint16_t> pixels(size_t(info.width) * info.height);
        if (Read_DiskImage(pixels.data(), image.c_str()) != 0) return -1;
        return ColumnNonUniformity(pixels, int(info.width), int(info.height));
    }
};

TEST_F(EndToEnd, AFlatPlateComesOutFlatAfterTheCalibration) {
    Emulator("[Optics]\nProfileFalloff=0.12\nProfileRipple=0.04\nRipplePeriods=5\n");
    Config(Keys(""));
    // 3000 x 1050 pixels of 100 um: 96 % of the scan line, 0.105 m long.
    const std::string reference = ScanOne(3, Flat(3000, 1050));
    ASSERT_FALSE(reference.empty()) << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);
    const double before = NonUniformity(reference);
    ASSERT_EQ(0, Service(0x1010, TextArg(reference), 0).result);
    const std::string kor = reference.substr(0, reference.size() - 3) + "kor";
    ASSERT_EQ(0, Close_Scanner());

    Config(Keys(kor));
    // The same 96 % of the line at 25 um.
    const std::string image = ScanOne(1, Flat(12000, 200));
    ASSERT_FALSE(image.empty());
    EXPECT_TRUE(Logged(5, "Calibration file \"" + kor + "\" succesfully loaded"));
    const double after = NonUniformity(image);
    printf("column non-uniformity: %.2f %% uncorrected at 100 um, %.2f %% corrected at 25 um\n",
           100 * before, 100 * after);
    EXPECT_GT(before, 0.12);
    EXPECT_GE(after, 0.0);
    EXPECT_LT(after, 0.01);
}

}  // namespace
