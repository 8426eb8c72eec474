// Little-endian byte access for the image and info files.
#pragma once
#include <cstddef>
#include <cstdint>

inline uint32_t LoadLE(const uint8_t* p, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;) v = (v << 8) | p[i];
    return v;
}
inline void StoreLE(uint8_t* p, uint32_t v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i, v >>= 8) p[i] = uint8_t(v);
}
inline uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

constexpr bool HOST_LITTLE_ENDIAN = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// Turns values read from / to be written to a file into host order (no-op on little-endian).
inline void FixEndianWords(uint16_t* words, size_t count) {
    if constexpr (!HOST_LITTLE_ENDIAN) {
        for (size_t i = 0; i < count; ++i) words[i] = uint16_t((words[i] >> 8) | (words[i] << 8));
    }
}
