// Stream scanning: blocks, chunk boundaries, empty lines, clamping, overflow, demo lines,
// prescan lines.
#include "imagefind/fixture.h"

namespace {

std::vector<uint16_t> Ramp(int n, uint16_t first) {
    std::vector<uint16_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[size_t(i)] = uint16_t(first + i);
    return v;
}

class StreamTest : public ImagefindTest {};

TEST_F(StreamTest, RunAcrossChunkBoundaryStaysOneBlockWithOneOffset) {
    Stream s;
    s.line(200).line(10).values(Ramp(8, 100)).line(200).line(20).values(Ramp(4, 500)).line(200);
    // Chunks: two markers | one value pair | the rest: the first run is cut after its first pair.
    scanner->chunks = s.split({2, 1});
    int e = 0;
    ASSERT_EQ(scanner->ReadScanData(&e), 0);
    // The chunk ended just after a marker: an open block without values carrying the position.
    EXPECT_EQ(scanner->AnzBlocks, 0);
    EXPECT_EQ(scanner->Blockbuffer[0].AnfX, 10);
    EXPECT_EQ(scanner->Blockbuffer[0].EndX, 9);
    ASSERT_EQ(scanner->ReadScanData(&e), 0);
    EXPECT_EQ(scanner->AnzBlocks, 0);
    EXPECT_EQ(scanner->Blockbuffer[0].EndX, 11);
    EXPECT_EQ(e, 0);  // ends inside a run
    ASSERT_EQ(scanner->ReadScanData(&e), 0);
    ASSERT_EQ(scanner->AnzBlocks, 2);
    const ScanBlock& b = scanner->Blockbuffer[0];
    EXPECT_EQ(b.Y, 2);
    EXPECT_EQ(b.AnfX, 10);
    EXPECT_EQ(b.EndX, 17);
    EXPECT_EQ(b.Offset, 0u);
    EXPECT_EQ(BlockValues(0), Ramp(8, 100));
    EXPECT_EQ(scanner->Blockbuffer[1].Offset, 16u);
    EXPECT_EQ(BlockValues(1), Ramp(4, 500));
    EXPECT_EQ(scanner->Akt_Y, 5);
}

TEST_F(StreamTest, SkipMarkersMoveThePosition) {
    Stream s;
    s.line(4).run(2, 7).skip(3).run(4, 8).skip(0, 0xFFF1).run(2, 9).line(200);
    Feed(s);
    ASSERT_EQ(scanner->AnzBlocks, 3);
    const int expected[3][2] = {{4, 5}, {9, 12}, {13, 14}};
    for (int b = 0; b < 3; ++b) {
        EXPECT_EQ(scanner->Blockbuffer[b].AnfX, expected[b][0]) << b;
        EXPECT_EQ(scanner->Blockbuffer[b].EndX, expected[b][1]) << b;
    }
}

TEST_F(StreamTest, EmptyLinesCountOnlyAfterTheLastRun) {
    struct Case {
        const char* name;
        Stream stream;
        int expected;
    };
    std::vector<Case> cases;
    cases.push_back({"three empty lines", Stream().line(199).line(250).line(65535), 3});
    cases.push_back({"position below the line end", Stream().line(198).line(199), 1});
    cases.push_back({"run resets the count", Stream().line(200).line(200).line(5).run(2, 1).line(200), 1});
    cases.push_back({"ends inside a run", Stream().line(200).line(5).run(2, 1), 0});
    for (Case& c : cases) {
        SetUp();
        scanner->chunks = c.stream.split({10240});
        int e = -5;
        ASSERT_EQ(scanner->ReadScanData(&e), 0);
        EXPECT_EQ(e, c.expected) << c.name;
    }
    int e = 0;
    EXPECT_EQ(scanner->ReadScanData(&e), 0);  // nothing delivered
    EXPECT_EQ(e, -1);
    scanner->failWith = -1005;
    EXPECT_EQ(scanner->ReadScanData(&e), -1005);
}

TEST_F(StreamTest, BlocksPastTheLineAreClampedButWrittenWhole) {
    Stream s;
    s.line(195).values(Ramp(10, 1)).line(201).run(2, 3).line(60000).run(4, 4).line(200);
    Feed(s);
    ASSERT_EQ(scanner->AnzBlocks, 3);
    EXPECT_EQ(scanner->Blockbuffer[0].AnfX, 195);
    EXPECT_EQ(scanner->Blockbuffer[0].EndX, 200);
    EXPECT_EQ(scanner->Blockbuffer[1].AnfX, 200);
    EXPECT_EQ(scanner->Blockbuffer[1].EndX, 200);
    EXPECT_EQ(scanner->Blockbuffer[2].AnfX, 200);
    EXPECT_EQ(scanner->Blockbuffer[1].Offset, 20u);  // all ten values of block 0 were written
    EXPECT_EQ(scanner->Blockbuffer[2].Offset, 24u);
    EXPECT_TRUE(Logged(5, "Block length terminate at End 204,1"));
    EXPECT_TRUE(Logged(5, "Block length terminate at Start 201,2"));
    EXPECT_TRUE(Logged(5, "Block length terminate at Start 60000,3"));
}

TEST_F(StreamTest, OverflowsDropWithOneMessageUntilReset) {
    scanner->AnzPixLine = 65000;
    // 100 lines of 1001 separate two-value blocks (gaps of two): 100,100 blocks, 1001 columns.
    Stream s;
    for (int y = 0; y < 100; ++y) {
        s.line(0);
        for (int k = 0; k < 1001; ++k) s.run(2, uint16_t(k + 1)).skip(2);
    }
    s.line(65535);
    std::vector<int> units;
    for (size_t i = 0; i < s.words.size(); i += 2 * 1023) units.push_back(1023);
    Feed(s, units);
    EXPECT_EQ(scanner->AnzBlocks, MAX_BLOCKS);
    EXPECT_EQ(LogCount("internal Blockbuffer overflow, this may be caused by too much light"), 1);
    scanner->MinImagePixels = 1 << 30;
    scanner->ProcessRanges(false);
    // The 1001st column never got a range; columns 901 ... 999 lost their last line to the
    // block overflow, ended two lines back and were dropped as too small.
    EXPECT_EQ(scanner->AnzRanges, 901);
    EXPECT_EQ(LogCount("internal Rangebuffer overflow"), 0);  // the shared flag is set

    scanner->ResetBuffers();
    EXPECT_EQ(scanner->OverflowLogged, 0);
    Stream one;
    one.line(0);
    for (int k = 0; k < 1001; ++k) one.run(2, 1).skip(2);
    one.line(65535);
    Feed(one);
    scanner->ProcessRanges(false);
    scanner->ProcessRanges(false);
    EXPECT_EQ(scanner->AnzRanges, MAX_RANGES);
    EXPECT_EQ(scanner->Rangebuffer[MAX_RANGES].AnfX, 999 * 4);
    EXPECT_EQ(LogCount("internal Rangebuffer overflow, this may be caused by too much light"), 1);
}

TEST_F(StreamTest, HostileStreamsStayInBounds) {
    // Positions anywhere in 0 ... 65535, runs far wider than the line, odd byte counts.
    Stream s;
    s.line(65535).run(20000, 5).skip(65535).skip(65535).run(2, 6).line(0).skip(65535).run(4, 1);
    std::vector<uint16_t> odd = {0xFFFE, 3, 1, 2, 3};  // a trailing half unit is ignored
    scanner->chunks = s.split({1, 5000, 3});
    scanner->chunks.push_back(odd);
    Drain();
    for (int b = 0; b <= scanner->AnzBlocks; ++b) {
        EXPECT_GE(scanner->Blockbuffer[b].AnfX, 0);
        EXPECT_LE(scanner->Blockbuffer[b].EndX, scanner->AnzPixLine + 1);
    }
    scanner->ProcessRanges(true);  // every range is too wide: no image, no crash
    EXPECT_EQ(scanner->ImageCounter, 0);
}

TEST_F(StreamTest, DemoLinesServeTheComplementedImage) {
    std::vector<uint16_t> pixels = {0, 1, 0xFFFF, 0x0010};  // 2 x 2
    scanner->DemoImage = ImageDesc{2, 2, pixels.data()};
    scanner->DemoActive = 1;
    scanner->DemoLine = -1;
    scanner->DemoOffset = 4;
    Settings.Binning = 2;
    // Rows -1/2 = 0 (an image row), 0, 0, 1, 1, then past the end.
    const int expectedRow[] = {0, 0, 0, 1, 1, -1};
    for (int row : expectedRow) {
        uint16_t buffer[CHUNK_BYTES / 2];
        uint32_t bytes = 0;
        ASSERT_EQ(scanner->ReadDemoLine(buffer, &bytes), 0);
        EXPECT_EQ(buffer[0], 0xFFFE);
        if (row < 0) {
            EXPECT_EQ(bytes, 4u);
            EXPECT_EQ(buffer[1], scanner->AnzPixLine);
        } else {
            ASSERT_EQ(bytes, 8u);
            EXPECT_EQ(buffer[1], 20);
            for (int i = 0; i < 2; ++i) {
                const uint16_t v = uint16_t(~pixels[size_t(row * 2 + i)]);
                EXPECT_EQ(buffer[2 + i], v > 0xFFEF ? 0xFFEF : v);
            }
        }
    }
    scanner->DemoImage = ImageDesc{};
}

TEST_F(StreamTest, PrescanModesAndRing) {
    Settings.ADC_Ovs = 8;  // divisor 8 * 16
    struct Mode {
        int length, result, prescanLength;
    } modes[] = {{1024, -102, 0}, {0, 0, 0}, {-3, 0, 0}, {1023, 0, 1023}, {50, 0, 50}};
    for (const Mode& m : modes) {
        EXPECT_EQ(scanner->SetPrescanMode(m.length), m.result) << m.length;
        EXPECT_EQ(scanner->PrescanLength, m.prescanLength) << m.length;
    }
    EXPECT_EQ(scanner->PrescanStepX, 3);  // 199 / 50
    EXPECT_EQ(scanner->PrescanStepY, 3);
    EXPECT_EQ(scanner->PrescanDivisor, 128);

    // A prescan step that computes to 0 is used as 1 (no division by zero).
    Device.PixelSizeX = 0;
    EXPECT_EQ(scanner->SetPrescanMode(50), 0);
    EXPECT_EQ(scanner->PrescanStepY, 1);
    Device.PixelSizeX = 50e-6;
    Device.PixelSizeY = 1e-6;
    EXPECT_EQ(scanner->SetPrescanMode(50), 0);
    EXPECT_EQ(scanner->PrescanStepY, 1);

    // Every line makes a prescan line of the previous one; 1280 / 128 = 10 gives byte 246.
    Stream s;
    for (int y = 0; y < 3; ++y) s.line(0).values(Ramp(2, 0)).run(198, 1280);
    s.line(200);
    Feed(s);
    ASSERT_TRUE(scanner->PrescanAvailable());
    uint8_t out[PRESCAN_MAX];
    scanner->GetPrescanLine(out);  // line 0: no blocks yet (the first marker)
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    scanner->GetPrescanLine(out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 246);
    EXPECT_EQ(out[49], 246);
    scanner->GetPrescanLine(out);
    scanner->GetPrescanLine(out);
    EXPECT_FALSE(scanner->PrescanAvailable());
    std::memset(out, 7, sizeof out);
    scanner->GetPrescanLine(out);  // nothing waiting: zeros
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[49], 0);
    EXPECT_EQ(out[50], 7);

