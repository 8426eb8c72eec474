#include "i2c_bus.h"

namespace lumora_emu {

void I2cBus::SetSilent(uint8_t address, bool silent) {
    if (silent)
        silent_.insert(address & 0xFE);
    else
        silent_.erase(address & 0xFE);
}

I2cDevice* I2cBus::Find(uint8_t address) {
    address &= 0xFE;
    if (silent_.count(address)) return nullptr;
    auto it = devices_.find(address);
    return it == devices_.end() ? nullptr : it->second;
}

bool I2cBus::Start(uint8_t addressByte) {
    ++traffic.starts;
    ++traffic.bytesWritten;
    if (current_) current_->End(false);
    current_ = nullptr;
    I2cDevice* dev = Find(addressByte);
    if (!dev || !dev->AcceptsAddress()) {
        ++traffic.nacks;
        return false;
    }
    current_ = dev;
    reading_ = (addressByte & 1) != 0;
    dev->Begin(reading_);
    return true;
}

bool I2cBus::Write(uint8_t value) {
    ++traffic.bytesWritten;
    bool ack = current_ && !reading_ && current_->Write(value);
    if (!ack) ++traffic.nacks;
    return ack;
}

uint8_t I2cBus::Read() {
    ++traffic.bytesRead;
    if (!current_ || !reading_) return 0xFF;
    return current_->Read();
}

void I2cBus::Stop() {
    ++traffic.stops;
    if (current_) current_->End(true);
    current_ = nullptr;
}

}  // namespace lumora_emu
