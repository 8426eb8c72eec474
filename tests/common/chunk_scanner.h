// An image finder whose block reads hand out prepared chunks of stream words, one per read,
// in place of the scanner's buffer RAM.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "imagefind/imagefind.h"

class ChunkScanner : public Imagefind {
public:
    std::deque<std::vector<uint16_t>> chunks;  // one block read each
    int failWith = 0;                          // non-zero: every read fails with it

    int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) override {
        *bytesRead = 0;
        if (failWith) return failWith;
        if (chunks.empty()) return 0;
        const std::vector<uint16_t>& c = chunks.front();
        const size_t n = std::min<size_t>(c.size(), bufferBytes / 2);
        std::memcpy(buffer, c.data(), n * 2);
        *bytesRead = uint32_t(n * 2);
        chunks.pop_front();
        return 0;
    }
};
