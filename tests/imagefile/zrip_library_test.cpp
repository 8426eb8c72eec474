// libzrip.so on its own: filters, greyscale limitation and image reading.
#include <dlfcn.h>
#include <png.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "imagefile/file_fixture.h"
#include "imagefile/image_desc.h"
#include "imagefile/zrip_wrapper.h"
#include "platform/plugin_loader.h"

namespace {

class ZripLibrary : public TempDirTest {
protected:
    static void SetUpTestSuite() {
        handle_ = dlopen(ZRIP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        platform::ResolveSymbol(handle_, "SC_Filter_Image", filter_);
        platform::ResolveSymbol(handle_, "Opt_GreyscaleLim", greyscale_);
        platform::ResolveSymbol(handle_, "Read_Image", read_);
        platform::ResolveSymbol(handle_, "Destroy_Image", destroy_);
        platform::ResolveSymbol(handle_, "Get_Version", version_);
        platform::ResolveSymbol(handle_, "Write_Image", write_);
    }
    static void TearDownTestSuite() { dlclose(handle_); }

    static int Filter(std::vector<uint16_t>& pixels, uint16_t w, uint16_t h, const char* text) {
        ImageDesc image{w, h, pixels.data()};
        return filter_(image, image, 50000, 50000, text);
    }

    static inline void* handle_;
    static inline ZripFilterImage filter_;
    static inline ZripGreyscaleLim greyscale_;
    static inline ZripReadImage read_;
    static inline ZripDestroyImage destroy_;
    static inline ZripGetVersion version_;
    static inline ZripWriteImage write_;
};

uint16_t& At(std::vector<uint16_t>& p, int w, int x, int y) { return p[size_t(y * w + x)]; }

TEST_F(ZripLibrary, GaussSmoothsASpike) {
    std::vector<uint16_t> pixels(15 * 15, 1000);
    At(pixels, 15, 7, 7) = 21000;
    ASSERT_EQ(Filter(pixels, 15, 15, "GAUSS SIGMA=1.5"), 0);
    EXPECT_LT(At(pixels, 15, 7, 7), 5000);
    EXPECT_GT(At(pixels, 15, 8, 7), 1000);
    EXPECT_EQ(At(pixels, 15, 7, 8), At(pixels, 15, 8, 7));  // isotropic
    EXPECT_GT(At(pixels, 15, 8, 7), At(pixels, 15, 9, 7));  // falls off
    EXPECT_EQ(At(pixels, 15, 0, 0), 1000);                  // far away: unchanged
    // The extra 20000 is spread, not lost.
    const double total = std::accumulate(pixels.begin(), pixels.end(), 0.0);
    EXPECT_NEAR(total, 225 * 1000.0 + 20000.0, 225.0);
}

TEST_F(ZripLibrary, MedianRemovesSaltNoise) {
    std::vector<uint16_t> pixels(10 * 10, 2000);
    for (auto [x, y] : {std::pair{1, 1}, {5, 2}, {8, 8}, {0, 9}, {3, 6}}) At(pixels, 10, x, y) = 65535;
    ASSERT_EQ(Filter(pixels, 10, 10, "MEDIAN RADIUS=1"), 0);
    EXPECT_EQ(pixels, std::vector<uint16_t>(100, 2000));
}

TEST_F(ZripLibrary, UnsharpSharpensAnEdge) {
    // Left half 1000, right half 3000.
    std::vector<uint16_t> pixels(20 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 20; ++x) At(pixels, 20, x, y) = x < 10 ? 1000 : 3000;
    ASSERT_EQ(Filter(pixels, 20, 4, "unsharp sigma=2 amount=0.8"), 0);
    for (int y = 0; y < 4; ++y) {
        EXPECT_LT(At(pixels, 20, 9, y), 1000);   // undershoot before the edge
        EXPECT_GT(At(pixels, 20, 10, y), 3000);  // overshoot after it
        EXPECT_EQ(At(pixels, 20, 0, y), 1000);
        EXPECT_EQ(At(pixels, 20, 19, y), 3000);
    }
}

TEST_F(ZripLibrary, BadTextsAnswerNegativeAndChangeNothing) {
    std::vector<uint16_t> pixels(16);
    std::iota(pixels.begin(), pixels.end(), uint16_t(100));
    const std::vector<uint16_t> original = pixels;
    for (const char* text : {"", "   ", "BLUR SIGMA=1", "GAUSS", "GAUSS SIGMA", "GAUSS SIGMA=",
                             "GAUSS SIGMA=abc", "GAUSS SIGMA=1x", "GAUSS SIGMA=0", "GAUSS SIGMA=nan",
                             "GAUSS SIGMA=1 SIGMA=2", "GAUSS SIGMA=1 RADIUS=1", "MEDIAN RADIUS=1.5",
                             "MEDIAN RADIUS=6", "UNSHARP SIGMA=2", "UNSHARP AMOUNT=1 SIGMA=-2",
                             "=1", "GAUSS =1"}) {
        EXPECT_LT(Filter(pixels, 4, 4, text), 0) << text;
        EXPECT_EQ(pixels, original) << text;
    }
    const std::string longText = "GAUSS SIGMA=1" + std::string(300, ' ');
    EXPECT_LT(Filter(pixels, 4, 4, longText.c_str()), 0);
    EXPECT_LT(Filter(pixels, 4, 4, nullptr), 0);
    ImageDesc none{4, 4, nullptr};
    EXPECT_LT(filter_(none, none, 0, 0, "GAUSS SIGMA=1"), 0);
    ImageDesc a{4, 4, pixels.data()}, b{2, 8, pixels.data()};
    EXPECT_LT(filter_(a, b, 0, 0, "GAUSS SIGMA=1"), 0);
    EXPECT_EQ(pixels, original);
}

// An application running in a locale with a decimal comma: "SIGMA=1.5" is still 1.5.
TEST_F(ZripLibrary, NumbersIgnoreTheApplicationLocale) {
    WriteText(Path("comma.src"),
              "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
              "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n");
    const std::string build = "localedef -c -i " + Path("comma.src") + " -f ANSI_X3.4-1968 " +
                              Path("comma") + " >/dev/null 2>&1";
    std::system(build.c_str());
    setenv("LOCPATH", dir_.c_str(), 1);
    const bool comma = setlocale(LC_NUMERIC, "comma") != nullptr && std::strtod("1.5", nullptr) == 1.0;
    std::vector<uint16_t> pixels(15 * 15, 1000);
    At(pixels, 15, 7, 7) = 21000;
    const int result = Filter(pixels, 15, 15, "GAUSS SIGMA=1.5");
    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef)";
    EXPECT_EQ(result, 0);
    EXPECT_LT(At(pixels, 15, 7, 7), 5000);
}

TEST_F(ZripLibrary, GreyscaleLimitation) {
    std::vector<uint16_t> pixels = {1000, 2000, 3000, 5000};
    const std::vector<uint16_t> original = pixels;
    ImageDesc image{2, 2, pixels.data()};
    EXPECT_EQ(greyscale_(image, image, 0, 0, 255), 0);  // none
    EXPECT_EQ(pixels, original);
    EXPECT_EQ(greyscale_(image, image, 0, 0, 7), -2);
    EXPECT_EQ(greyscale_(image, image, 600, 400, 0), -3);
    EXPECT_EQ(greyscale_(image, image, 0x7FFFFFFF, 0x7FFFFFFF, 0), -3);  // sum beyond 32 bits
    EXPECT_EQ(pixels, original);

    EXPECT_EQ(greyscale_(image, image, 0, 0, 0), 0);  // linear: 1000 ... 5000 onto 0 ... 65535
    EXPECT_EQ(pixels, (std::vector<uint16_t>{0, 16384, 32768, 65535}));
    pixels = original;
    EXPECT_EQ(greyscale_(image, image, 0, 0, 1), 0);  // square root of the same
    EXPECT_EQ(pixels[1], uint16_t(std::sqrt(0.25) * 65535 + 0.5));
    pixels = original;
    EXPECT_EQ(greyscale_(image, image, 0, 0, 2), 0);  // logarithmic lifts the dark end most
    EXPECT_GT(pixels[1], 32768);
    EXPECT_EQ(pixels[3], 65535);

    // 250 per mille at each end of four pixels: the darkest and brightest are clipped.
    pixels = original;
    EXPECT_EQ(greyscale_(image, image, 250, 250, 0), 0);
    EXPECT_EQ(pixels, (std::vector<uint16_t>{0, 0, 65535, 65535}));

    // A single grey value stays as it is.
    std::vector<uint16_t> flat(9, 777);
    ImageDesc flatImage{3, 3, flat.data()};
    EXPECT_EQ(greyscale_(flatImage, flatImage, 0, 0, 0), 0);
    EXPECT_EQ(flat, std::vector<uint16_t>(9, 777));
}

void WritePng(const std::string& path, int depth, int w, int h, const std::vector<uint16_t>& values) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(w) * 2);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint16_t v = values[size_t(y * w + x)];
            if (depth == 8) {
                row[size_t(x)] = uint8_t(v);
            } else {
                row[size_t(2 * x)] = uint8_t(v >> 8);  // PNG is big-endian
                row[size_t(2 * x + 1)] = uint8_t(v);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

TEST_F(ZripLibrary, ReadsPngAndImageFiles) {
    ImageDesc image{};
    WritePng(Path("g16.png"), 16, 3, 2, {0, 1, 0x1234, 0xFFEF, 40000, 65535});
    ASSERT_EQ(read_(Path("g16.png").c_str(), &image), 0);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(std::vector<uint16_t>(image.pixels, image.pixels + 6),
              (std::vector<uint16_t>{0, 1, 0x1234, 0xFFEF, 40000, 65535}));
    EXPECT_EQ(destroy_(&image), 0);
    EXPECT_EQ(image.pixels, nullptr);

    WritePng(Path("g8.png"), 8, 2, 2, {0, 1, 128, 255});
    ASSERT_EQ(read_(Path("g8.png").c_str(), &image), 0);
    EXPECT_EQ(std::vector<uint16_t>(image.pixels, image.pixels + 4),
              (std::vector<uint16_t>{0, 257, 128 * 257, 65535}));
    destroy_(&image);

    // The scanner's 16-bit and 8-bit image forms.
    ByteBuilder xyz16;
    xyz16.u16(2).u16(1).u16(7).u16(0xFFEF);
    WriteBytes(Path("a.XYZ"), xyz16.bytes);
    ASSERT_EQ(read_(Path("a.XYZ").c_str(), &image), 0);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.pixels[1], 0xFFEF);
    destroy_(&image);
    ByteBuilder xyz8;
    xyz8.u16(0xFFFF).u16(0).u16(1).u16(2).u16(65535).zeros(246).u8(16).u8(255);
    WriteBytes(Path("b.XYZ"), xyz8.bytes);
    ASSERT_EQ(read_(Path("b.XYZ").c_str(), &image), 0);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels[0], 256);
    EXPECT_EQ(image.pixels[1], 65025);
    destroy_(&image);
}

