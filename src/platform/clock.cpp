#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
std::atomic<const ClockBackend*> backend{nullptr};
}

void SetClockBackend(const ClockBackend* b) { backend.store(b); }

void WaitMs(uint32_t ms) {
    if (const ClockBackend* b = backend.load(); b && b->wait_ms) {
        b->wait_ms(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t NowMs() {
    if (const ClockBackend* b = backend.load(); b && b->now_ms) return b->now_ms();
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

}  // namespace platform
