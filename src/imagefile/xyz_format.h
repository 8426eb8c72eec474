// Reading image files ("*.XYZ"): 16-bit form (width, height, pixels) and 8-bit form
// (FF FF 00 00 marker, width, height, white level, 256-byte header, square-root coded bytes).
#pragma once
#include <cstdint>
#include <cstdio>

constexpr long XYZ8_HEADER_BYTES = 256;

struct XyzHeader {
    bool eightBit = false;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t whiteLevel = 0;  // 8-bit form only
};

// Reads the header at the start of file: 0, or -102 when the file is too short for it.
int ReadXyzHeader(FILE* file, XyzHeader* header);

// Reads the pixels after the header into out, never more than width x height values.
// 0; -8 when the row buffer of the 8-bit form cannot be had; -102 when the file holds fewer
// values than the header claims, or a 16-bit image has no pixels.
int ReadXyzPixels(FILE* file, const XyzHeader& header, uint16_t* out);

// Whole image into a buffer from malloc (*pixels, to be freed with free). The file size is
// checked against the header before anything is allocated. 0, -8, -102.
int LoadXyzImage(FILE* file, uint16_t** pixels, uint16_t* width, uint16_t* height);
