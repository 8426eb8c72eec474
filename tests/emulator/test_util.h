// Helpers for the emulator tests: a fresh device per test, and a bit-banging I2C master and
// motor-port writer that work on raw register writes, independent of the driver library.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "lumora_emu/emulator.h"

namespace emutest {

class EmuTest : public ::testing::Test {
protected:
    void SetUp() override;
    lumora_emu::Device& dev = lumora_emu::TheDevice();
};

// I2C master on register 0x80: bit 7 SDA, bit 1 SCL.
struct PinMaster {
    lumora_emu::Device& d;
    void Pins(bool sda, bool scl) { d.WriteRegister8(0x80, uint8_t((sda ? 0x80 : 0) | (scl ? 0x02 : 0))); }
    int Sda() { return d.ReadRegister8(0x80); }
    void Start();   // also a repeated start
    void Stop();
    bool WriteByte(uint8_t v);  // true = acknowledged
    uint8_t ReadByte(bool ack);
};

void MotorWord(lumora_emu::Device& d, uint16_t word);  // bit-banged on register 0x82
void WriteFile(const std::string& path, const std::string& text);

}  // namespace emutest
