// Image files ("LM000017.XYZ", 16-bit and 8-bit forms) and their info files ("...txt").
#pragma once
#include <cstdint>
#include "lumora/lumora.h"

constexpr int INFO_FILE_FIXED_BYTES = 101;  // fixed fields of an info file, before the header

// size = width | height << 16. rotation in degrees (90/-270, 180/-180, 270/-90, else none).
// 0 or -1 when the file cannot be created.
int WriteXyz16(uint32_t size, const uint16_t* pixels, const char* path, int rotation);
int WriteXyz8(const DiskImage& image, const char* path, int rotation);
// Writes the record's fields in file order, then ExtraHeaderBuffer; 0 or -1.
int WriteImageInfo(ImageInfo info, const char* path);
