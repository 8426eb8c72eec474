// The messages between the driver side and lumora-emud on the driver socket. Each call of the
// emulator's C entry is one request and one reply, in the byte order of the machine (both
// ends run on it). The client side keeps its own copy of these numbers; a test holds the two
// to the same values.
#pragma once
#include <cstdint>

namespace emud {

constexpr uint32_t kMagic = 0x554D454C;              // "LEMU"
constexpr uint32_t kMaxPayload = 16u << 20;          // bytes of a request's input or output

enum Op : uint32_t {
    kOpen = 1,        // result: handle > 0 or -errno
    kRequest = 2,     // handle, code, inSize input bytes, outSize; result: 0 or errno, then `returned` bytes
    kClose = 3,       // handle
    kWaitMs = 4,      // arg: ms; value: microseconds the caller sleeps itself (0 in stepped mode)
    kNowMs = 5,       // value: emulated milliseconds
    kI2cStart = 6,    // arg: address byte; result: 0 acknowledged, 1 not
    kI2cWrite = 7,    // arg: byte; result as above
    kI2cRead = 8,     // arg: 1 acknowledge; result: the byte
    kI2cStop = 9,
    kMotorWord = 10,  // arg: the word
};

struct Request {
    uint32_t magic;
    uint32_t op;
    uint32_t arg;
    int32_t handle;
    uint32_t code;
    uint32_t inSize;   // input bytes following this header
    uint32_t outSize;  // room for output
    uint32_t reserved;
};
static_assert(sizeof(Request) == 32, "Request layout");

struct Reply {
    uint32_t magic;
    int32_t result;
    uint32_t returned;  // output bytes following this header
    uint32_t reserved;
    uint64_t value;
};
static_assert(sizeof(Reply) == 24, "Reply layout");

}  // namespace emud
