// The scanner emulator's C entry (liblumoraemu.so), as the driver port and the USB library
// reach it: a kernel-driver-like open/request/close, the emulated clock, and the byte-level
// I2C and motor words a USB scanner's own firmware drives.
#pragma once
#include <cstdint>

namespace platform {

struct EmulatorEntry {
    int (*open)();
    int (*request)(int handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned);
    void (*close)(int handle);
    void (*wait_ms)(uint32_t ms);
    uint64_t (*now_ms)();
    int (*i2c_start)(uint8_t addressByte);
    int (*i2c_write)(uint8_t value);
    uint8_t (*i2c_read)(int acknowledge);
    void (*i2c_stop)();
    void (*motor_word)(uint16_t word);
};

// Loads the emulator once per process (beside this library first) and resolves its entry;
// null when the library or one of its functions is missing (the latter with a log line).
const EmulatorEntry* Emulator();

}  // namespace platform
