// Square-root coded 8-bit images and the image-file writers.
#pragma once
#include <cstddef>
#include <cstdint>
#include "lumora/lumora.h"

class SQRTImage {
public:
    virtual ~SQRTImage();

    // 16 -> 8 bits. The white level w is the largest value below 65535 present in the image
    // (65535 when there is none) and is stored through white (when not null); a byte is
    // floor(255 * sqrt(v / w)), 255 at most. With w = 0 every byte is 0.
    void Convert16To8(const uint16_t* src, uint8_t* dst, size_t count, uint16_t* white);
    // 8 -> 16 bits: trunc(b * b * f) with f = white / 65535.0, 65535 at most.
    void Convert8To16(const uint8_t* src, uint16_t* dst, size_t count, uint16_t white);

    // size = width | height << 16. rotation 90/-270, 180/-180, 270/-90, else none. 0 or -1.
    int WriteXyz16(uint32_t size, const uint16_t* pixels, const char* path, int rotation);
    // 8-bit form: 256-byte header, then the byte pixels with the same rotations. 0, or -1
    // (also for a width or height outside 0 ... 65535: nothing is written).
    int WriteXyz8(const DiskImage& image, const char* path, int rotation);
};
