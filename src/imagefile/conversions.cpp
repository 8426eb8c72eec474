// Image utilities on 16-bit images in memory: 8-bit conversions, inversion, greyscale
// stretch and statistics.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "lumora/lumora.h"
#include "imagefile/image_utilities.h"
#include "platform/log_channel.h"
#include "imagefile/sqrt_image.h"

namespace {

// width x height, or 0 when either is below 1.
size_t PixelCount(int width, int height) {
    if (width < 1 || height < 1) return 0;
    return size_t(width) * size_t(height);
}

// A computed grey value as a pixel: below 0 (or not a number) 0, above 65535 65535.
uint16_t ClampPixel(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 65535.0) return 65535;
    return uint16_t(v);  // truncation
}

bool MissingBuffer(const void* a, const void* b, const char* function) {
    if (a && b) return false;
    LogPrint(LOG_ERROR, "%s: no pixel buffer", function);
    return true;
}

}  // namespace

int Local_Convert_Image16_8(const unsigned short* src, unsigned char* dst, int width, int height,
                            unsigned short* white) {
    const size_t n = PixelCount(width, height);
    if (n == 0) return 0;
    if (MissingBuffer(src, dst, "Convert_Image16_8")) return LUMORA_E_NOT_FOUND;
    SQRTImage().Convert16To8(src, dst, n, white);
    return 0;
}

int Local_Convert_Image8_16(const unsigned char* src, unsigned short* dst, int width, int height,
                            unsigned short white) {
    const size_t n = PixelCount(width, height);
    if (n == 0) return 0;
    if (MissingBuffer(src, dst, "Convert_Image8_16")) return LUMORA_E_NOT_FOUND;
    SQRTImage().Convert8To16(src, dst, n, white);
    return 0;
}

int Local_Invert_Image(unsigned short* pixels, int width, int height) {
    const size_t n = PixelCount(width, height);
    if (n == 0) return 0;
    if (MissingBuffer(pixels, pixels, "Invert_Image")) return LUMORA_E_NOT_FOUND;
    for (size_t i = 0; i < n; ++i) pixels[i] = uint16_t(~pixels[i]);
    return 0;
}

int Local_Opt_ImageGreyscale(unsigned short* pixels, int width, int height, int lowPpm,
                             int highPpm, int type) {
    const size_t n = PixelCount(width, height);
    if (n == 0) return 0;
    if (MissingBuffer(pixels, pixels, "Opt_ImageGreyscale")) return LUMORA_E_NOT_FOUND;
    std::vector<uint64_t> histogram(65536, 0);
    for (size_t i = 0; i < n; ++i) ++histogram[pixels[i]];

    int L = 0;
    if (lowPpm >= 0) {
        const uint64_t limit = uint64_t(std::min(0.4, lowPpm / 1e6) * double(n));
        uint64_t sum = 0;
        for (int v = 1; v <= 65535; ++v) {
            sum += histogram[v];
            if (sum > limit) {
                L = v;
                break;
            }
        }
    }
    int U = 65535;
    if (highPpm >= 0) {
        const uint64_t limit = uint64_t(std::min(0.4, highPpm / 1e6) * double(n));
        uint64_t sum = 0;
        for (int v = 65535; v >= 0; --v) {
            sum += histogram[v];
            if (sum > limit) {
                U = v;
                break;
            }
        }
    }
    if (U - L < 16) {
        if (U < 0xFFEF) U += 16;
        if (L > 16) L -= 16;
    }

    // The mapping depends on the value only: one table for all pixels.
    std::vector<uint16_t> table(65536);
    switch (type) {
        case 0: {
            const double f = 65535.0 / double(U - L);
            for (int v = 0; v < 65536; ++v) table[v] = ClampPixel((v - L) * f);
            break;
        }
        case 1: {
            const float f = 65536.0f / std::sqrt(float(U - L + 1));
            for (int v = 0; v < 65536; ++v) table[v] = ClampPixel(double(std::sqrt(float(v))) * f);
            break;
        }
        case 2: {
            const float f = 65535.0f / std::log(float(U - L));
            for (int v = 0; v < 65536; ++v)
                table[v] = ClampPixel((double(std::log(float(v - L + 1))) - 1.0) * f);
            break;
        }
        default:
            return 0;
    }
    for (size_t i = 0; i < n; ++i) pixels[i] = table[pixels[i]];
    return 0;
}

int Local_Get_ImageValue(const unsigned short* pixels, int width, int height, ImageValue* out) {
    if (!out) {
        LogPrint(LOG_ERROR, "Get_ImageValue: no result record");
        return LUMORA_E_NOT_FOUND;
    }
    const size_t n = PixelCount(width, height);
    out->size = sizeof(ImageValue);
    out->minimum = 65535;
    out->maximum = 0;
    if (n == 0) {
        out->mean = std::numeric_limits<double>::quiet_NaN();
        out->deviation = std::numeric_limits<double>::quiet_NaN();
        return 0;
    }
    if (MissingBuffer(pixels, pixels, "Get_ImageValue")) return LUMORA_E_NOT_FOUND;
    uint64_t sum = 0;
    uint16_t lo = 65535, hi = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint16_t v = pixels[i];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
        sum += v;
    }
    const double mean = double(sum) / double(n);
    double squares = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double d = pixels[i] - mean;
        squares += d * d;
    }
    out->minimum = lo;
    out->maximum = hi;
    out->mean = mean;
    out->deviation = std::sqrt(squares / double(n));
    return 0;
}
