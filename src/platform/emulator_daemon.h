// The scanner emulator in the lumora-emud daemon, reached over its Unix socket ("unix:PATH"
// in LUMORA_EPP_DEVICE or LUMORA_USB_DEVICE) through the same entry as the in-process
// emulator. The scanner then outlives the application: what a killed process left in its
// memory is still there for the next one.
#pragma once
#include <cstdint>

#include "platform/emulator_entry.h"

namespace platform {

// Prefix of a device setting that names the daemon's socket.
constexpr const char* kDaemonPrefix = "unix:";

// The socket path of a setting "unix:PATH"; null for any other setting.
const char* DaemonSocket(const char* setting);

// The entry that forwards every call to the daemon at socketPath. One connection per
// process, opened by the first call (and again after the daemon went away). When the daemon
// cannot be reached, open gives -errno, requests EIO, I2C bytes are not acknowledged, and the
// clock follows the wall clock from the last time the daemon told.
const EmulatorEntry* EmulatorDaemon(const char* socketPath);

// The wire between the driver side and the daemon (a test holds it to the daemon's copy).
namespace daemon_wire {

constexpr uint32_t kMagic = 0x554D454C;      // "LEMU"
constexpr uint32_t kMaxPayload = 16u << 20;  // bytes of a request's input or output

enum Op : uint32_t {
    kOpen = 1,
    kRequest = 2,
    kClose = 3,
    kWaitMs = 4,
    kNowMs = 5,
    kI2cStart = 6,
    kI2cWrite = 7,
    kI2cRead = 8,
    kI2cStop = 9,
    kMotorWord = 10,
};

struct Request {
    uint32_t magic;
    uint32_t op;
    uint32_t arg;
    int32_t handle;
    uint32_t code;
    uint32_t inSize;
    uint32_t outSize;
    uint32_t reserved;
};
static_assert(sizeof(Request) == 32, "Request layout");

struct Reply {
    uint32_t magic;
    int32_t result;
    uint32_t returned;
    uint32_t reserved;
    uint64_t value;
};
static_assert(sizeof(Reply) == 24, "Reply layout");

}  // namespace daemon_wire

}  // namespace platform
