#include "platform/emulator_daemon.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/log_channel.h"

namespace platform {

namespace {

namespace w = daemon_wire;

constexpr size_t kPathRoom = sizeof(sockaddr_un::sun_path);

// The process's connection to the daemon. Calls are one exchange each, one at a time.
struct Link {
    std::mutex mu;
    char path[kPathRoom] = "";
    bool pathTooLong = false;
    int fd = -1;
    bool reported = false;  // the loss of the daemon was logged
    uint64_t lastNowMs = 0;
    std::chrono::steady_clock::time_point lastNowAt = std::chrono::steady_clock::now();
};

Link& TheLink() {
    // Never destroyed, since calls may come while the process ends; kept in static storage
    // and holding no heap memory, so that nothing of it is left over when the library goes.
    alignas(Link) static unsigned char storage[sizeof(Link)];
    static Link* link = new (storage) Link;
    return *link;
}

bool SendAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool ReceiveAll(int fd, void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Connects when not connected; the errno of a failure.
int Connect(Link& l) {
    if (l.fd >= 0) return 0;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (l.pathTooLong || !l.path[0]) return ENAMETOOLONG;
    std::memcpy(a.sun_path, l.path, sizeof a.sun_path);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        int e = errno;
        close(fd);
        return e;
    }
    l.fd = fd;
    l.reported = false;
    return 0;
}

void Disconnect(Link& l) {
    if (l.fd < 0) return;
    close(l.fd);
    l.fd = -1;
    if (!l.reported) LogPrint(LOG_ERROR, "lost the scanner emulator daemon at %s", l.path);
    l.reported = true;
}

// One exchange. out receives at most outSize reply bytes. The errno of a failure (the
// connection is then closed), else 0.
int Exchange(Link& l, w::Request q, const void* in, void* out, w::Reply* r) {
    int e = Connect(l);
    if (e) return e;
    q.magic = w::kMagic;
    std::vector<uint8_t> message(sizeof q + q.inSize);
    std::memcpy(message.data(), &q, sizeof q);
    if (q.inSize) std::memcpy(message.data() + sizeof q, in, q.inSize);
    bool ok = SendAll(l.fd, message.data(), message.size()) && ReceiveAll(l.fd, r, sizeof *r) &&
              r->magic == w::kMagic && r->returned <= q.outSize;
    if (ok && r->returned) ok = ReceiveAll(l.fd, out, r->returned);
    if (!ok) {
        Disconnect(l);
        return EIO;
    }
    return 0;
}

// A call without data; the reply, or a zero reply with *failed set.
w::Reply Simple(uint32_t op, uint32_t arg = 0, int handle = 0, bool* failed = nullptr) {
    Link& l = TheLink();
    std::lock_guard<std::mutex> lock(l.mu);
    w::Request q{};
    q.op = op;
    q.arg = arg;
    q.handle = handle;
    w::Reply r{};
    int e = Exchange(l, q, nullptr, nullptr, &r);
    if (failed) *failed = e != 0;
    if (e) r = w::Reply{};
    return r;
}

int Open() {
    Link& l = TheLink();
    std::lock_guard<std::mutex> lock(l.mu);
    w::Request q{};
    q.op = w::kOpen;
    w::Reply r{};
    int e = Exchange(l, q, nullptr, nullptr, &r);
    return e ? -e : r.result;
}

int Request(int handle, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
            uint32_t* returned) {
    if (returned) *returned = 0;
    if ((inSize && !in) || (outSize && !out)) return EFAULT;
    if (inSize > w::kMaxPayload || outSize > w::kMaxPayload) return EINVAL;
    Link& l = TheLink();
    std::lock_guard<std::mutex> lock(l.mu);
    w::Request q{};
    q.op = w::kRequest;
    q.handle = handle;
    q.code = code;
    q.inSize = inSize;
    q.outSize = outSize;
    w::Reply r{};
    if (int e = Exchange(l, q, in, out, &r)) return e;
    if (returned) *returned = r.returned;
    return r.result;
}

void Close(int handle) { Simple(w::kClose, 0, handle); }

uint64_t NowMs() {
    Link& l = TheLink();
    bool failed = false;
    w::Reply r = Simple(w::kNowMs, 0, 0, &failed);
    std::lock_guard<std::mutex> lock(l.mu);
    auto now = std::chrono::steady_clock::now();
    if (failed) {
        auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - l.lastNowAt).count();
        return l.lastNowMs + uint64_t(since > 0 ? since : 0);
    }
    l.lastNowMs = r.value;
    l.lastNowAt = now;
    return r.value;
}

void WaitMs(uint32_t ms) {
    bool failed = false;
    w::Reply r = Simple(w::kWaitMs, ms, 0, &failed);
    uint64_t sleepUs = failed ? uint64_t(ms) * 1000 : r.value;
    if (sleepUs) std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
}

int I2cStart(uint8_t address) {
    bool failed = false;
    w::Reply r = Simple(w::kI2cStart, address, 0, &failed);
    return failed ? 1 : r.result;
}

int I2cWrite(uint8_t value) {
    bool failed = false;
    w::Reply r = Simple(w::kI2cWrite, value, 0, &failed);
    return failed ? 1 : r.result;
}

uint8_t I2cRead(int acknowledge) {
    bool failed = false;
    w::Reply r = Simple(w::kI2cRead, acknowledge ? 1 : 0, 0, &failed);
    return failed ? 0xFF : uint8_t(r.result);
}

void I2cStop() { Simple(w::kI2cStop); }
void MotorWord(uint16_t word) { Simple(w::kMotorWord, word); }

const EmulatorEntry kEntry{Open, Request, Close, WaitMs, NowMs, I2cStart, I2cWrite, I2cRead, I2cStop, MotorWord};

}  // namespace

const char* DaemonSocket(const char* setting) {
    const size_t n = std::strlen(kDaemonPrefix);
    if (!setting || std::strncmp(setting, kDaemonPrefix, n) != 0) return nullptr;
    return setting + n;
}

const EmulatorEntry* EmulatorDaemon(const char* socketPath) {
    if (!socketPath) return nullptr;
    Link& l = TheLink();
    std::lock_guard<std::mutex> lock(l.mu);
    const size_t length = std::strlen(socketPath);
    if (std::strncmp(l.path, socketPath, kPathRoom) != 0 || l.pathTooLong != (length >= kPathRoom)) {
        if (l.fd >= 0) close(l.fd);
        l.fd = -1;
        l.pathTooLong = length >= kPathRoom;
        std::memset(l.path, 0, kPathRoom);
        if (!l.pathTooLong) std::memcpy(l.path, socketPath, length);
    }
    return &kEntry;
}

}  // namespace platform
