#include "scanner/device_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumora/lumora.h"
#include "platform/driver_port.h"
#include "platform/log_channel.h"
#include "platform/runtime_lock.h"

namespace {

int heldLock = -1;  // descriptor holding the lock while the scanner is open

// The device the EPP path opens, as a name for its lock file.
std::string DeviceName() {
    const char* configured = std::getenv("LUMORA_EPP_DEVICE");
    std::string device = configured && *configured ? configured : LUMORA_DEFAULT_DEVICE;
    if (device == "emulator") {
        const char* file = std::getenv("LUMORA_EMULATOR");
        device = std::string("emulator:") + (file && *file ? file : "");
    }
    return device;
}

// Lock-file name: "EPP_SCANNER_USED" and the device with '/' turned into '_'.
std::string LockName(const std::string& device) {
    std::string name = "EPP_SCANNER_USED" + device;
    for (char& c : name)
        if (c == '/') c = '_';
    if (name.size() > 200) name.resize(200);  // a file name, whatever the path
    return name + ".lock";
}

}  // namespace

int LockEppDevice() {
    UnlockEppDevice();
    const std::string device = DeviceName();
    int holder = 0;
    heldLock = platform::TakeRuntimeLock(LockName(device), &holder);
    if (heldLock >= 0) return 0;
    if (errno == EWOULDBLOCK) {
        if (holder)
            LogPrint(LOG_ERROR, "scanner %s is in use by process %d", device.c_str(), holder);
        else
            LogPrint(LOG_ERROR, "scanner %s is in use by another process", device.c_str());
    } else {
        LogPrint(LOG_ERROR, "can't lock scanner %s in %s: %s", device.c_str(),
                 platform::RuntimeDir().c_str(), std::strerror(errno));
    }
    return LUMORA_E_INIT;
}

void UnlockEppDevice() {
    platform::ReleaseRuntimeLock(heldLock);
    heldLock = -1;
}
