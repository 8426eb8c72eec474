#include "platform/driver_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/log_channel.h"
#include "platform/clock.h"
#include "platform/emulator_daemon.h"
#include "platform/emulator_entry.h"

namespace platform {

namespace {

thread_local int lastError = 0;

ClockBackend emulatorClock{};

// A device node driven with ioctl: the request number is the driver code, the argument a
// DriverIoctl.
class NodePort : public DriverPort {
public:
    NodePort(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~NodePort() override { ::close(fd_); }

    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned) override {
        DriverIoctl arg{};
        arg.in = reinterpret_cast<uintptr_t>(in);
        arg.out = reinterpret_cast<uintptr_t>(out);
        arg.inSize = in ? inSize : 0;
        arg.outSize = out ? outSize : 0;
        int rc;
        do {
            rc = ::ioctl(fd_, static_cast<unsigned long>(code), &arg);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            SetLastError(errno ? errno : EIO);
            if (bytesReturned) *bytesReturned = 0;
            return false;
        }
        if (bytesReturned) *bytesReturned = arg.returned;
        return true;
    }
    const char* Name() const override { return name_.c_str(); }

private:
    int fd_;
    std::string name_;
};

// The emulator's driver adaptor, in the same process or in the lumora-emud daemon. Its waits
// advance emulated time.
class EmulatorPort : public DriverPort {
public:
    EmulatorPort(const EmulatorEntry* emulator, int handle, std::string name)
        : emulator_(emulator), handle_(handle), name_(std::move(name)) {
        emulatorClock.wait_ms = emulator->wait_ms;
        emulatorClock.now_ms = emulator->now_ms;
        SetClockBackend(&emulatorClock);
    }
    ~EmulatorPort() override { emulator_->close(handle_); }

    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned) override {
        uint32_t returned = 0;
        int rc = emulator_->request(handle_, code, in, in ? inSize : 0, out, out ? outSize : 0,
                                  &returned);
        if (bytesReturned) *bytesReturned = rc == 0 ? returned : 0;
        if (rc != 0) {
            SetLastError(rc > 0 ? rc : EIO);
            return false;
        }
        return true;
    }
    const char* Name() const override { return name_.c_str(); }

private:
    const EmulatorEntry* emulator_;
    int handle_;
    std::string name_;
};

DriverPort* OpenEmulator(const EmulatorEntry* emulator, const char* name) {
    int handle = emulator->open();
    if (handle <= 0) {
        SetLastError(handle < 0 ? -handle : ENODEV);
        return nullptr;
    }
    return new EmulatorPort(emulator, handle, name);
}

}  // namespace

int LastError() { return lastError; }
void SetLastError(int error) { lastError = error; }

DriverPort* DriverPort::Open() {
    const char* configured = std::getenv("LUMORA_EPP_DEVICE");
    if (configured && std::strcmp(configured, "emulator") == 0) {
        const EmulatorEntry* emulator = Emulator();
        if (!emulator) {
            LogPrint(LOG_ERROR, "can't load the scanner emulator liblumoraemu.so");
            SetLastError(ENOENT);
            return nullptr;
        }
        return OpenEmulator(emulator, "emulator");
    }
    if (const char* socket = DaemonSocket(configured)) {
        DriverPort* port = OpenEmulator(EmulatorDaemon(socket), configured);
        if (!port)
            LogPrint(LOG_ERROR, "can't reach the scanner emulator daemon at %s: %s", socket,
                     std::strerror(LastError()));
        return port;
    }
    const char* path = (configured && *configured) ? configured : LUMORA_DEFAULT_DEVICE;
    // Only ioctl is used: read access is enough where write access is not granted.
    int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno ? errno : ENODEV);
        return nullptr;
    }
    return new NodePort(fd, path);
}

}  // namespace platform
