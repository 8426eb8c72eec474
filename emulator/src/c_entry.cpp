// C entry of the emulator (driver.h): the driver port and the USB library call these.
#include <cerrno>
#include <mutex>
#include <new>

#include "device_state.h"
#include "lumora_emu/driver.h"

using lumora_emu::TheDevice;

extern "C" {

int lumora_emu_open(void) {
    try {
        auto& d = TheDevice();
        std::lock_guard<std::recursive_mutex> lock(d.Mutex());
        auto& s = d.Internal();
        int h = s.nextHandle++;
        s.handles.insert(h);
        return h;
    } catch (...) {
        return -ENOMEM;
    }
}

int lumora_emu_request(int handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* returned) {
    try {
        auto& d = TheDevice();
        std::lock_guard<std::recursive_mutex> lock(d.Mutex());
        return d.Internal().Request(handle, code, in, inSize, out, outSize, returned);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return EIO;
    }
}

void lumora_emu_close(int handle) {
    auto& d = TheDevice();
    std::lock_guard<std::recursive_mutex> lock(d.Mutex());
    d.Internal().handles.erase(handle);
}

void lumora_emu_wait_ms(uint32_t ms) { TheDevice().WaitMs(ms); }
uint64_t lumora_emu_now_ms(void) {
    auto& d = TheDevice();
    std::lock_guard<std::recursive_mutex> lock(d.Mutex());
    d.Internal().Sync();  // in the real-time modes the clock follows the wall clock
    return d.Internal().clock.NowMs();
}

int lumora_emu_i2c_start(uint8_t addressByte) { return TheDevice().I2cStart(addressByte); }
int lumora_emu_i2c_write(uint8_t value) { return TheDevice().I2cWrite(value); }
uint8_t lumora_emu_i2c_read(int acknowledge) { return TheDevice().I2cRead(acknowledge != 0); }
void lumora_emu_i2c_stop(void) { TheDevice().I2cStop(); }

void lumora_emu_motor_word(uint16_t word) {
    auto& d = TheDevice();
    std::lock_guard<std::recursive_mutex> lock(d.Mutex());
    d.Internal().motor.Receive(word);
}

}
