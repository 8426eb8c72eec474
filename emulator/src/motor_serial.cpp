#include "motor_serial.h"

#include "device_map.h"

namespace lumora_emu {

void MotorSerial::Reset() {
    last_ = 0;
    shift_ = 0;
    bits_ = 0;
    speed_ = 0;
    words_.clear();
}

void MotorSerial::WritePort(uint8_t value) {
    bool clockRise = !(last_ & bits::kMotorClock) && (value & bits::kMotorClock);
    bool loadHigh = (value & bits::kMotorLoad) != 0;
    bool loadFall = (last_ & bits::kMotorLoad) && !loadHigh;
    if (clockRise && !loadHigh) {
        shift_ = uint16_t(((shift_ << 1) | (value & bits::kMotorData)) & 0x1FFF);
        ++bits_;
    }
    if (loadFall) {
        if (bits_ >= 13) Receive(shift_);
        bits_ = 0;
        shift_ = 0;
    }
    last_ = value;
}

void MotorSerial::Receive(uint16_t word) {
    word &= 0x1FFF;
    words_.push_back(word);
    while (words_.size() > 64) words_.pop_front();
    if (word == kOffWord) {
        speed_ = 0;
        return;
    }
    int w = word;
    int d = 4223 - w;
    if (d <= 0) d = 4223 - (w - 8192);  // a negative 13-bit word (speeds below ~1420 rpm)
    speed_ = d > 0 ? uint32_t(6000000 / d) : 0;
}

}  // namespace lumora_emu
