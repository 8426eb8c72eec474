// A scanner object whose hardware answers come from the test: register reads from a table or
// a function, block reads from a script. Everything above the virtual hardware operations runs
// unchanged.
#pragma once
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "imagefind/imagefind.h"

class FakeScanner : public Imagefind {
public:
    std::map<uint32_t, uint8_t> regs;
    std::function<uint16_t(uint32_t)> read16;        // null: from regs (little-endian)
    std::function<uint32_t(uint32_t)> read32;
    std::function<bool(ScanStatus*)> status;         // null: from the registers
    std::function<std::vector<uint16_t>()> nextBlock;  // one block read
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    int blockReads = 0;

    uint8_t RegRead(uint32_t reg) override {
        auto it = regs.find(reg);
        return it == regs.end() ? 0 : it->second;
    }
    uint16_t RegReadShort(uint32_t reg) override {
        return read16 ? read16(reg) : uint16_t(RegRead(reg) | RegRead(reg + 1) << 8);
    }
    uint32_t RegReadLong(uint32_t reg) override {
        return read32 ? read32(reg) : uint32_t(RegReadShort(reg) | RegReadShort(reg + 2) << 16);
    }
    int RegWrite(uint32_t reg, uint8_t value) override {
        writes.emplace_back(reg, value);
        return 1;
    }
    int RegWriteShort(uint32_t reg, uint16_t value) override {
        writes.emplace_back(reg, value);
        return 1;
    }
    int RegWriteLong(uint32_t reg, uint32_t value) override {
        writes.emplace_back(reg, value);
        return 1;
    }
    int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) override {
        blockReads++;
        std::vector<uint16_t> words = nextBlock ? nextBlock() : std::vector<uint16_t>{};
        uint32_t bytes = uint32_t(words.size() * 2);
        if (bytes > bufferBytes) bytes = bufferBytes;
        std::memcpy(buffer, words.data(), bytes);
        *bytesRead = bytes;
        return 0;
    }
    int GetScanStatus(ScanStatus* out) override {
        if (status && status(out)) return 0;
        return HW_access::GetScanStatus(out);
    }
    int Free_Interface() override { return 0; }
};
