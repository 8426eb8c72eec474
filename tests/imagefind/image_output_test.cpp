// Image output: numbering, names, rotation and the record, AtriumMode, window statistics,
// files that appear only when complete, and the guards of the production.
#include <cstddef>
#include <filesystem>

#include "config/image_numbering.h"
#include "diagnostics/device_memory.h"
#include "imagefind/fixture.h"

namespace {

template <typename T>
T At(const std::string& bytes, size_t offset) {
    T v{};
    if (offset + sizeof(T) <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof(T));
    return v;
}

class ImageOutputTest : public ImagefindTest {
protected:
    // A 3 x 2 plate (values 1 ... 6) at x 10 ... 12 on lines 1 and 2, as range 1.
    void Plate() {
        const uint16_t rows[2][3] = {{1, 2, 3}, {4, 5, 6}};
        for (int y = 0; y < 2; ++y) scanner->AddBlock(rows[y], 3, 10, 12, y + 1);
        scanner->LastCollect = scanner->AnzBlocks;
        scanner->AnzRanges = 1;
        scanner->Rangebuffer[1] = PlateRange{10, 1, 12, 2};
    }
    std::string Name(int n) const {
        char name[1024];
        scanner->MakeImageName(name, n);
        return name;
    }
    std::string Info(int n) const {
        std::string name = Name(n);
        return TempDir::read(name.substr(0, name.size() - 3) + "txt");
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            const std::string n = e.path().filename().string();
            if ((n.rfind("LM", 0) == 0 || n[0] == '.') && n != NUMBERING_FILE) names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ImageOutputTest, NamesAndCounters) {
    std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "/d/img");
    EXPECT_EQ(Name(7), "/d/img/LM000007.XYZ");
    std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "/d/img/");
    EXPECT_EQ(Name(7), "/d/img/LM000007.XYZ");

    char out[1024] = "x";
    EXPECT_EQ(scanner->NextImageName(out), 0);
    EXPECT_STREQ(out, "");
    scanner->ImageCounter = 3;
    scanner->ImagesReported = 1;
    EXPECT_EQ(scanner->PendingImages(), 2);
    EXPECT_EQ(scanner->NextImageName(out), 2);
    EXPECT_STREQ(out, "/d/img/LM000002.XYZ");
    EXPECT_EQ(scanner->PendingImages(), 1);
}

TEST_F(ImageOutputTest, NumberingContinuesAfterExistingImages) {
    dir.write("LM000012.XYZ", "");
    dir.write("LM000003.txt", "");
    dir.write("other.XYZ", "");
    scanner->InitImageCounter();
    EXPECT_EQ(scanner->ImageCounter.load(), 12);
    EXPECT_EQ(scanner->ImagesReported.load(), 12);
    Plate();
    scanner->ProduceImage(1);
    EXPECT_TRUE(std::filesystem::exists(Name(13)));

    char path[260];
    std::snprintf(path, sizeof path, "%s", dir.path().c_str());
    std::vector<std::string> found;
    for (int r = scanner->FindOldImage(path, true); r == 0; r = scanner->FindOldImage(path, false))
        found.push_back(path);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{Name(12), Name(13)}));
    EXPECT_STREQ(path, "");
}

TEST_F(ImageOutputTest, RotationInBlockModeAndLineMode) {
    struct Case {
        int rotation;
        bool line;
        uint16_t fileWidth, fileHeight;
        std::vector<uint16_t> pixels;
        uint32_t recordWidth, recordHeight;
        uint8_t rotationByte;
    } cases[] = {
        {0, false, 3, 2, {1, 2, 3, 4, 5, 6}, 3, 2, 0},
        {90, false, 2, 3, {3, 6, 2, 5, 1, 4}, 2, 3, 90},
        {270, false, 2, 3, {4, 1, 5, 2, 6, 3}, 2, 3, 14},
        {-90, false, 2, 3, {4, 1, 5, 2, 6, 3}, 2, 3, 14},
        {180, false, 3, 2, {6, 5, 4, 3, 2, 1}, 3, 2, 180},
        {90, true, 3, 2, {1, 2, 3, 4, 5, 6}, 3, 2, 90},
    };
    for (const Case& c : cases) {
        SetUp();
        Settings.Rotation = c.rotation;
        LineWriteMode = c.line ? 1 : 0;
        Device.ImageType = 2;
        // A serial number filling its field (and the record's tail) without a terminator.
        const size_t serial = offsetof(DeviceRecord, SerialId);
        std::memset(reinterpret_cast<char*>(&Device) + serial, 'S', sizeof Device - serial);
        const uint32_t before = DatpromCounter(2);
        Plate();
        scanner->ProduceImage(1);
        int w = 0, h = 0;
        EXPECT_EQ(ReadImage(Name(1), &w, &h), c.pixels) << c.rotation << c.line;
        EXPECT_EQ(w, c.fileWidth);
        EXPECT_EQ(h, c.fileHeight);
        const std::string info = Info(1);
        ASSERT_EQ(info.size(), 101u) << c.rotation << c.line;
        EXPECT_EQ(At<uint32_t>(info, 0), 108u);
        EXPECT_EQ(At<uint32_t>(info, 4), c.recordWidth);
        EXPECT_EQ(At<uint32_t>(info, 8), c.recordHeight);
        EXPECT_EQ(At<uint32_t>(info, 12), 50000u);
        EXPECT_EQ(At<int32_t>(info, 21), 10);
        EXPECT_EQ(info.substr(33, 32), std::string(31, 'S') + '\0');
        EXPECT_EQ(At<uint8_t>(info, 81), c.rotationByte);
        EXPECT_EQ(At<uint16_t>(info, 90), c.line ? 0 : 6);  // maxValue (window of the 80 % middle)
        EXPECT_EQ(DatpromCounter(2), before + 1);
        EXPECT_EQ(Files(), (std::vector<std::string>{"LM000001.XYZ", "LM000001.txt"}));
    }
}

