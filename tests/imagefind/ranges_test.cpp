// Range detection: assignment, merging, finishing and the rejection rules.
#include "imagefind/fixture.h"

namespace {

class RangesTest : public ImagefindTest {
protected:
    void Block(int y, int anfX, int endX) {
        std::vector<uint16_t> v(size_t(endX - anfX + 1), 100);
        scanner->AddBlock(v.data(), int(v.size()), anfX, endX, y);
    }
    void ExpectRanges(const std::vector<PlateRange>& expected) {
        ASSERT_EQ(scanner->AnzRanges, int(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const PlateRange& r = scanner->Rangebuffer[i + 1];
            EXPECT_EQ(r.AnfX, expected[i].AnfX) << i;
            EXPECT_EQ(r.AnfY, expected[i].AnfY) << i;
            EXPECT_EQ(r.EndX, expected[i].EndX) << i;
            EXPECT_EQ(r.EndY, expected[i].EndY) << i;
        }
    }
};

TEST_F(RangesTest, TouchingAndDiagonalBlocksJoinGapsOfTwoSplitAndMergeLater) {
    scanner->Akt_Y = 2;  // nothing is finished
    Block(1, 10, 19);
    Block(1, 22, 30);  // two pixels apart: a range of its own
    scanner->ProcessRanges(false);
    ExpectRanges({{10, 1, 19, 1}, {22, 1, 30, 1}});
    EXPECT_EQ(scanner->LastCollect, 2);

    scanner->Akt_Y = 4;
    Block(2, 20, 21);  // fills the gap: the ranges touch and merge
    Block(3, 31, 35);  // touches diagonally
    Block(5, 10, 12);  // two lines below: a new range
    scanner->ProcessRanges(false);
    ExpectRanges({{10, 1, 35, 3}, {10, 5, 12, 5}});
}

TEST_F(RangesTest, OnlyRangesEndedTwoLinesBackAreFinished) {
    scanner->MinImagePixels = 1000;  // rejected quietly as too small
    Block(7, 10, 20);
    scanner->Akt_Y = 8;  // last line Akt_Y - 1
    scanner->ProcessRanges(false);
    EXPECT_EQ(scanner->AnzRanges, 1);
    scanner->Akt_Y = 9;  // last line Akt_Y - 2
    scanner->ProcessRanges(false);
    EXPECT_EQ(scanner->AnzRanges, 0);
    EXPECT_TRUE(Logged(5, "1 range(s) removed (too small)"));

    Block(20, 10, 20);
    scanner->ProcessRanges(false);
    EXPECT_EQ(scanner->AnzRanges, 1);
    scanner->ProcessRanges(true);
    EXPECT_EQ(scanner->AnzRanges, 0);
}

TEST_F(RangesTest, RejectionRules) {
    struct Case {
        const char* name;
        int anfX, endX, lines;
        int minPixels;
        double maxRatio;
        bool produced;
        const char* message;  // expected, or null for none
    } cases[] = {
        {"area equals the minimum", 10, 19, 5, 50, 10.0, true, nullptr},
        {"area one below", 10, 19, 5, 51, 10.0, false, "1 range(s) removed (too small)"},
        {"ratio equals the maximum", 10, 19, 5, 0, 2.0, true, nullptr},
        {"inverse ratio equals the maximum", 10, 14, 10, 0, 2.0, true, nullptr},
        {"ratio above", 10, 19, 4, 0, 2.0, false, "remove range with bad X/Y ratio, ratio:  2.50"},
        {"too small and too wide", 190, 200, 2, 100, 100.0, false, "1 range(s) removed (too small)"},
        {"bad ratio and too wide", 100, 200, 2, 0, 2.0, false, "remove range with bad X/Y ratio, ratio: 50.50"},
        {"too wide", 150, 200, 20, 0, 100.0, false, "remove range (too wide)"},
        {"one pixel", 5, 5, 1, 0, 2.0, true, nullptr},
    };
    for (const Case& c : cases) {
        SetUp();
        scanner->MinImagePixels = c.minPixels;
        Device.MaxImageRatio = c.maxRatio;
        for (int y = 1; y <= c.lines; ++y) Block(y, c.anfX, c.endX);
        scanner->ProcessRanges(true);
        EXPECT_EQ(scanner->AnzRanges, 0) << c.name;
        EXPECT_EQ(scanner->ImageCounter, c.produced ? 1 : 0) << c.name;
        const std::string log = TempDir::read(dir.file("log.txt"));
        if (c.message) {
            EXPECT_TRUE(Logged(5, c.message)) << c.name << "\n" << log;
        }
        // Never a second verdict for the same range.
        const int verdicts = LogCount("too small") + LogCount("bad X/Y ratio") + LogCount("too wide)");
        EXPECT_EQ(verdicts, c.message ? 1 : 0) << c.name << "\n" << log;
    }
}

}  // namespace
