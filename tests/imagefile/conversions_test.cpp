// Conversions, inversion, greyscale stretch and statistics on images in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "imagefile/image_utilities.h"

namespace {

using Image = std::vector<unsigned short>;

TEST(Convert16To8, WhiteLevelIsTheLargestValueBelow65535) {
    const Image src = {0, 10000, 40000, 65535, 2500, 39999};
    std::vector<unsigned char> dst(src.size(), 0xAA);
    unsigned short white = 0;
    ASSERT_EQ(Local_Convert_Image16_8(src.data(), dst.data(), 3, 2, &white), 0);
    EXPECT_EQ(white, 40000);
    EXPECT_EQ(dst, (std::vector<unsigned char>{0, 127, 255, 255, 63, 254}));
}

TEST(Convert16To8, WhiteLevelEdgeCases) {
    // Only 0 and 65535: white 0 and every byte 0.
    Image src = {0, 65535, 65535, 0};
    std::vector<unsigned char> dst(4, 0xAA);
    unsigned short white = 1;
    ASSERT_EQ(Local_Convert_Image16_8(src.data(), dst.data(), 2, 2, &white), 0);
    EXPECT_EQ(white, 0);
    EXPECT_EQ(dst, (std::vector<unsigned char>(4, 0)));
    // Nothing below 65535: white 65535.
    src = {65535, 65535};
    ASSERT_EQ(Local_Convert_Image16_8(src.data(), dst.data(), 2, 1, &white), 0);
    EXPECT_EQ(white, 65535);
    EXPECT_EQ(dst[0], 255);
    // Every white level maps to 255 exactly.
    for (unsigned w = 1; w < 65535; w += 997) {
        const Image one = {static_cast<unsigned short>(w), 0};
        ASSERT_EQ(Local_Convert_Image16_8(one.data(), dst.data(), 2, 1, &white), 0);
        ASSERT_EQ(dst[0], 255) << w;
    }
}

TEST(Convert8To16, DividesBy65535) {
    const std::vector<unsigned char> src = {255, 16, 0, 1};
    Image dst(4);
    ASSERT_EQ(Local_Convert_Image8_16(src.data(), dst.data(), 4, 1, 65535), 0);
    EXPECT_EQ(dst, (Image{65025, 256, 0, 1}));
    ASSERT_EQ(Local_Convert_Image8_16(src.data(), dst.data(), 4, 1, 1000), 0);
    EXPECT_EQ(dst, (Image{992, 3, 0, 0}));  // trunc(65025 * 1000 / 65535), trunc(256000 / 65535)
    // 85 * 85 * 17733 / 65535 is 1955 exactly, but the factor 17733 / 65535.0 lies just
    // below its true value: the product truncates to 1954.
    const std::vector<unsigned char> exact = {85, 170};
    ASSERT_EQ(Local_Convert_Image8_16(exact.data(), dst.data(), 2, 1, 17733), 0);
    EXPECT_EQ(dst[0], 1954);
    EXPECT_EQ(dst[1], 7819);
}

TEST(Conversions, NothingForEmptyOrNegativeSizes) {
    Image pixels = {1, 2, 3, 4};
    std::vector<unsigned char> bytes(4, 9);
    unsigned short white = 7;
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-2, -2}, {-1, 4}}) {
        EXPECT_EQ(Local_Convert_Image16_8(pixels.data(), bytes.data(), w, h, &white), 0);
        EXPECT_EQ(Local_Invert_Image(pixels.data(), w, h), 0);
        EXPECT_EQ(Local_Opt_ImageGreyscale(pixels.data(), w, h, 0, 0, 0), 0);
    }
    EXPECT_EQ(pixels, (Image{1, 2, 3, 4}));
    EXPECT_EQ(bytes, (std::vector<unsigned char>(4, 9)));
    EXPECT_EQ(white, 7);
    EXPECT_EQ(Local_Invert_Image(nullptr, 2, 2), -2);
}

TEST(InvertImage, TwiceGivesTheImageBack) {
    Image pixels = {0, 1, 0x8000, 65535, 1234};
    const Image original = pixels;
    ASSERT_EQ(Local_Invert_Image(pixels.data(), 5, 1), 0);
    EXPECT_EQ(pixels, (Image{65535, 65534, 0x7FFF, 0, 64301}));
    ASSERT_EQ(Local_Invert_Image(pixels.data(), 5, 1), 0);
    EXPECT_EQ(pixels, original);
}

Image RandomImage(size_t n) {
    std::mt19937 random(42);
    Image pixels(n);
    for (auto& p : pixels) p = static_cast<unsigned short>(random());
    return pixels;
}

TEST(OptImageGreyscale, NoLimitsAndLinearLeavesTheImage) {
    Image pixels = RandomImage(4096);
    pixels[0] = 0;
    pixels[1] = 65535;
    const Image original = pixels;
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 64, 64, -1, -1, 0), 0);
    EXPECT_EQ(pixels, original);
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 64, 64, 10, 10, 3), 0);  // unknown type
    EXPECT_EQ(pixels, original);
}

