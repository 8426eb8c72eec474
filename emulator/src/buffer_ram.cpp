#include "buffer_ram.h"

#include <algorithm>

namespace lumora_emu {

void BufferRam::SetCapacity(size_t words) {
    capacity_ = std::max<size_t>(words, 1024);
    Clear();
}

size_t BufferRam::Push(const uint32_t* words, size_t count) {
    size_t room = capacity_ - queue_.size();
    size_t n = std::min(room, count);
    if (n < count) overflow_ = true;
    queue_.insert(queue_.end(), words, words + n);
    writeAddr_ = Wrap(uint64_t(writeAddr_) + n);
    TrimHistory();
    return n;
}

void BufferRam::TrimHistory() {
    while (!history_.empty() && history_.size() + queue_.size() > capacity_) history_.pop_front();
}

size_t BufferRam::Read(uint32_t* out, size_t count) {
    size_t n = std::min(count, queue_.size());
    for (size_t i = 0; i < n; ++i) {
        out[i] = queue_.front();
        history_.push_back(queue_.front());
        queue_.pop_front();
    }
    TrimHistory();
    readAddr_ = Wrap(uint64_t(readAddr_) + n);
    return n;
}

void BufferRam::SetReadPointer(uint32_t address) {
    uint64_t back = (uint64_t(readAddr_) + capacity_ - address % capacity_) % capacity_;
    if (back > 0 && back <= history_.size()) {
        for (uint64_t i = 0; i < back; ++i) {
            queue_.push_front(history_.back());
            history_.pop_back();
        }
    }
    readAddr_ = Wrap(address);
}

void BufferRam::ResetWritePointer() {
    writeAddr_ = 0;
    readAddr_ = Wrap(capacity_ - queue_.size() % capacity_);
    history_.clear();
}

void BufferRam::Clear() {
    queue_.clear();
    history_.clear();
    readAddr_ = writeAddr_ = 0;
    overflow_ = false;
}

}  // namespace lumora_emu
