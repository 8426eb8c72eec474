#include "imagefile/xyz_format.h"
#include "lumora/lumora.h"

#include <cstdlib>
#include <new>

#include "imagefile/le_bytes.h"
#include "imagefile/sqrt_image.h"

int ReadXyzHeader(FILE* file, XyzHeader* header) {
    uint8_t start[10];
    if (std::fread(start, 1, 4, file) != 4) return LUMORA_E_RANGE;
    *header = XyzHeader();
    if (LoadLE16(start) == 0xFFFF && LoadLE16(start + 2) == 0) {
        if (std::fread(start + 4, 1, 6, file) != 6) return LUMORA_E_RANGE;
        header->eightBit = true;
        header->width = LoadLE16(start + 4);
        header->height = LoadLE16(start + 6);
        header->whiteLevel = LoadLE16(start + 8);
    } else {
        header->width = LoadLE16(start);
        header->height = LoadLE16(start + 2);
    }
    return 0;
}

int ReadXyzPixels(FILE* file, const XyzHeader& header, uint16_t* out) {
    const size_t width = header.width, height = header.height;
    if (header.eightBit) {
        if (std::fseek(file, XYZ8_HEADER_BYTES, SEEK_SET) != 0) return LUMORA_E_RANGE;
        if (width == 0 || height == 0) return 0;
        uint8_t* row = new (std::nothrow) uint8_t[width];
        if (!row) return LUMORA_E_DISK_SPACE;
        SQRTImage coder;
        int result = 0;
        for (size_t y = 0; y < height; ++y) {
            if (std::fread(row, 1, width, file) != width) {
                result = -102;  // truncated: stop, nothing of this row is used
                break;
            }
            coder.Convert8To16(row, out + y * width, width, header.whiteLevel);
        }
        delete[] row;
        return result;
    }
    if (width * height == 0) return LUMORA_E_RANGE;
    size_t total = 0;
    for (size_t y = 0; y < height; ++y) {
        size_t got = std::fread(out + y * width, sizeof(uint16_t), width, file);
        FixEndianWords(out + y * width, got);
        total += got;
        if (got != width) break;
    }
    return total == width * height ? 0 : -102;
}

int LoadXyzImage(FILE* file, uint16_t** pixels, uint16_t* width, uint16_t* height) {
    *pixels = nullptr;
    XyzHeader header;
    if (ReadXyzHeader(file, &header) != 0) return LUMORA_E_RANGE;
    const size_t count = size_t(header.width) * header.height;
    if (count == 0) return LUMORA_E_RANGE;
    const long need = header.eightBit ? XYZ8_HEADER_BYTES + long(count) : 4 + 2 * long(count);
    if (std::fseek(file, 0, SEEK_END) != 0 || std::ftell(file) < need) return LUMORA_E_RANGE;
    if (std::fseek(file, header.eightBit ? XYZ8_HEADER_BYTES : 4, SEEK_SET) != 0) return LUMORA_E_RANGE;
    auto* buffer = static_cast<uint16_t*>(std::malloc(count * sizeof(uint16_t)));
    if (!buffer) return LUMORA_E_DISK_SPACE;
    int result = ReadXyzPixels(file, header, buffer);
    if (result != 0) {
        std::free(buffer);
        return result;
    }
    *pixels = buffer;
    *width = header.width;
    *height = header.height;
    return 0;
}
