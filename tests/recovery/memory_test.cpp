// Plates rebuilt from the scanner memory at open, whatever the chunk boundaries: a plate whose
// end came in the first chunk read, and a plate followed by a single empty line at the end
// of a chunk, each give exactly one image.
#include "scanner/scanner_fixture.h"

namespace {

constexpr uint16_t kLineMarker = 0xFFFE;
constexpr uint16_t kEmptyLine = 0xFFEF;  // a line marker's position past every pixel
constexpr uint32_t kChunkWords = 40960 / 4;

uint32_t Unit(uint16_t a, uint16_t b) { return uint32_t(a) | uint32_t(b) << 16; }

// `lead` empty lines, a plate of `rows` rows of `width` pixels at position 16, `trail` empty lines.
std::vector<uint32_t> Stream(int lead, int rows, int width, int trail) {
    std::vector<uint32_t> words;
    for (int i = 0; i < lead; i++) words.push_back(Unit(kLineMarker, kEmptyLine));
    for (int y = 0; y < rows; y++) {
        words.push_back(Unit(kLineMarker, 16));
        for (int x = 0; x < width; x += 2) words.push_back(Unit(uint16_t(20000 + y), uint16_t(20000 + x)));
    }
    for (int i = 0; i < trail; i++) words.push_back(Unit(kLineMarker, kEmptyLine));
    return words;
}

struct MemoryRow {
    const char* what;
    int lead, rows, trail;
    size_t plateEndsAt;  // words up to the first empty line after the plate, to check the layout
};

class MemoryRecovery : public ScannerTest {};

TEST_F(MemoryRecovery, EveryPlateInTheMemoryGivesOneImage) {
    const MemoryRow rows[] = {
        {"plate and its end inside the first chunk", 8, 100, 12, 8 + 100 * 65 + 1},
        {"one empty line after the plate at the end of a chunk", 34, 157, 21, kChunkWords},
    };
    for (const MemoryRow& row : rows) {
        SCOPED_TRACE(row.what);
        Config({{"Scanner", "MinBild", "1"}});
        Emulator("[Firmware]\nRunning=1\n");
        std::vector<uint32_t> words = Stream(row.lead, row.rows, 128, row.trail);
        ASSERT_EQ(Unit(kLineMarker, kEmptyLine), words[row.plateEndsAt - 1]);
        ASSERT_LE(row.plateEndsAt, kChunkWords);
        Emu().PushFifo(words);

        EXPECT_EQ(LUMORA_E_OLD_DATA, Open_Scanner(1));
        EXPECT_TRUE(Logged(5, "1 images succesfull recovered from scanner memory"));
        char name[1024];
        ASSERT_EQ(0, Get_FirstOldImageName(name));
        ImageInfo info{};
        ASSERT_EQ(0, Get_ImageInfo(&info, name));
        EXPECT_EQ(128u, info.width);
        EXPECT_EQ(uint32_t(row.rows), info.height);
        EXPECT_EQ(-1, Get_NextOldImageName(name));
        TearDown();
        SetUp();
    }
}

}  // namespace
