#include "netclient/client_timings.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {
std::mutex timingsMutex;
ClientTimings timings;
}  // namespace

ClientTimings CurrentClientTimings() {
    std::lock_guard<std::mutex> lock(timingsMutex);
    return timings;
}

void SetClientTimings(const ClientTimings& t) {
    std::lock_guard<std::mutex> lock(timingsMutex);
    timings = t;
}

void ClientSleepMs(uint32_t ms) {
    if (ms) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
