// Image-file writers: 16-bit form and 8-bit form, with the rotations of the image production.
#include <cstdio>
#include <cstring>
#include <new>

#include "lumora/lumora.h"
#include "imagefile/image_desc.h"
#include "imagefile/image_file.h"
#include "imagefile/le_bytes.h"
#include "imagefile/sqrt_image.h"

namespace {

enum class Turn { None, Right90, Half, Right270 };

Turn TurnOf(int rotation) {
    switch (rotation) {
        case 90:
        case -270: return Turn::Right90;
        case 180:
        case -180: return Turn::Half;
        case 270:
        case -90: return Turn::Right270;
        default: return Turn::None;
    }
}

void ToFileOrder(uint16_t* row, size_t count) { FixEndianWords(row, count); }
void ToFileOrder(uint8_t*, size_t) {}

// Writes the pixels of a width x height image turned as asked, one output row at a time.
// false on a write error or when the row buffer cannot be had.
template <typename T>
bool WriteTurned(FILE* file, const T* src, size_t width, size_t height, Turn turn) {
    if (width == 0 || height == 0) return true;
    if (turn == Turn::None && HOST_LITTLE_ENDIAN) {
        return std::fwrite(src, sizeof(T), width * height, file) == width * height;
    }
    const size_t outWidth = (turn == Turn::Right90 || turn == Turn::Right270) ? height : width;
    const size_t outHeight = (turn == Turn::Right90 || turn == Turn::Right270) ? width : height;
    T* row = new (std::nothrow) T[outWidth];
    if (!row) return false;
    bool ok = true;
    for (size_t r = 0; r < outHeight && ok; ++r) {
        switch (turn) {
            case Turn::None:
                std::memcpy(row, src + r * width, width * sizeof(T));
                break;
            case Turn::Right90:  // source column width-1-r, top to bottom
                for (size_t i = 0; i < height; ++i) row[i] = src[i * width + (width - 1 - r)];
                break;
            case Turn::Half:  // source row height-1-r, right to left
                for (size_t i = 0; i < width; ++i) row[i] = src[(height - 1 - r) * width + (width - 1 - i)];
                break;
            case Turn::Right270:  // source column r, bottom to top
                for (size_t i = 0; i < height; ++i) row[i] = src[(height - 1 - i) * width + r];
                break;
        }
        ToFileOrder(row, outWidth);
        ok = std::fwrite(row, sizeof(T), outWidth, file) == outWidth;
    }
    delete[] row;
    return ok;
}

bool Swapped(Turn turn) { return turn == Turn::Right90 || turn == Turn::Right270; }

}  // namespace

int SQRTImage::WriteXyz16(uint32_t size, const uint16_t* pixels, const char* path, int rotation) {
    const uint16_t width = SizeWidth(size), height = SizeHeight(size);
    if (!path || (!pixels && width && height)) return LUMORA_E_FILE;
    FILE* file = std::fopen(path, "wb");
    if (!file) return LUMORA_E_FILE;
    const Turn turn = TurnOf(rotation);
    uint8_t header[4];
    StoreLE16(header, Swapped(turn) ? height : width);
    StoreLE16(header + 2, Swapped(turn) ? width : height);
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    ok = ok && WriteTurned(file, pixels, width, height, turn);
    ok = (std::fclose(file) == 0) && ok;
    return ok ? 0 : -1;
}

int SQRTImage::WriteXyz8(const DiskImage& image, const char* path, int rotation) {
    // The header holds 16-bit sizes, and the rows of a wider image would not be found again.
    if (image.width < 0 || image.height < 0 || image.width > 0xFFFF || image.height > 0xFFFF)
        return LUMORA_E_FILE;
    const uint16_t width = uint16_t(image.width), height = uint16_t(image.height);
    const auto* pixels = static_cast<const uint8_t*>(image.pixels);
    if (!path || (!pixels && width && height)) return LUMORA_E_FILE;
    FILE* file = std::fopen(path, "wb");
    if (!file) return LUMORA_E_FILE;
    const Turn turn = TurnOf(rotation);
    uint8_t header[256] = {};
    StoreLE16(header, 0xFFFF);
    StoreLE16(header + 4, Swapped(turn) ? height : width);
    StoreLE16(header + 6, Swapped(turn) ? width : height);
    StoreLE16(header + 8, image.whiteLevel);
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    ok = ok && WriteTurned(file, pixels, width, height, turn);
    ok = (std::fclose(file) == 0) && ok;
    return ok ? 0 : -1;
}

int WriteXyz16(uint32_t size, const uint16_t* pixels, const char* path, int rotation) {
    return SQRTImage().WriteXyz16(size, pixels, path, rotation);
}

int WriteXyz8(const DiskImage& image, const char* path, int rotation) {
    return SQRTImage().WriteXyz8(image, path, rotation);
}
