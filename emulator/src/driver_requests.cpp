// The driver requests, with the input and output sizes a real driver checks.
#include <cerrno>
#include <cstring>

#include "device_state.h"
#include "device_map.h"

namespace lumora_emu {

namespace {

uint32_t Load32(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Store(void* out, const void* value, uint32_t n, uint32_t* returned) {
    std::memcpy(out, value, n);
    *returned = n;
}

}  // namespace

int State::Request(int handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned) {
    uint32_t dummy = 0;
    if (!returned) returned = &dummy;
    *returned = 0;
    if (!handles.count(handle)) return EBADF;
    if ((inSize && !in) || (outSize && !out)) return EFAULT;
    ++requests;
    Sync();

    // Inputs must have their exact size; outputs at least theirs, and none where none is due.
    auto sizes = [&](uint32_t wantIn, uint32_t minOut) {
        return inSize == wantIn && (minOut ? outSize >= minOut : outSize == 0);
    };
    switch (code) {
        case requests::kClaimPort:
            if (!sizes(0, 0)) return EINVAL;
            claimed = true;
            return 0;
        case requests::kReleasePort:
            if (!sizes(0, 0)) return EINVAL;
            claimed = false;
            return 0;
        case requests::kPortInfo: {
            if (!sizes(0, 16)) return EINVAL;
            const uint32_t info[4] = {0x378, 0x778, 4 /* EPP mode */, 0x00020601};
            Store(out, info, 16, returned);
            return 0;
        }
        case requests::kInterfaceStatus: {
            if (!sizes(0, 4)) return EINVAL;
            uint32_t st = firmwareRunning ? requests::kRunningBit : 0;
            Store(out, &st, 4, returned);
            return 0;
        }
        case requests::kConfigStatus: {
            if (!sizes(0, 4)) return EINVAL;
            uint32_t st = configBit4 ? requests::kRunningBit : 0;
            Store(out, &st, 4, returned);
            return 0;
        }
        case requests::kDownload: {
            if (inSize == 0 || outSize < 4) return EINVAL;
            lastFirmware.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inSize);
            FirmwareRestart();
            firmwareRunning = !downloadFails;
            uint32_t st = firmwareRunning ? requests::kRunningBit : 0;
            Store(out, &st, 4, returned);
            return 0;
        }
        case requests::kSelect:
            if (!sizes(4, 0)) return EINVAL;
            selected = Load32(in);
            return 0;
        case requests::kRead8: {
            if (!sizes(4, 1)) return EINVAL;
            uint8_t v = Read8(Load32(in));
            Store(out, &v, 1, returned);
            return 0;
        }
        case requests::kRead16: {
            if (inSize == 0) {  // block read from the selected register
                if (selected != registers::kScanData) return EINVAL;
                size_t want = outSize / 4;
                if (!firmwareRunning) return EIO;
                uint32_t* words = static_cast<uint32_t*>(out);
                size_t got = 0;
                if (reinterpret_cast<uintptr_t>(out) % alignof(uint32_t) == 0) {
                    got = BlockRead(words, want);
                } else {
                    std::vector<uint32_t> tmp(want);
                    got = BlockRead(tmp.data(), want);
                    std::memcpy(out, tmp.data(), got * 4);
                }
                *returned = uint32_t(got * 4);
                return 0;
            }
            if (!sizes(4, 2)) return EINVAL;
            uint16_t v = Read16(Load32(in));
            Store(out, &v, 2, returned);
            return 0;
        }
        case requests::kRead32: {
            if (!sizes(4, 4)) return EINVAL;
            uint32_t v = Read32(Load32(in));
            Store(out, &v, 4, returned);
            return 0;
        }
        case requests::kWrite8:
            if (!sizes(1, 0)) return EINVAL;
            Write8(selected, *static_cast<const uint8_t*>(in));
            return 0;
        case requests::kWrite16: {
            if (!sizes(2, 0)) return EINVAL;
            uint16_t v;
            std::memcpy(&v, in, 2);
            Write16(selected, v);
            return 0;
        }
        case requests::kWrite32:
            if (!sizes(4, 0)) return EINVAL;
            Write32(selected, Load32(in));
            return 0;
        default:
            return ENOTTY;
    }
}

}  // namespace lumora_emu
