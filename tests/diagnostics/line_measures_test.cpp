// The windowed maximum of a line and the statistics of a raw stream block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "diagnostics/line_measures.h"
#include "hardware/hw_access.h"

namespace {

TEST(WindowedMaximum, WindowsStartAtOneAndStopBeforeTheLastWindow) {
    // 250 values: windows of 3 at 1, 4, ..., 244 (the start stays below 247).
    std::vector<uint16_t> line(250, 100);
    line[0] = 60000;                 // index 0 lies in no window
    line[247] = line[248] = line[249] = 60000;  // nor do the last three
    EXPECT_EQ(100, WindowedMaximum(line.data(), 250));
    line[244] = 400;                 // the last window: (400 + 100 + 100) / 3
    EXPECT_EQ(200, WindowedMaximum(line.data(), 250));
    line[5] = 101;                   // integer means: (100 + 100 + 101) / 3 = 100
    EXPECT_EQ(200, WindowedMaximum(line.data(), 250));

    std::vector<uint16_t> small{9, 8, 7};
    EXPECT_EQ(8, WindowedMaximum(small.data(), 3));   // w = 1: one window, at 1
    EXPECT_EQ(0, WindowedMaximum(small.data(), 2));   // n - w below 2: none
    std::vector<uint16_t> four{0, 7, 3, 9};
    EXPECT_EQ(7, WindowedMaximum(four.data(), 4));    // windows at 1 and 2
}

class ScriptedBlock : public HW_access {
public:
    std::vector<uint16_t> words;
    int result = 0;
    int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) override {
        uint32_t bytes = uint32_t(words.size() * 2);
        if (bytes > bufferBytes) bytes = bufferBytes;
        std::memcpy(buffer, words.data(), bytes);
        *bytesRead = bytes;
        return result;
    }
};

TEST(StreamStatistics, PixelPairsLineMarkersAndSkips) {
    ScriptedBlock device;
    device.words = {0xFFFE, 4,   100, 200,      // line starting at 4, two values
                    0xFFF1, 9,   300, 65520,    // skip of 10 pixels, then two values
                    0xFFFE, 150, 0xFFFE, 149};  // two more lines, one at the threshold
    StreamStatistics s;
    ASSERT_EQ(0, ReadStreamStatistics(&device, 150, &s));
    EXPECT_EQ(100u + 200 + 300 + 65520, s.sum);
    EXPECT_EQ(2u + 10 + 2, s.pixels);
    EXPECT_EQ(3u, s.lines);
    EXPECT_EQ(1u, s.lateLines);

    device.words.push_back(7);  // an odd word at the end is not a pair
    ASSERT_EQ(0, ReadStreamStatistics(&device, 150, &s));
    EXPECT_EQ(3u, s.lines);
    device.result = -200;
    EXPECT_EQ(-200, ReadStreamStatistics(&device, 150, &s));
}

}  // namespace