TEST(OptImageGreyscale, LowerLimitCountsFromOneUpwards) {
    // 1000 pixels, lowPpm 1000: limit 1, so L is where the second non-zero pixel is counted.
    Image pixels(1000, 20000);
    for (int i = 0; i < 100; ++i) pixels[size_t(i)] = 0;  // zeros are not counted
    pixels[100] = 5;
    pixels[101] = 7;
    pixels[102] = 8;
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 100, 10, 1000, -1, 0), 0);
    const double f = 65535.0 / (65535 - 7);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[100], 0);
    EXPECT_EQ(pixels[101], 0);
    EXPECT_EQ(pixels[102], static_cast<unsigned short>(1 * f));
    EXPECT_EQ(pixels[500], static_cast<unsigned short>((20000 - 7) * f));
}

TEST(OptImageGreyscale, PpmAbove400000IsTakenAs400000) {
    // Values 1 ... 1000 once each: with 0.4 the limit is 400 and L = 401 (0.5 would give 501).
    Image pixels(1000);
    for (int i = 0; i < 1000; ++i) pixels[size_t(i)] = static_cast<unsigned short>(i + 1);
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 1000, 1, 500000, -1, 0), 0);
    EXPECT_EQ(pixels[400], 0);  // value 401
    EXPECT_EQ(pixels[401], static_cast<unsigned short>(65535.0 / (65535 - 401)));  // value 402
    // The upper side in the same way: U = 600 for highPpm 500000.
    for (int i = 0; i < 1000; ++i) pixels[size_t(i)] = static_cast<unsigned short>(i + 1);
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 1000, 1, -1, 500000, 0), 0);
    EXPECT_EQ(pixels[599], 65535);  // value 600 = U
    EXPECT_EQ(pixels[598], static_cast<unsigned short>(599 * (65535.0 / 600)));
}

TEST(OptImageGreyscale, LogarithmicCurveMapsLAndLPlusOneToZero) {
    // 10 pixels, lowPpm 100000: limit 1, L = 100 (the second non-zero value).
    Image pixels = {50, 100, 101, 102, 5000, 60000, 0, 0, 0, 0};
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 10, 1, 100000, -1, 2), 0);
    EXPECT_EQ(pixels[0], 0);  // below L
    EXPECT_EQ(pixels[1], 0);  // L
    EXPECT_EQ(pixels[2], 0);  // L + 1
    const float f = 65535.0f / std::log(float(65535 - 100));
    EXPECT_EQ(pixels[3], static_cast<unsigned short>((double(std::log(3.0f)) - 1.0) * f));
    EXPECT_EQ(pixels[5], static_cast<unsigned short>((double(std::log(float(59901))) - 1.0) * f));
}

TEST(OptImageGreyscale, ConstantImageWidensTheLimits) {
    // L = U = 1000 becomes 984 ... 1016.
    Image pixels(64, 1000);
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 8, 8, 0, 0, 0), 0);
    EXPECT_EQ(pixels[0], 32767);
    pixels.assign(64, 1000);
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 8, 8, 0, 0, 1), 0);
    const float f = 65536.0f / std::sqrt(float(1016 - 984 + 1));
    EXPECT_EQ(pixels[0], 65535);  // sqrt(1000) * f is far above 65535: limited
    EXPECT_GT(double(std::sqrt(1000.0f)) * f, 65535.0);
}

TEST(OptImageGreyscale, SquareRootCurveIgnoresTheLowerLimit) {
    Image pixels = {4, 100, 400, 10000};
    ASSERT_EQ(Local_Opt_ImageGreyscale(pixels.data(), 2, 2, -1, -1, 1), 0);
    const float f = 65536.0f / std::sqrt(65536.0f);  // U - L + 1 = 65536: f = 256
    EXPECT_EQ(pixels, (Image{static_cast<unsigned short>(2 * f), static_cast<unsigned short>(10 * f),
                             static_cast<unsigned short>(20 * f), 25600}));
}

TEST(GetImageValue, Statistics) {
    const Image pixels = {1, 2, 3, 4};
    ImageValue value{};
    ASSERT_EQ(Local_Get_ImageValue(pixels.data(), 2, 2, &value), 0);
    EXPECT_EQ(value.size, 24u);
    EXPECT_EQ(value.minimum, 1);
    EXPECT_EQ(value.maximum, 4);
    EXPECT_DOUBLE_EQ(value.mean, 2.5);
    EXPECT_DOUBLE_EQ(value.deviation, std::sqrt(1.25));

    ASSERT_EQ(Local_Get_ImageValue(pixels.data(), 0, 2, &value), 0);
    EXPECT_EQ(value.size, 24u);
    EXPECT_EQ(value.minimum, 65535);
    EXPECT_EQ(value.maximum, 0);
    EXPECT_TRUE(std::isnan(value.mean));
    EXPECT_TRUE(std::isnan(value.deviation));
}

}  // namespace
