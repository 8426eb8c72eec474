// Byte-level I2C bus: whole bytes, as the pin decoder of register 0x80 or a USB scanner's
// firmware hands them over. Devices sit at 8-bit write addresses.
#pragma once
#include <cstdint>
#include <map>
#include <set>

#include "lumora_emu/emulator.h"

namespace lumora_emu {

class I2cDevice {
public:
    virtual ~I2cDevice() = default;
    // Whether the device acknowledges its address now (an EEPROM in its write cycle does not).
    virtual bool AcceptsAddress() { return true; }
    virtual void Begin(bool read) = 0;
    // A byte from the master; true = acknowledged.
    virtual bool Write(uint8_t value) = 0;
    virtual uint8_t Read() = 0;
    // The transaction ends: by a stop condition, or by a repeated start.
    virtual void End(bool byStop) {}
};

class I2cBus {
public:
    void Attach(uint8_t address, I2cDevice* device) { devices_[address & 0xFE] = device; }
    void Detach(uint8_t address) { devices_.erase(address & 0xFE); }
    void SetSilent(uint8_t address, bool silent);
    void ClearFaults() { silent_.clear(); }

    // Start (or repeated start) with the address byte; true when acknowledged.
    bool Start(uint8_t addressByte);
    bool Write(uint8_t value);
    uint8_t Read();
    void MasterAck(bool ack) { (void)ack; }
    void Stop();

    I2cTraffic traffic;

private:
    I2cDevice* Find(uint8_t address);
    std::map<uint8_t, I2cDevice*> devices_;
    std::set<uint8_t> silent_;
    I2cDevice* current_ = nullptr;
    bool reading_ = false;
};

}  // namespace lumora_emu
