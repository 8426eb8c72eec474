// End to end without hardware: a synthetic plate is streamed as the scanner sends it, split into
// chunks at awkward places, and must come out of ProcessRanges as an exact image file.
#include <cmath>

#include "imagefind/fixture.h"

namespace {

constexpr int kAnfX = 100, kWidth = 64, kLines = 41, kFirstLine = 4;
constexpr uint16_t kDef = 33;

uint16_t Plate(int x, int y) { return uint16_t((x * 37 + y * 101) % 4000 + 10); }
// Positions 120 ... 123 of every other line are skipped by a marker.
bool Gap(int x, int row) { return row % 2 == 1 && x >= 120 && x <= 123; }
double Factor(int x) { return 1.0 + (x % 3) * 0.25; }

Stream PlateStream() {
    Stream s;
    for (int i = 0; i < 3; ++i) s.line(300);
    for (int row = 0; row < kLines; ++row) {
        const int y = kFirstLine + row;
        s.line(kAnfX);
        std::vector<uint16_t> run;
        for (int x = kAnfX; x < kAnfX + kWidth; ++x) {
            if (Gap(x, row)) {
                if (x == 120) s.values(run).skip(4), run.clear();
                continue;
            }
            run.push_back(Plate(x, y));
            if (x == 141 && row % 3 == 0) s.values(run).skip(0, 0xFFF3), run.clear();
        }
        s.values(run);
        if (row == 20) s.skip(80).run(2, 900);  // a speck at 244, 245: a range of its own
    }
    for (int i = 0; i < 4; ++i) s.line(300);
    return s;
}

// The image the rebuild must give: calibration, binning, oversampling, interpolation.
std::vector<uint16_t> Expected(int binning, int ovs, int interpolate, int* width, int* height) {
    std::vector<std::vector<uint16_t>> lines;
    for (int row = 0; row < kLines; ++row) {
        std::vector<uint16_t> line;
        for (int x = kAnfX; x < kAnfX + kWidth; ++x) {
            const uint16_t raw = Gap(x, row) ? kDef : Plate(x, kFirstLine + row);
            line.push_back(uint16_t(std::min(65535.0, std::trunc(raw * Factor(x)))));
        }
        lines.push_back(line);
    }
    std::vector<uint16_t> image;
    int rows = 0;
    for (int row = 0; row + binning - 1 < kLines; row += binning) {
        std::vector<uint16_t> out;
        for (int i = 0; i < kWidth; ++i) {
            const int v = binning == 1 ? lines[size_t(row)][size_t(i)]
                                       : (lines[size_t(row)][size_t(i)] + lines[size_t(row) + 1][size_t(i)]) >> 1;
            out.push_back(uint16_t(v));
        }
        std::vector<uint16_t> picked;
        for (int i = 0; i < kWidth / ovs; ++i) picked.push_back(out[size_t(i * ovs)]);
        for (int k = 0; k < interpolate; ++k, ++rows) image.insert(image.end(), picked.begin(), picked.end());
    }
    *width = kWidth / ovs;
    *height = rows;
    return image;
}

struct Mode {
    bool line;
    int binning, ovs, interpolate;
    std::vector<int> chunkUnits;
};

class EndToEndTest : public ImagefindTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(EndToEndTest, StreamBecomesTheExactImage) {
    const Mode m = GetParam();
    scanner->AnzPixLine = 299;
    scanner->MinImagePixels = 10;
    scanner->CalibCount = 300;
    scanner->CalibFactors = new double[300];
    for (int x = 0; x < 300; ++x) scanner->CalibFactors[x] = Factor(x);
    Device.DefPixVal = kDef;
    Settings.Binning = m.binning;
    Settings.OvsFactor = m.ovs;
    Settings.Interpolate_Y = m.interpolate;
    LineWriteMode = m.line ? 1 : 0;

    scanner->chunks = PlateStream().split(m.chunkUnits);
    const size_t chunks = scanner->chunks.size();
    ASSERT_GT(chunks, 5u);
    int lastEmpty = 0;
    while (!scanner->chunks.empty()) {
        ASSERT_EQ(scanner->ReadScanData(&lastEmpty), 0);
        scanner->ProcessRanges(false);
    }
    EXPECT_GT(lastEmpty, 0);
    scanner->ProcessRanges(true);

    ASSERT_EQ(scanner->ImageCounter, 1);
    EXPECT_TRUE(Logged(5, "1 range(s) removed (too small)"));
    char name[1024];
    scanner->MakeImageName(name, 1);
    int w = 0, h = 0, ew = 0, eh = 0;
    const std::vector<uint16_t> expected = Expected(m.binning, m.ovs, m.interpolate, &ew, &eh);
    const std::vector<uint16_t> pixels = ReadImage(name, &w, &h);
    EXPECT_EQ(w, ew);
    EXPECT_EQ(h, eh);
    EXPECT_EQ(pixels, expected);
}

// Chunk sizes in units: a marker alone, cuts inside runs, one unit, larger pieces.
const std::vector<int> kAwkward = {1, 3, 7, 2, 33, 1, 64, 5, 11, 1, 1, 17, 29, 3, 90, 2, 6, 41, 13};
std::vector<int> Repeat(const std::vector<int>& v, int times) {
    std::vector<int> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), v.begin(), v.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EndToEndTest,
    ::testing::Values(Mode{false, 1, 1, 1, Repeat(kAwkward, 20)},
                      Mode{true, 1, 1, 1, Repeat(kAwkward, 20)},
                      Mode{false, 2, 1, 2, Repeat(kAwkward, 20)},
                      Mode{true, 2, 1, 2, Repeat(kAwkward, 20)},
                      Mode{false, 2, 2, 1, Repeat({31}, 200)},
                      Mode{true, 2, 2, 3, Repeat({31}, 200)}),
    [](const ::testing::TestParamInfo<Mode>& info) {
        const Mode& m = info.param;
        return std::string(m.line ? "Line" : "Block") + "Binning" + std::to_string(m.binning) +
               "Ovs" + std::to_string(m.ovs) + "Interpolate" + std::to_string(m.interpolate);
    });

}  // namespace
