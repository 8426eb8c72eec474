#include "test_util.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace emutest {

void EmuTest::SetUp() {
    dev.Reset(false);
    dev.SetFirmwareRunning(true);
}

void PinMaster::Start() {
    Pins(true, true);
    Pins(false, true);
    Pins(false, false);
    Pins(true, false);
}

void PinMaster::Stop() {
    Pins(false, false);
    Pins(false, true);
    Pins(true, true);
}

bool PinMaster::WriteByte(uint8_t v) {
    for (int bit = 7; bit >= 0; --bit) {
        bool b = (v >> bit) & 1;
        Pins(b, false);
        Pins(b, true);
        Pins(b, false);
    }
    Pins(true, false);
    Pins(true, true);
    int ack = Sda();
    Pins(true, false);
    return ack == 0;
}

uint8_t PinMaster::ReadByte(bool ack) {
    uint8_t v = 0;
    Pins(true, false);
    for (int i = 0; i < 8; ++i) {
        Pins(true, true);
        v = uint8_t((v << 1) | Sda());
        Pins(true, false);
    }
    if (ack) {
        Pins(false, false);
        Pins(false, true);
        Pins(false, false);
        Pins(true, false);
    } else {
        Pins(true, true);
        Pins(true, false);
    }
    return v;
}

void MotorWord(lumora_emu::Device& d, uint16_t word) {
    d.WriteRegister8(0x82, 0);
    for (int bit = 12; bit >= 0; --bit) {
        uint8_t b = (word >> bit) & 1;
        d.WriteRegister8(0x82, b);
        d.WriteRegister8(0x82, b | 2);
        d.WriteRegister8(0x82, b);
    }
    for (uint8_t v : {4, 6, 4, 0}) d.WriteRegister8(0x82, v);
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

}  // namespace emutest