TEST_F(ZripLibrary, ReadFailures) {
    ImageDesc image{};
    EXPECT_EQ(read_(Path("missing.XYZ").c_str(), &image), -4);
    // A header claiming 65535 x 65535 pixels over a few bytes: refused before allocating.
    ByteBuilder huge;
    huge.u16(0xFFFF).u16(0xFFFF).u16(1).u16(2);
    WriteBytes(Path("huge.XYZ"), huge.bytes);
    EXPECT_EQ(read_(Path("huge.XYZ").c_str(), &image), -5);
    // Complete, but above 100 million pixels (a sparse file: nothing of it is read).
    ByteBuilder large;
    large.u16(0xFFFF).u16(0).u16(10001).u16(10000).u16(65535).zeros(246);
    WriteBytes(Path("large.XYZ"), large.bytes);
    std::filesystem::resize_file(Path("large.XYZ"), 256 + 10001ull * 10000);
    EXPECT_EQ(read_(Path("large.XYZ").c_str(), &image), -5);
    EXPECT_EQ(image.pixels, nullptr);
    WriteBytes(Path("zero.XYZ"), Bytes{0, 0, 5, 0});
    EXPECT_EQ(read_(Path("zero.XYZ").c_str(), &image), -5);
    // A PNG cut short, and a colour PNG.
    WritePng(Path("g.png"), 16, 16, 16, std::vector<uint16_t>(256, 5));
    Bytes png = ReadBytes(Path("g.png"));
    for (size_t length : {8ul, 20ul, 40ul, png.size() - 13}) {
        WriteBytes(Path("cut.png"), Bytes(png.begin(), png.begin() + long(length)));
        EXPECT_EQ(read_(Path("cut.png").c_str(), &image), -5) << length;
    }
    png[25] = PNG_COLOR_TYPE_RGB;  // colour type byte of the IHDR chunk
    WriteBytes(Path("rgb.png"), png);
    EXPECT_LT(read_(Path("rgb.png").c_str(), &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(ZripLibrary, VersionAndWrite) {
    char text[ZRIP_VERSION_TEXT] = {};
    EXPECT_EQ(version_(text), 0);
    EXPECT_NE(std::strlen(text), 0u);
    EXPECT_LT(write_(1, 2, 3), 0);
}

}  // namespace
