// Port to the scanner's kernel driver: a device node driven with ioctl, or the emulator's
// driver adaptor in-process. LUMORA_EPP_DEVICE: unset = /dev/lumoradv, a path = that node,
// "emulator" = the emulator (liblumoraemu.so, loaded at run time).
#pragma once
#include <cstdint>

namespace platform {

#define LUMORA_DEFAULT_DEVICE "/dev/lumoradv"

class DriverPort {
public:
    // Opens the configured device; null on failure (LastError() tells why).
    static DriverPort* Open();
    virtual ~DriverPort() = default;
    // One driver request. true on success; on failure LastError() holds a positive errno.
    virtual bool Request(uint32_t code, const void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t* bytesReturned) = 0;
    // Name of the device as opened (for messages).
    virtual const char* Name() const = 0;
};

// The calling thread's last error (positive errno values, 0 = none).
int LastError();
void SetLastError(int error);

// The emulator's shared library, when the configured device names it: loaded once per
// process, beside liblumora.so first. Null when it cannot be loaded.
void* EmulatorLibrary();

}  // namespace platform
