// The one clock of the library: every wait goes through WaitMs so that an emulated device
// can advance its own time instead of the caller sleeping.
#pragma once
#include <cstdint>

namespace platform {

struct ClockBackend {
    void (*wait_ms)(uint32_t ms);
    uint64_t (*now_ms)();
};

void WaitMs(uint32_t ms);
uint64_t NowMs();
// Installs a backend (null restores the wall clock).
void SetClockBackend(const ClockBackend* backend);

}  // namespace platform
