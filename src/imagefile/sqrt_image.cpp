#include "imagefile/sqrt_image.h"

#include <vector>

SQRTImage::~SQRTImage() = default;

namespace {

// floor(sqrt(x)) exactly.
uint32_t IntSqrt(uint64_t x) {
    uint64_t r = 0;
    for (uint64_t bit = uint64_t(1) << 62; bit; bit >>= 2) {
        if (x >= r + bit) {
            x -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
    }
    return uint32_t(r);
}

}  // namespace

void SQRTImage::Convert16To8(const uint16_t* src, uint8_t* dst, size_t count, uint16_t* white) {
    std::vector<uint8_t> present(65536, 0);
    for (size_t i = 0; i < count; ++i) present[src[i]] = 1;
    uint32_t w = 65535;
    for (int v = 65534; v >= 0; --v) {
        if (present[v]) {
            w = uint32_t(v);
            break;
        }
    }
    if (white) *white = uint16_t(w);
    if (w == 0) {
        // 255 / sqrt(0) has no finite value: the whole image becomes 0.
        for (size_t i = 0; i < count; ++i) dst[i] = 0;
        return;
    }
    // 255 * sqrt(v / w) in exact integer arithmetic, so that w itself maps to 255 exactly.
    uint8_t table[65536];
    for (uint32_t v = 0; v < 65536; ++v) {
        uint32_t b = IntSqrt(uint64_t(65025) * v / w);
        table[v] = uint8_t(b > 255 ? 255 : b);
    }
    for (size_t i = 0; i < count; ++i) dst[i] = table[src[i]];
}

void SQRTImage::Convert8To16(const uint8_t* src, uint16_t* dst, size_t count, uint16_t white) {
    // f = white / 65535 in double precision and the product truncated; where b * b * white
    // is a multiple of 65535 the result may lie one below the exact quotient.
    const double f = white / 65535.0;
    uint16_t table[256];
    for (uint32_t b = 0; b < 256; ++b) {
        const double v = double(b * b) * f;
        table[b] = v >= 65535.0 ? uint16_t(65535) : uint16_t(v);
    }
    for (size_t i = 0; i < count; ++i) dst[i] = table[src[i]];
}
