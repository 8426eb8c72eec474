// Reconstruction: binning, oversampling, interpolation, calibration and the flash filters, in
// block mode (CollectImage) and LINE mode (WriteImageLines).
#include <cstdlib>

#include "imagefind/fixture.h"

namespace {

class ReconstructTest : public ImagefindTest {
protected:
    void Block(int y, int anfX, const std::vector<uint16_t>& v) {
        scanner->AddBlock(v.data(), int(v.size()), anfX, anfX + int(v.size()) - 1, y);
    }
    void Range(int anfX, int anfY, int endX, int endY) {
        scanner->LastCollect = scanner->AnzBlocks;
        scanner->AnzRanges = 1;
        scanner->Rangebuffer[1] = PlateRange{anfX, anfY, endX, endY};
    }
    std::vector<uint16_t> Collect(int* width, int* height) {
        ImageDesc image;
        EXPECT_EQ(scanner->CollectImage(1, &image), 0);
        *width = image.width;
        *height = image.height;
        std::vector<uint16_t> v(image.pixels, image.pixels + size_t(image.width) * image.height);
        std::free(image.pixels);
        return v;
    }
    std::vector<uint16_t> Lines(int* width, int* height) {
        const std::string name = dir.file("LM000001.XYZ");
        EXPECT_EQ(scanner->WriteImageLines(1, name.c_str()), 0);
        return ReadImage(name, width, height);
    }
    // Both modes must give the expected image.
    void ExpectBothModes(int width, int height, const std::vector<uint16_t>& expected) {
        int w = 0, h = 0;
        EXPECT_EQ(Collect(&w, &h), expected) << "block mode";
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_EQ(Lines(&w, &h), expected) << "LINE mode";
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
};

TEST_F(ReconstructTest, BinningPairsLinesAndDropsTheUnpairedOne) {
    Settings.Binning = 2;
    Settings.Interpolate_Y = 2;
    for (int y = 1; y <= 5; ++y) Block(y, 10, {uint16_t(100 * y), uint16_t(100 * y + 1), 7, 9});
    Range(10, 1, 13, 5);
    // (line1 + line2) >> 1 and (line3 + line4) >> 1, each twice; line 5 dropped.
    ExpectBothModes(4, 4, {150, 151, 7, 9, 150, 151, 7, 9, 350, 351, 7, 9, 350, 351, 7, 9});
}

TEST_F(ReconstructTest, OversamplingFactorTakesEverySecondAveragedValue) {
    Settings.Binning = 2;
    Settings.OvsFactor = 2;
    Block(1, 20, {0, 10, 20, 30, 40, 50, 60, 70});
    Block(2, 20, {2, 12, 22, 32, 42, 52, 62, 72});
    Range(20, 1, 26, 2);  // W = 7; the block is one wider than the range
    ExpectBothModes(3, 1, {1, 21, 41});
}

TEST_F(ReconstructTest, CalibrationDefaultsAndPartialBlocks) {
    Device.DefPixVal = 77;
    scanner->CalibCount = 200;
    scanner->CalibFactors = new double[200];
    for (int i = 0; i < 200; ++i) scanner->CalibFactors[i] = 1.0;
    scanner->CalibFactors[12] = 3.0;
    scanner->CalibFactors[13] = 3.0;
    scanner->CalibFactors[199] = 2.0;
    Block(1, 5, {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007});  // overlaps by one pixel
    Block(1, 13, {30000, 500});
    Block(1, 199, {10, 20});  // ends one past the calibration table
    // Line 2 has no block; line 3 only one left of the range.
    Block(3, 0, {1, 1});
    Range(12, 1, 200, 3);
    std::vector<uint16_t> expected;
    auto line = [&](std::vector<uint16_t> row) { expected.insert(expected.end(), row.begin(), row.end()); };
    for (int y = 1; y <= 3; ++y) {
        std::vector<uint16_t> row(189, 77);
        row[0] = row[1] = 231;
        row[187] = row[188] = 154;
        if (y == 1) {
            row[0] = 3021;       // 1007 * 3
            row[1] = 65535;      // 30000 * 3, limited
            row[2] = 500;
            row[3] = 77;
            row[187] = 20;
            row[188] = 40;       // last factor
        }
        line(row);
    }
    ExpectBothModes(189, 3, expected);
}

TEST_F(ReconstructTest, DeFlashInMemorySkipsTheBorder) {
    // Threshold 100. Row 1: +101 at x 1 (filtered), +100 at x 2 (kept), a flash in the border
    // column. Row 2, x 1 is +101 against the already filtered row 1 (only +100 against the
    // original). Border rows and columns stay.
    std::vector<uint16_t> pixels = {
        1000, 1000, 1000, 1000,
        5000, 1101, 1100, 1000,
        1000, 1201, 1000, 1000,
        1000, 1400, 1000, 9000,
    };
    ASSERT_EQ(Imagefind::DeFlashFilter(ImageSizeWord(4, 4), pixels.data(), 100), 0);
    const std::vector<uint16_t> expected = {
        1000, 1000, 1000, 1000,
        5000, 1100, 1100, 1000,  // (1201 + 1000) >> 1
        1000, 1250, 1000, 1000,  // (1400 + 1100) >> 1
        1000, 1400, 1000, 9000,
    };
    EXPECT_EQ(pixels, expected);

    std::vector<uint16_t> two = {0, 0, 0, 9999, 9999, 9999};
    const std::vector<uint16_t> copy = two;
    EXPECT_EQ(Imagefind::DeFlashFilter(ImageSizeWord(3, 2), two.data(), 100), 0);
    EXPECT_EQ(two, copy);
    EXPECT_EQ(Imagefind::DeFlashFilter(ImageSizeWord(3, 3), nullptr, 100), -102);
}

TEST_F(ReconstructTest, DeFlashOnRawLinesTouchesEveryColumnButNotTheEndLines) {
    Settings.DeFlash = 100;
    Block(1, 0, {1000, 1000, 1000, 1000});
    Block(2, 0, {1101, 1100, 1000, 1101});
    Block(3, 0, {1000, 1000, 1000, 1000});
    Block(4, 0, {9000, 9000, 9000, 9000});  // last line: never filtered
    Range(0, 1, 3, 4);
    int w = 0, h = 0;
    const std::vector<uint16_t> expected = {1000, 1000, 1000, 1000, 1000, 1100, 1000, 1000,
                                            1000, 1000, 1000, 1000, 9000, 9000, 9000, 9000};
    EXPECT_EQ(Lines(&w, &h), expected);
    EXPECT_TRUE(Logged(5, "      using DeFlash filter DeFlash=100"));

    // A flash on the first line stays.
    SetUp();
    Settings.DeFlash = 100;
    Block(1, 0, {9000, 9000});
    Block(2, 0, {1000, 1000});
    Range(0, 1, 1, 2);
    EXPECT_EQ(Lines(&w, &h), (std::vector<uint16_t>{9000, 9000, 1000, 1000}));
}

TEST_F(ReconstructTest, MissingTempDataKeepsTheDefault) {
    Device.DefPixVal = 5;
    Block(1, 0, {1, 2, 3, 4});
    Range(0, 1, 3, 1);
    scanner->Blockbuffer[0].Offset = 1u << 30;  // far beyond the file
    int w = 0, h = 0;
    EXPECT_EQ(Collect(&w, &h), (std::vector<uint16_t>{5, 5, 5, 5}));
    EXPECT_TRUE(Logged(3, "missing data in tempfile Blk=0"));
    scanner->Blockbuffer[0].Offset = NO_OFFSET;
    EXPECT_EQ(Collect(&w, &h), (std::vector<uint16_t>{5, 5, 5, 5}));
    EXPECT_TRUE(Logged(3, "can't set File readpointer to Offset Blk:0=1"));
}

TEST_F(ReconstructTest, UnusableRangesAreRefused) {
    Range(0, 1, 500, 1);  // beyond the line buffer
    ImageDesc image;
    EXPECT_EQ(scanner->CollectImage(1, &image), -100);
    EXPECT_EQ(scanner->WriteImageLines(1, dir.file("LM000001.XYZ").c_str()), -100);
    EXPECT_FALSE(std::filesystem::exists(dir.file("LM000001.XYZ")));
    EXPECT_EQ(scanner->CollectImage(2, &image), -100);  // no such range
}

}  // namespace
