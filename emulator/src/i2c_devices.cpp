#include "i2c_devices.h"

#include <cmath>

namespace lumora_emu {

void Eeprom::Begin(bool read) {
    expectPointer_ = !read;
    pending_.clear();
}

bool Eeprom::Write(uint8_t value) {
    if (expectPointer_) {
        pointer_ = value;
        expectPointer_ = false;
        return true;
    }
    if (!writable()) return false;
    pending_.emplace_back(pointer_++, value);
    return true;
}

void Eeprom::End(bool byStop) {
    if (byStop && !pending_.empty()) {
        for (auto& [addr, value] : pending_) data[addr] = value;
        busyUntilUs_ = clock_.NowUs() + cycleUs_;
        if (onCommit) onCommit();
    }
    pending_.clear();
}

bool AdcDac::Write(uint8_t value) {
    if (expectControl_) {
        expectControl_ = false;
        channel_ = value & 3;
        return true;
    }
    dac = value;
    ++dacWrites;
    return true;
}

uint8_t AdcDac::Read() {
    uint8_t result = previous_;
    previous_ = convert ? convert(channel_) : 0;
    return result;
}

void TempSensor::Begin(bool read) {
    expectPointer_ = !read;
    index_ = 0;
    if (read) latched_ = pointer_ == 0 ? Temperature() : pointer_ == 2 ? thyst : tos;
}

uint16_t TempSensor::Temperature() const {
    double c = celsius ? celsius() : 25.0;
    if (c > 125.0) c = 125.0;
    if (c < -55.0) c = -55.0;
    int halves = int(std::floor(c * 2.0));
    return uint16_t(int16_t(halves * 128));
}

bool TempSensor::Write(uint8_t value) {
    if (expectPointer_) {
        pointer_ = value & 3;
        expectPointer_ = false;
        index_ = 0;
        return true;
    }
    switch (pointer_) {
        case 1:
            config = value;
            return true;
        case 2:
        case 3: {
            uint16_t& reg = pointer_ == 2 ? thyst : tos;
            if (index_ == 0)
                reg = uint16_t((value << 8) | (reg & 0xFF));
            else if (index_ == 1)
                reg = uint16_t((reg & 0xFF00) | (value & 0x80));
            ++index_;
            return true;
        }
        default:
            return false;  // the temperature register is read-only
    }
}

uint8_t TempSensor::Read() {
    if (pointer_ == 1) return config;
    uint8_t b = (index_ & 1) == 0 ? uint8_t(latched_ >> 8) : uint8_t(latched_ & 0xFF);
    ++index_;
    return b;
}

}  // namespace lumora_emu
