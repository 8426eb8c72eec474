#include "server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver_calls.h"
#include "lumora_emu/driver.h"
#include "lumora_emu/emulator.h"

namespace emud {

namespace {

constexpr size_t kMaxControlLine = 4096;
constexpr int kSendTimeoutSeconds = 10;  // a client that stops reading is dropped
constexpr int kFollowClockMs = 20;

bool FillAddress(const std::string& path, sockaddr_un* a) {
    std::memset(a, 0, sizeof *a);
    a->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof a->sun_path) return false;
    std::memcpy(a->sun_path, path.c_str(), path.size());
    return true;
}

int Listen(const std::string& path, std::string* error) {
    sockaddr_un a;
    if (!FillAddress(path, &a)) {
        *error = "socket path empty or longer than " + std::to_string(sizeof a.sun_path - 1) + " bytes: " + path;
        return -1;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return -1;
        }
        int probe = ConnectUnix(path);
        if (probe >= 0) {
            close(probe);
            *error = "a daemon already answers on " + path;
            return -1;
        }
        unlink(path.c_str());  // left by a daemon that died
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const void* data, size_t size) {
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

}  // namespace

int ConnectUnix(const std::string& path) {
    sockaddr_un a;
    if (!FillAddress(path, &a)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

Server::~Server() {
    for (size_t i = connections_.size(); i-- > 0;) Drop(i);
    if (driverListener_ >= 0) {
        close(driverListener_);
        unlink(driverPath_.c_str());
    }
    if (controlListener_ >= 0) {
        close(controlListener_);
        unlink(controlPath_.c_str());
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

bool Server::Start(const std::string& driverPath, const std::string& controlPath, std::string* error) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    driverListener_ = Listen(driverPath, error);
    if (driverListener_ < 0) return false;
    driverPath_ = driverPath;
    controlListener_ = Listen(controlPath, error);
    if (controlListener_ < 0) return false;
    controlPath_ = controlPath;
    return true;
}

void Server::Stop() {
    char byte = 1;
    if (wake_[1] >= 0) (void)!write(wake_[1], &byte, 1);
}

size_t Server::Drivers() const {
    size_t n = 0;
    for (const auto& c : connections_) n += c->control ? 0 : 1;
    return n;
}

void Server::Accept(int listener, bool control) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    timeval timeout{kSendTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    c->control = control;
    connections_.push_back(std::move(c));
}

void Server::Drop(size_t index) {
    Connection& c = *connections_[index];
    CloseHandles(&c.handles);
    close(c.fd);
    connections_.erase(connections_.begin() + long(index));
}

bool Server::Receive(Connection& c) {
    uint8_t buffer[65536];
    ssize_t n;
    do {
        n = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    if (n == 0) return false;
    c.in.insert(c.in.end(), buffer, buffer + n);
    return true;
}

bool Server::ProcessDriver(Connection& c) {
    size_t used = 0;
    std::vector<uint8_t> reply;
    while (!HoldReached(hold_) && c.in.size() - used >= sizeof(Request)) {
        Request q;
        std::memcpy(&q, c.in.data() + used, sizeof q);
        if (q.magic != kMagic || q.inSize > kMaxPayload) return false;  // not our protocol
        if (c.in.size() - used < sizeof q + q.inSize) break;
        reply.clear();
        Answer(q, c.in.data() + used + sizeof q, &c.handles, &reply);
        used += sizeof q + q.inSize;
        if (!WriteAll(c.fd, reply.data(), reply.size())) return false;
    }
    c.in.erase(c.in.begin(), c.in.begin() + long(used));
    return true;
}

bool Server::ProcessControl(Connection& c) {
    for (;;) {
        auto end = std::find(c.in.begin(), c.in.end(), uint8_t('\n'));
        if (end == c.in.end()) return c.in.size() <= kMaxControlLine;
        std::string line(c.in.begin(), end);
        c.in.erase(c.in.begin(), end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ControlContext context{&hold_, Drivers()};
        std::string answer = Execute(line, context) + "\n";
        if (context.quit) quit_ = true;  // also when the asker does not wait for the answer
        if (!WriteAll(c.fd, answer.data(), answer.size())) return false;
    }
}

bool Server::Process(Connection& c) { return c.control ? ProcessControl(c) : ProcessDriver(c); }

int Server::Run() {
    std::vector<pollfd> fds;
    while (!quit_) {
        const bool held = HoldReached(hold_);
        fds.clear();
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({driverListener_, POLLIN, 0});
        fds.push_back({controlListener_, POLLIN, 0});
        // Held driver connections are watched only for their end.
        for (const auto& c : connections_) fds.push_back({c->fd, short(c->control || !held ? POLLIN : 0), 0});
        // In the real-time modes the scanner goes on by itself (plates move, lines fill the
        // buffer RAM) also while no driver calls: follow the wall clock a few times a second.
        const bool stepped = lumora_emu::TheDevice().GetClockMode() == lumora_emu::ClockMode::Stepped;
        int ready = poll(fds.data(), fds.size(), stepped ? -1 : kFollowClockMs);
        if (!stepped) lumora_emu_now_ms();  // moves the device up to now
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::perror("lumora-emud: poll");
            return 1;
        }
        if (fds[0].revents) break;  // Stop()
        // Connections first (their indexes match fds), newest last so erasing keeps order.
        for (size_t i = connections_.size(); i-- > 0;) {
            short ev = fds[3 + i].revents;
            if (!ev) continue;
            Connection& c = *connections_[i];
            bool keep = true;
            if (ev & POLLIN) keep = Receive(c);
            else if (ev & (POLLHUP | POLLERR)) keep = false;
            if (keep) keep = Process(c);
            if (!keep) Drop(i);
        }
        // A release or a closed hold lets queued driver calls go on.
        if (!HoldReached(hold_))
            for (size_t i = connections_.size(); i-- > 0;)
                if (!connections_[i]->control && !connections_[i]->in.empty() && !Process(*connections_[i])) Drop(i);
        if (fds[1].revents & POLLIN) Accept(driverListener_, false);
        if (fds[2].revents & POLLIN) Accept(controlListener_, true);
    }
    return 0;
}

}  // namespace emud