TEST_F(ImageOutputTest, AtriumModeSkipsMirrorRotationAndScripts) {
    AtriumMode = true;
    Settings.Mirror = 1;
    Settings.Rotation = 90;
    Settings.RangeHtyp = 1;  // a stretching curve, were the greyscale limitation run
    Plate();
    scanner->ProduceImage(1);
    AtriumMode = false;
    int w = 0, h = 0;
    EXPECT_EQ(ReadImage(Name(1), &w, &h), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Settings.Rotation, 0);
    EXPECT_TRUE(Logged(5, "      mirror mode disabled for ATRIUM"));
    EXPECT_TRUE(Logged(5, "      Image Rotation disabled for ATRIUM / LumoraConfig"));
    EXPECT_EQ(LogCount("running Opt_Greyscale"), 0);
}

TEST_F(ImageOutputTest, MirrorAndWindowStatistics) {
    Settings.Mirror = 1;
    Plate();
    scanner->ProduceImage(1);
    int w = 0, h = 0;
    EXPECT_EQ(ReadImage(Name(1), &w, &h), (std::vector<uint16_t>{3, 2, 1, 6, 5, 4}));
    EXPECT_TRUE(Logged(5, "      mirror mode active"));
    EXPECT_TRUE(Logged(5, "      Avg=3, Max=6, WinX=80, WinY=80"));

    // 4 x 4 ramp: the 80 % window is the whole image; 50 % is empty; 70 % the middle 2 x 2.
    std::vector<uint16_t> px(16);
    for (int i = 0; i < 16; ++i) px[size_t(i)] = uint16_t(i);
    struct Case {
        uint8_t win;
        uint16_t max, mean;
    } cases[] = {{80, 15, 7}, {50, 0, 0}, {70, 10, 7}, {200, 15, 7}};
    for (const Case& c : cases) {
        ImageInfo info{};
        ASSERT_EQ(Imagefind::WindowStatistics(ImageSizeWord(4, 4), px.data(), c.win, c.win, &info), 0);
        EXPECT_EQ(info.maxValue, c.max) << int(c.win);
        EXPECT_EQ(info.meanValue, c.mean) << int(c.win);
    }
    ImageInfo info{};
    EXPECT_EQ(Imagefind::WindowStatistics(ImageSizeWord(4, 4), nullptr, 80, 80, &info), -102);
}

TEST_F(ImageOutputTest, FailuresLeaveNoPartialFiles) {
    // The image directory is missing: no file, no number used, the error kept for the status.
    std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "%s/missing", dir.path().c_str());
    Plate();
    scanner->ProduceImage(1);
    EXPECT_EQ(scanner->ImageCounter.load(), 0);
    EXPECT_TRUE(Logged(3, "can't write image file " + Name(1)));
    EXPECT_TRUE(Logged(3, "image file " + Name(1) + " not written: No such file or directory"));
    EXPECT_EQ(scanner->TakeOutputError(), LUMORA_E_FILE);
    EXPECT_EQ(scanner->TakeOutputError(), 0);  // reported once
    LineWriteMode = 1;
    scanner->ProduceImage(1);
    EXPECT_EQ(scanner->ImageCounter.load(), 0);
    EXPECT_TRUE(Logged(3, "can't write Imagefile: " + Name(1)));
    EXPECT_EQ(scanner->TakeOutputError(), LUMORA_E_FILE);

    // A range that cannot be rebuilt uses no number and writes nothing.
    std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "%s", dir.path().c_str());
    scanner->Rangebuffer[1] = PlateRange{10, 1, 1000, 2};
    for (int mode : {0, 1}) {
        LineWriteMode = mode;
        scanner->ProduceImage(1);
        EXPECT_EQ(scanner->ImageCounter.load(), 0);
    }
    // A range too short for one binned row gives no image either.
    Settings.Binning = 2;
    scanner->Rangebuffer[1] = PlateRange{10, 1, 12, 1};
    scanner->ProduceImage(1);
    EXPECT_EQ(scanner->ImageCounter.load(), 0);
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(scanner->TakeOutputError(), 0);
}

}  // namespace
