// Image files (16-bit and 8-bit forms) and info files, byte for byte, and their readers.
#include <cstring>

#include "imagefile/image_utilities.h"
#include "imagefile/extra_header.h"
#include "scanner/scanner_state.h"
#include "hardware/log_capture.h"
#include "imagefile/file_fixture.h"
#include "imagefile/image_desc.h"
#include "imagefile/image_file.h"

namespace {

class ImageFiles : public TempDirTest {
protected:
    void TearDown() override {
        Local_Set_ImageExtraHeader(0, nullptr);
        TempDirTest::TearDown();
    }
};

// 3 x 2 source:  1 2 3
//                4 5 6
const uint16_t SOURCE[6] = {1, 2, 3, 4, 5, 6};

Bytes Xyz16(uint16_t w, uint16_t h, std::vector<uint16_t> values) {
    ByteBuilder b;
    b.u16(w).u16(h);
    for (uint16_t v : values) b.u16(v);
    return b.bytes;
}

TEST_F(ImageFiles, SixteenBitFormWithEachRotation) {
    struct Case {
        int rotation;
        uint16_t w, h;
        std::vector<uint16_t> values;
    };
    const Case cases[] = {
        {0, 3, 2, {1, 2, 3, 4, 5, 6}},
        {45, 3, 2, {1, 2, 3, 4, 5, 6}},
        {90, 2, 3, {3, 6, 2, 5, 1, 4}},   // first row: right-most column, top to bottom
        {-270, 2, 3, {3, 6, 2, 5, 1, 4}},
        {180, 3, 2, {6, 5, 4, 3, 2, 1}},
        {-180, 3, 2, {6, 5, 4, 3, 2, 1}},
        {270, 2, 3, {4, 1, 5, 2, 6, 3}},  // first row: left column, bottom to top
        {-90, 2, 3, {4, 1, 5, 2, 6, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        const std::string path = Path("LM000001.XYZ");
        ASSERT_EQ(WriteXyz16(ImageSizeWord(3, 2), SOURCE, path.c_str(), c.rotation), 0);
        EXPECT_EQ(ReadBytes(path), Xyz16(c.w, c.h, c.values));
    }
}

TEST_F(ImageFiles, LargeValuesAreLittleEndian) {
    const uint16_t pixels[2] = {0x1234, 0xFFEF};
    const std::string path = Path("a.XYZ");
    ASSERT_EQ(WriteXyz16(ImageSizeWord(2, 1), pixels, path.c_str(), 0), 0);
    EXPECT_EQ(ReadBytes(path), (Bytes{2, 0, 1, 0, 0x34, 0x12, 0xEF, 0xFF}));
}

TEST_F(ImageFiles, WriterReportsUncreatableFile) {
    EXPECT_EQ(WriteXyz16(ImageSizeWord(3, 2), SOURCE, Path("no/such/dir/x.XYZ").c_str(), 0), -1);
    ImageInfo info{};
    EXPECT_EQ(WriteImageInfo(info, Path("no/such/dir/x.txt").c_str()), -1);
}

DiskImage ByteImage(int w, int h, uint16_t white, const uint8_t* pixels) {
    DiskImage image{};
    image.width = w;
    image.height = h;
    image.formA = 1;
    image.formB = 1;
    image.whiteLevel = white;
    image.pixels = const_cast<uint8_t*>(pixels);
    return image;
}

TEST_F(ImageFiles, EightBitFormHeaderAndRotation) {
    const uint8_t bytes[6] = {10, 20, 30, 40, 50, 60};
    const std::string path = Path("b.XYZ");
    ASSERT_EQ(WriteXyz8(ByteImage(3, 2, 40000, bytes), path.c_str(), 90), 0);
    ByteBuilder expected;
    expected.u16(0xFFFF).u16(0).u16(2).u16(3).u16(40000).zeros(246);
    for (uint8_t v : {30, 60, 20, 50, 10, 40}) expected.u8(v);
    EXPECT_EQ(ReadBytes(path), expected.bytes);
}

TEST_F(ImageFiles, WriteDiskImageChoosesFormAndNeverRotates) {
    const uint8_t bytes[6] = {0, 16, 255, 1, 2, 3};
    const std::string path8 = Path("c.XYZ");
    const DiskImage image8 = ByteImage(3, 2, 65535, bytes);
    ASSERT_EQ(Local_Write_DiskImageEx(&image8, path8.c_str()), 0);
    Bytes file = ReadBytes(path8);
    ASSERT_EQ(file.size(), 256u + 6u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 10), (Bytes{0xFF, 0xFF, 0, 0, 3, 0, 2, 0, 0xFF, 0xFF}));

    // Square-root coding on reading: b * b * white / 65535.
    uint16_t pixels[6] = {};
    ASSERT_EQ(Local_Read_DiskImage(pixels, path8.c_str()), 0);
    const uint16_t expected[6] = {0, 256, 65025, 1, 4, 9};
    EXPECT_EQ(0, std::memcmp(pixels, expected, sizeof pixels));

    // One selector only: 16-bit values, width and height cut to 16 bits.
    DiskImage wide{};
    wide.width = 0x10003;
    wide.height = 2;
    wide.formA = 1;
    wide.formB = 0;
    wide.pixels = const_cast<uint16_t*>(SOURCE);
    const std::string path16 = Path("d.XYZ");
    ASSERT_EQ(Local_Write_DiskImageEx(&wide, path16.c_str()), 0);
    EXPECT_EQ(ReadBytes(path16), Xyz16(3, 2, {1, 2, 3, 4, 5, 6}));

    DiskImage negative = wide;
    negative.height = -2;
    EXPECT_EQ(Local_Write_DiskImageEx(&negative, Path("e.XYZ").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(Path("e.XYZ")));
    // Byte pixels have no cut form: a width beyond the header's 16 bits writes nothing.
    const DiskImage wide8 = ByteImage(0x10003, 1, 65535, bytes);
    EXPECT_EQ(Local_Write_DiskImageEx(&wide8, Path("g.XYZ").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(Path("g.XYZ")));
}

TEST_F(ImageFiles, EightBitFormUsesItsWhiteLevel) {
    const uint8_t bytes[2] = {255, 128};
    const std::string path = Path("f.XYZ");
    const DiskImage image = ByteImage(2, 1, 40000, bytes);
    ASSERT_EQ(Local_Write_DiskImageEx(&image, path.c_str()), 0);
    uint16_t pixels[2] = {};
    ASSERT_EQ(Local_Read_DiskImage(pixels, path.c_str()), 0);
    EXPECT_EQ(pixels[0], 39688);  // 65025 * 40000 / 65535 = 39688.7
    EXPECT_EQ(pixels[1], 10000);  // 16384 * 40000 / 65535 = 10000.2
}

// The reader writes at most width x height values: a guard after them must survive.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t n) : values(n + 8, 0xA5A5), count(n) {}
    bool GuardIntact() const {
        for (size_t i = count; i < values.size(); ++i)
            if (values[i] != 0xA5A5) return false;
        return true;
    }
    std::vector<uint16_t> values;
    size_t count;
};

TEST_F(ImageFiles, ReadDiskImageResults) {
    const Bytes good16 = Xyz16(3, 2, {1, 2, 3, 4, 5, 6});
    ByteBuilder good8;
    good8.u16(0xFFFF).u16(0).u16(3).u16(2).u16(65535).zeros(246);
    for (uint8_t v : {1, 2, 3, 4, 5, 6}) good8.u8(v);
    Bytes longer16 = good16;
    longer16.insert(longer16.end(), 20, 0x77);  // more data than the header claims
    struct Case {
        const char* name;
        Bytes file;
        int result;
    };
    const Case cases[] = {
        {"16-bit", good16, 0},
        {"8-bit", good8.bytes, 0},
        {"16-bit, data beyond the image", longer16, 0},
        {"short by one value", Bytes(good16.begin(), good16.end() - 2), -102},
        {"short by one byte", Bytes(good16.begin(), good16.end() - 1), -102},
        {"zero width", Xyz16(0, 2, {1, 2}), -102},
        {"zero height", Xyz16(3, 0, {}), -102},
        {"header only", Bytes{3, 0, 2, 0}, -102},
        {"empty file", Bytes{}, -102},
        {"two bytes", Bytes{3, 0}, -102},
        {"8-bit form, truncated pixels", Bytes(good8.bytes.begin(), good8.bytes.end() - 1), -102},
        {"8-bit form, header cut", Bytes{0xFF, 0xFF, 0, 0, 3, 0}, -102},
        {"8-bit form, zero size", ByteBuilder().u16(0xFFFF).u16(0).u16(0).u16(5).u16(9).zeros(246).bytes, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path("r.XYZ");
        WriteBytes(path, c.file);
        GuardedBuffer buffer(6);
        EXPECT_EQ(Local_Read_DiskImage(buffer.values.data(), path.c_str()), c.result);
        EXPECT_TRUE(buffer.GuardIntact());
        if (c.result == 0 && c.file.size() > 6 && c.file[0] != 0xFF) {
            EXPECT_EQ(buffer.values[5], 6);
        }
    }
    GuardedBuffer buffer(6);
    EXPECT_EQ(Local_Read_DiskImage(buffer.values.data(), Path("missing.XYZ").c_str()), -2);
    EXPECT_EQ(Local_Read_DiskImage(buffer.values.data(), dir_.c_str()), -2);  // a directory
}

TEST_F(ImageFiles, WidthFFFFHeightZeroIsTheEightBitMarker) {
    // A "16-bit" file whose header words are 0xFFFF and 0: the next words are read as the
    // 8-bit header (width 2, height 1, white 65535) and the bytes from offset 256.
    ByteBuilder b;
    b.u16(0xFFFF).u16(0).u16(2).u16(1).u16(65535).zeros(246).u8(16).u8(255);
    const std::string path = Path("m.XYZ");
    WriteBytes(path, b.bytes);
    GuardedBuffer buffer(2);
    ASSERT_EQ(Local_Read_DiskImage(buffer.values.data(), path.c_str()), 0);
    EXPECT_EQ(buffer.values[0], 256);
    EXPECT_EQ(buffer.values[1], 65025);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST_F(ImageFiles, TruncatedAtEveryLengthNeverOverruns) {
    const Bytes full16 = Xyz16(3, 2, {1, 2, 3, 4, 5, 6});
    ByteBuilder full8;
    full8.u16(0xFFFF).u16(0).u16(3).u16(2).u16(1000).zeros(246).raw("\1\2\3\4\5\6", 6);
    for (const Bytes& full : {full16, full8.bytes}) {
        for (size_t length = 0; length < full.size(); ++length) {
            const std::string path = Path("t.XYZ");
            WriteBytes(path, Bytes(full.begin(), full.begin() + long(length)));
            GuardedBuffer buffer(6);
            EXPECT_EQ(Local_Read_DiskImage(buffer.values.data(), path.c_str()), -102) << length;
            ASSERT_TRUE(buffer.GuardIntact()) << length;
        }
    }
}

TEST_F(ImageFiles, HugeHeaderWithShortFile) {
    const std::string path = Path("h.XYZ");
    WriteBytes(path, Xyz16(0xFFFE, 0xFFFF, {7, 8, 9}));
    GuardedBuffer buffer(3);  // the file holds three values; no more may arrive
    EXPECT_EQ(Local_Read_DiskImage(buffer.values.data(), path.c_str()), -102);
    EXPECT_TRUE(buffer.GuardIntact());
}

// A record with a distinct value in every field.
ImageInfo SampleInfo() {
    ImageInfo info{};
    info.size = 108;
    info.width = 2000;
    info.height = 3000;
    info.pixelSizeX = 25000;
    info.pixelSizeY = 30000;
    info.bitsPerPixel = 16;
    info.startX = 123456;
    info.sectorBits = 0x3C;
    info.year = 2026;
    info.month = 12;
    info.day = 9;
    info.hour = 23;
    info.minute = 59;
    info.second = 58;
    std::memset(info.text, 0, sizeof info.text);
    std::strcpy(info.text, "Lumora image");
    info.scanTime = 45;
    for (int i = 0; i < 12; ++i) info.reserved1[i] = uint8_t(0xC0 + i);
    info.reserved2 = 0xBEEF;
    info.rotation = 14;
    info.resultPixelSize = 27500;
    info.scale = 1.5f;
    info.maxValue = 0xFFEF;
    info.meanValue = 0x1234;
    info.paramSet = 7;
    info.whiteLevel = 65535;
    info.extraHeaderSize = 3;
    return info;
}

Bytes SampleInfoBytes(const Bytes& extra) {
    const float scale = 1.5f;
    ByteBuilder b;
    b.u32(108).u32(2000).u32(3000).u32(25000).u32(30000).u8(16).u32(123456).u8(0x3C);
    b.u16(2026).u8(12).u8(9).u8(23).u8(59).u8(58);
    b.raw("Lumora image", 12).zeros(20);
    b.u16(45);
    for (int i = 0; i < 12; ++i) b.u8(0xC0 + i);
    b.u16(0xBEEF).u8(14).u32(27500).raw(&scale, 4).u16(0xFFEF).u16(0x1234).u8(7).u16(65535);
    b.u32(uint32_t(extra.size()));
    b.raw(extra.data(), extra.size());
    return b.bytes;
}

TEST_F(ImageFiles, InfoFileByteForByteAndBack) {
    ASSERT_EQ(Local_Set_ImageExtraHeader(3, "XYZ"), 0);
    const std::string image = Path("LM000007.XYZ");
    const std::string infoPath = Path("LM000007.txt");
    WriteBytes(image, Xyz16(1, 1, {5}));
    ASSERT_EQ(WriteImageInfo(SampleInfo(), infoPath.c_str()), 0);
    const Bytes file = ReadBytes(infoPath);
    ASSERT_EQ(file.size(), 101u + 3u);
    EXPECT_EQ(file, SampleInfoBytes({'X', 'Y', 'Z'}));

    ImageInfo read;
    std::memset(&read, 0xEE, sizeof read);
    ASSERT_EQ(Local_Get_ImageInfo(&read, image.c_str()), 0);
    const ImageInfo expected = SampleInfo();
    // Compare field by field (the padding bytes are not part of the record).
    EXPECT_EQ(read.width, expected.width);
    EXPECT_EQ(read.startX, expected.startX);
    EXPECT_EQ(read.sectorBits, expected.sectorBits);
    EXPECT_EQ(read.year, expected.year);
    EXPECT_EQ(read.second, expected.second);
    EXPECT_STREQ(read.text, expected.text);
    EXPECT_EQ(0, std::memcmp(read.reserved1, expected.reserved1, 12));
    EXPECT_EQ(read.reserved2, expected.reserved2);
    EXPECT_EQ(read.rotation, expected.rotation);
    EXPECT_EQ(read.resultPixelSize, expected.resultPixelSize);
    EXPECT_EQ(read.scale, expected.scale);
    EXPECT_EQ(read.maxValue, expected.maxValue);
    EXPECT_EQ(read.meanValue, expected.meanValue);
    EXPECT_EQ(read.paramSet, expected.paramSet);
    EXPECT_EQ(read.whiteLevel, expected.whiteLevel);
    EXPECT_EQ(read.extraHeaderSize, 3u);

    char header[8] = "-------";
    EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), header), 3);
    EXPECT_STREQ(header, "XYZ----");
}

TEST_F(ImageFiles, GetImageInfoPlausibility) {
    struct Case {
        const char* name;
        void (*change)(ImageInfo&);
        int result;
    };
    const Case cases[] = {
        {"as written", [](ImageInfo&) {}, 0},
        {"dated 1996", [](ImageInfo& i) { i.year = 1996; }, -1},
        {"dated 1997", [](ImageInfo& i) { i.year = 1997; }, 0},
        {"pixelSizeX 999", [](ImageInfo& i) { i.pixelSizeX = 999; }, -1},
        {"pixelSizeX 1000", [](ImageInfo& i) { i.pixelSizeX = 1000; }, 0},
        {"pixelSizeY 1000001", [](ImageInfo& i) { i.pixelSizeY = 1000001; }, -1},
        {"pixelSizeY 1000000", [](ImageInfo& i) { i.pixelSizeY = 1000000; }, 0},
        {"width 0", [](ImageInfo& i) { i.width = 0; }, -1},
        {"height 65536", [](ImageInfo& i) { i.height = 65536; }, -1},
        {"startX -1", [](ImageInfo& i) { i.startX = -1; }, -1},
        {"month 13", [](ImageInfo& i) { i.month = 13; }, -1},
        {"month 0", [](ImageInfo& i) { i.month = 0; }, 0},
        {"day 32", [](ImageInfo& i) { i.day = 32; }, -1},
        {"hour 24", [](ImageInfo& i) { i.hour = 24; }, -1},
        {"minute 60", [](ImageInfo& i) { i.minute = 60; }, -1},
        {"second 60", [](ImageInfo& i) { i.second = 60; }, -1},
    };
    const std::string image = Path("LM000001.XYZ");
    WriteBytes(image, Xyz16(1, 1, {5}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageInfo info = SampleInfo();
        c.change(info);
        ASSERT_EQ(WriteImageInfo(info, Path("LM000001.txt").c_str()), 0);
        ImageInfo read{};
        EXPECT_EQ(Local_Get_ImageInfo(&read, image.c_str()), c.result);
    }
}

TEST_F(ImageFiles, GetImageInfoFileProblems) {
    const std::string image = Path("LM000002.XYZ");
    const std::string infoPath = Path("LM000002.txt");
    ImageInfo info{};
    // No image file, though the info file exists.
    ASSERT_EQ(WriteImageInfo(SampleInfo(), infoPath.c_str()), 0);
    EXPECT_EQ(Local_Get_ImageInfo(&info, image.c_str()), -1);
    // Image present, info file cut at every length of its fixed part.
    WriteBytes(image, Xyz16(1, 1, {5}));
    const Bytes full = ReadBytes(infoPath);
    for (size_t length = 0; length < 101; ++length) {
        WriteBytes(infoPath, Bytes(full.begin(), full.begin() + long(length)));
        EXPECT_EQ(Local_Get_ImageInfo(&info, image.c_str()), -1) << length;
    }
    WriteBytes(infoPath, Bytes(full.begin(), full.begin() + 101));
    EXPECT_EQ(Local_Get_ImageInfo(&info, image.c_str()), 0);
    std::filesystem::remove(infoPath);
    EXPECT_EQ(Local_Get_ImageInfo(&info, image.c_str()), -1);

    // The last three characters of the path are replaced, whatever they are.
    const std::string odd = Path("picture.abc");
    WriteBytes(odd, Xyz16(1, 1, {5}));
    ASSERT_EQ(WriteImageInfo(SampleInfo(), Path("picture.txt").c_str()), 0);
    EXPECT_EQ(Local_Get_ImageInfo(&info, odd.c_str()), 0);
}

TEST_F(ImageFiles, InfoTextIsAlwaysTerminated) {
    const std::string image = Path("LM000003.XYZ");
    WriteBytes(image, Xyz16(1, 1, {5}));
    Bytes info = SampleInfoBytes({});
    std::memset(&info[33], 'A', 32);  // no terminating byte in the file
    WriteBytes(Path("LM000003.txt"), info);
    ImageInfo read{};
    ASSERT_EQ(Local_Get_ImageInfo(&read, image.c_str()), 0);
    EXPECT_EQ(std::strlen(read.text), 31u);
}

TEST_F(ImageFiles, ExtraHeaderCases) {
    const std::string image = Path("LM000004.XYZ");
    const std::string infoPath = Path("LM000004.txt");
    const char data[] = "abcdef";

    // Set with size 0 (or no data) empties the stored header.
    ASSERT_EQ(Local_Set_ImageExtraHeader(6, data), 0);
    EXPECT_EQ(ExtraHeaderSize, 6u);
    EXPECT_EQ(Local_Set_ImageExtraHeader(0, data), 0);
    EXPECT_EQ(ExtraHeaderSize, 0u);
    EXPECT_EQ(ExtraHeaderBuffer, nullptr);
    ASSERT_EQ(Local_Set_ImageExtraHeader(6, data), 0);
    EXPECT_EQ(Local_Set_ImageExtraHeader(6, nullptr), 0);
    EXPECT_EQ(ExtraHeaderSize, 0u);
    EXPECT_EQ(Local_Set_ImageExtraHeader(-5, data), -8);
    EXPECT_EQ(ExtraHeaderSize, 0u);

    // Written with an empty header: 0 bytes, the buffer untouched.
    ImageInfo info = SampleInfo();
    info.extraHeaderSize = 0;
    ASSERT_EQ(WriteImageInfo(info, infoPath.c_str()), 0);
    EXPECT_EQ(ReadBytes(infoPath).size(), 101u);
    char buffer[8] = "1234567";
    EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), buffer), 0);
    EXPECT_STREQ(buffer, "1234567");

