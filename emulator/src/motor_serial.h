// Serial port of the polygon-motor controller (register 0x82: bit 0 data, bit 1 clock,
// bit 2 load). 13-bit words, MSB first, shifted on the rising clock while load is low and
// latched when the load pulse ends.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

namespace lumora_emu {

class MotorSerial {
public:
    static constexpr uint16_t kOffWord = 6819;
    void Reset();
    void WritePort(uint8_t value);
    void Receive(uint16_t word);
    std::vector<uint16_t> Words() const { return {words_.begin(), words_.end()}; }
    void ClearWords() { words_.clear(); }
    // Polygon speed in rpm from the last word (w = 4223 - 6000000 / speed), 0 when off.
    uint32_t Speed() const { return speed_; }

private:
    uint8_t last_ = 0;
    uint16_t shift_ = 0;
    int bits_ = 0;
    uint32_t speed_ = 0;
    std::deque<uint16_t> words_;
};

}  // namespace lumora_emu
