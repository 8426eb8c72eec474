// The fuzz input as a read-only stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

inline FILE* OpenInput(const uint8_t* data, size_t size) {
    if (size == 0) return std::tmpfile();  // fmemopen refuses an empty buffer
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}