    // No info file: 0.
    EXPECT_EQ(Local_Get_ImageExtraHeader(Path("LM000099.XYZ").c_str(), buffer), 0);

    // A size field far beyond the file: only what the file holds is copied.
    Bytes file = SampleInfoBytes({'q', 'r', 's', 't', 'u'});
    file[97] = 0x00; file[98] = 0xCA; file[99] = 0x9A; file[100] = 0x3B;  // 1,000,000,000
    WriteBytes(infoPath, file);
    char five[5] = {};
    EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), five), 5);
    EXPECT_EQ(0, std::memcmp(five, "qrstu", 5));
    // A size field shorter than the stored bytes: only that many.
    file[97] = 2; file[98] = 0; file[99] = 0; file[100] = 0;
    WriteBytes(infoPath, file);
    char two[3] = "..";
    EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), two), 2);
    EXPECT_STREQ(two, "qr");
    // A short fixed part: nothing.
    WriteBytes(infoPath, Bytes(file.begin(), file.begin() + 100));
    EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), buffer), 0);
}

TEST_F(ImageFiles, LongPathsReachTheInfoReaders) {
    // Paths beyond 259 characters are read like any other (up to the system's path length).
    std::string sub = Path(std::string(120, 'd'));
    std::filesystem::create_directory(sub);
    for (size_t length : {259u, 260u, 600u}) {
        SCOPED_TRACE(length);
        while (sub.size() + 130 < length) {
            sub += "/" + std::string(120, 'e');
            std::filesystem::create_directory(sub);
        }
        const std::string prefix = sub + "/";
        ASSERT_LT(prefix.size() + 4, length);
        const std::string image = prefix + std::string(length - prefix.size() - 4, 'n') + ".XYZ";
        ASSERT_EQ(image.size(), length);
        WriteBytes(image, Xyz16(1, 1, {5}));
        ASSERT_EQ(Local_Set_ImageExtraHeader(2, "hi"), 0);
        ImageInfo written = SampleInfo();
        written.extraHeaderSize = 2;
        ASSERT_EQ(WriteImageInfo(written, (image.substr(0, length - 3) + "txt").c_str()), 0);
        ImageInfo info{};
        char buffer[2];
        EXPECT_EQ(Local_Get_ImageInfo(&info, image.c_str()), 0);
        EXPECT_EQ(Local_Get_ImageExtraHeader(image.c_str(), buffer), 2);
    }
    ImageInfo info{};
    EXPECT_EQ(Local_Get_ImageInfo(&info, "ab"), -1);
    EXPECT_EQ(Local_Get_ImageExtraHeader(nullptr, nullptr), 0);
}