    // The ring has no overrun check: 32 unread lines look like none.
    Stream many;
    for (int y = 0; y < 32; ++y) many.line(200);
    Feed(many);
    EXPECT_FALSE(scanner->PrescanAvailable());
    Feed(Stream().line(200));
    EXPECT_TRUE(scanner->PrescanAvailable());
}

TEST_F(StreamTest, SingleLineCapture) {
    Stream s;
    s.unit(5, 6).line(3).unit(7, 8).unit(0xFFF5, 2).line(9);
    scanner->chunks = s.split({2, 1});
    uint16_t out[16];
    int count = -1;
    ASSERT_EQ(scanner->ReadLine(out, 16, &count), 0);
    const std::vector<uint16_t> expected = {0, 0, 0, 7, 8, 0, 0};
    EXPECT_EQ(std::vector<uint16_t>(out, out + count), expected);

    scanner->chunks = Stream().line(0).run(8, 1).split({});
    ASSERT_EQ(scanner->ReadLine(out, 5, &count), 0);  // stops at maxWords
    EXPECT_EQ(count, 5);

    scanner->chunks.clear();  // nothing arrives: 101 empty reads
    EXPECT_EQ(scanner->ReadLine(out, 5, &count), -1006);
    EXPECT_EQ(count, 0);
    scanner->failWith = -1005;
    EXPECT_EQ(scanner->ReadLine(out, 5, &count), -1005);
}

}  // namespace
