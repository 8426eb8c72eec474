#include "netclient/client_state.h"

std::atomic<int32_t> ClientStatus{0};
std::atomic<int32_t> ClientOpened{0};
std::atomic<int32_t> ClientStarted{0};
std::atomic<int32_t> PrescanTaken{0};
std::atomic<int32_t> StatusThreadRun{0};

namespace {
std::atomic<const bool*> remoteSwitch{nullptr};
}

void SetRemoteSwitch(const bool* remoteFlag) { remoteSwitch.store(remoteFlag); }

bool RemoteSwitchOn() {
    const bool* flag = remoteSwitch.load();
    // The flag is a plain exported bool; it is read whole, as the API layer writes it.
    return !flag || __atomic_load_n(flag, __ATOMIC_RELAXED);
}
