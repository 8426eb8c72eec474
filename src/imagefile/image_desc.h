// An image in memory: width x height unsigned 16-bit pixels, row by row, top row first.
#pragma once
#include <cstdint>

struct ImageDesc {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t* pixels = nullptr;
};

// size word used by the image operations: width | height << 16.
inline uint32_t ImageSizeWord(uint16_t width, uint16_t height) {
    return uint32_t(width) | (uint32_t(height) << 16);
}
inline uint16_t SizeWidth(uint32_t size) { return uint16_t(size & 0xFFFF); }
inline uint16_t SizeHeight(uint32_t size) { return uint16_t(size >> 16); }
