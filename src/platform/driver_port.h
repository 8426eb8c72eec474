// Port to the scanner's kernel driver: a device node driven with ioctl, or the emulator's
// driver adaptor in-process. LUMORA_EPP_DEVICE: unset = /dev/lumoradv, a path = that node,
// "emulator" = the emulator (liblumoraemu.so, loaded at run time), "unix:PATH" = the emulator in
// the lumora-emud daemon listening on that socket.
#pragma once
#include <cstdint>

namespace platform {

#define LUMORA_DEFAULT_DEVICE "/dev/lumoradv"

// Argument of every ioctl on the device node. The request number is the driver code itself
// (0x222004 ... 0x222048); the buffers travel by address. The driver copies inSize bytes from
// in, writes at most outSize bytes to out and stores the count written in returned. A size
// that does not fit the request is refused with EINVAL; an unknown code with ENOTTY.
struct DriverIoctl {
    uint64_t in;        // user address of the input buffer (0 when inSize is 0)
    uint64_t out;       // user address of the output buffer (0 when outSize is 0)
    uint32_t inSize;
    uint32_t outSize;
    uint32_t returned;  // set by the driver
    uint32_t reserved;  // 0
};
static_assert(sizeof(DriverIoctl) == 32, "DriverIoctl layout");

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

}  // namespace platform
