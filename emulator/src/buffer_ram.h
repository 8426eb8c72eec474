// The scan-data buffer RAM: a FIFO of 32-bit words with the read and write address counters
// the registers show. Reading does not erase the RAM: the words read since the write pointer
// was last reset stay until new words overwrite them, so that writing an earlier address into
// the read pointer delivers them again (a rewind after a bad transfer, or a recovery reading
// a plate again from its start). Any other address written only moves the counter; the FIFO
// keeps its content.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

namespace lumora_emu {

class BufferRam {
public:
    void SetCapacity(size_t words);
    size_t Capacity() const { return capacity_; }
    size_t Waiting() const { return queue_.size(); }
    // Appends what fits; returns the number of words taken.
    size_t Push(const uint32_t* words, size_t count);
    // Takes up to count words; returns how many were delivered.
    size_t Read(uint32_t* out, size_t count);
    uint32_t ReadPointer() const { return readAddr_; }
    uint32_t WritePointer() const { return writeAddr_; }
    void SetReadPointer(uint32_t address);
    void ResetWritePointer();
    void Clear();
    bool Overflowed() const { return overflow_; }

private:
    uint32_t Wrap(uint64_t a) const { return uint32_t(a % capacity_); }
    void TrimHistory();  // what new words overwrote is gone
    size_t capacity_ = 1u << 24;
    std::deque<uint32_t> queue_;
    std::deque<uint32_t> history_;
    uint32_t readAddr_ = 0, writeAddr_ = 0;
    bool overflow_ = false;
};

}  // namespace lumora_emu