TEST_F(ImageFiles, RefusedArgumentsAreLogged) {
    LogCapture log;
    const std::string path = Path("LM000005.XYZ");
    WriteBytes(path, Xyz16(3, 2, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Local_Read_DiskImage(nullptr, path.c_str()), -2);
    EXPECT_TRUE(log.Logged(3, "Read_DiskImage: no pixel buffer"));
    EXPECT_EQ(Local_Get_ImageInfo(nullptr, path.c_str()), -1);
    EXPECT_TRUE(log.Logged(3, "Get_ImageInfo: no result record"));
    EXPECT_EQ(Local_Get_ImageValue(SOURCE, 3, 2, nullptr), -2);
    EXPECT_TRUE(log.Logged(3, "Get_ImageValue: no result record"));

    const std::string out = Path("out.XYZ");
    DiskImage image = ByteImage(3, 2, 65535, nullptr);
    EXPECT_EQ(Local_Write_DiskImageEx(&image, out.c_str()), -1);
    EXPECT_TRUE(log.Logged(3, "Write_DiskImageEx: no pixel buffer"));
    image.width = 0x10000;  // the 16-bit form cuts it to 0: a header alone, no pixels needed
    image.formB = 0;
    EXPECT_EQ(Local_Write_DiskImageEx(&image, out.c_str()), 0);
    EXPECT_EQ(ReadBytes(out), Xyz16(0, 2, {}));
    image.formB = 1;
    EXPECT_EQ(Local_Write_DiskImageEx(&image, Path("wide.XYZ").c_str()), -1);
    EXPECT_TRUE(log.Logged(3, "Write_DiskImageEx: 8-bit image larger than 65535 pixels a side"));
    image.width = -1;
    EXPECT_EQ(Local_Write_DiskImageEx(&image, Path("neg.XYZ").c_str()), -1);
    EXPECT_TRUE(log.Logged(3, "Write_DiskImageEx: negative image size"));
    EXPECT_FALSE(std::filesystem::exists(Path("wide.XYZ")));
    EXPECT_FALSE(std::filesystem::exists(Path("neg.XYZ")));
}

}  // namespace
