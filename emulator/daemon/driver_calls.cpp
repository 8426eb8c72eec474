#include "driver_calls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lumora_emu/driver.h"
#include "lumora_emu/emulator.h"

namespace emud {

namespace {

void Put(std::vector<uint8_t>* out, const Reply& r, const uint8_t* data = nullptr) {
    const auto* head = reinterpret_cast<const uint8_t*>(&r);
    out->insert(out->end(), head, head + sizeof r);
    if (data && r.returned) out->insert(out->end(), data, data + r.returned);
}

}  // namespace

void Answer(const Request& q, const uint8_t* input, std::set<int>* handles, std::vector<uint8_t>* out) {
    Reply r{kMagic, 0, 0, 0, 0};
    lumora_emu::Device& device = lumora_emu::TheDevice();
    switch (q.op) {
        case kOpen:
            r.result = lumora_emu_open();
            if (r.result > 0) handles->insert(r.result);
            break;
        case kRequest: {
            // Only handles of this connection: another process's device handle is not ours.
            if (!handles->count(q.handle)) {
                r.result = EBADF;
                break;
            }
            if (q.outSize > kMaxPayload) {
                r.result = EINVAL;
                break;
            }
            std::vector<uint8_t> output(q.outSize);
            uint32_t returned = 0;
            r.result = lumora_emu_request(q.handle, q.code, q.inSize ? input : nullptr, q.inSize,
                                          q.outSize ? output.data() : nullptr, q.outSize, &returned);
            r.returned = r.result == 0 ? std::min(returned, q.outSize) : 0;
            Put(out, r, output.data());
            return;
        }
        case kClose:
            if (handles->erase(q.handle)) lumora_emu_close(q.handle);
            break;
        case kWaitMs: {
            // Stepped time moves here at once; in the real-time modes the caller sleeps, so
            // that one waiting driver does not hold up the others.
            uint64_t wallUs = device.WallUsFor(q.arg);
            if (wallUs == 0) device.WaitMs(q.arg);
            r.value = wallUs;
            break;
        }
        case kNowMs: r.value = lumora_emu_now_ms(); break;
        case kI2cStart: r.result = lumora_emu_i2c_start(uint8_t(q.arg)); break;
        case kI2cWrite: r.result = lumora_emu_i2c_write(uint8_t(q.arg)); break;
        case kI2cRead: r.result = lumora_emu_i2c_read(q.arg != 0 ? 1 : 0); break;
        case kI2cStop: lumora_emu_i2c_stop(); break;
        case kMotorWord: lumora_emu_motor_word(uint16_t(q.arg)); break;
        default: r.result = -ENOSYS; break;
    }
    Put(out, r);
}

void CloseHandles(std::set<int>* handles) {
    for (int h : *handles) lumora_emu_close(h);
    handles->clear();
}

}  // namespace emud
