// Log channel targets: "udp://HOST:PORT" (one datagram per line), "file:PATH" (appended,
// directories created) and "stderr". A line carries local time with milliseconds, the level,
// the channel name, process and thread id, and the message.
#include "platform/log.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/tools.h"

namespace {

enum class TargetKind { None, Udp, File, Stderr };

}  // namespace

struct Log::Impl {
    std::mutex mutex;
    std::string target;
    std::string option;
    std::string channel;
    TargetKind kind = TargetKind::None;
    int socket = -1;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    FILE* file = nullptr;

    void open() {
        if (target.rfind("udp://", 0) == 0) {
            std::string hostPort = target.substr(6);
            size_t colon = hostPort.rfind(':');
            std::string host = colon == std::string::npos ? hostPort : hostPort.substr(0, colon);
            std::string port = colon == std::string::npos ? "7447" : hostPort.substr(colon + 1);
            if (!host.empty() && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
            addrinfo hints{};
            hints.ai_socktype = SOCK_DGRAM;
            hints.ai_flags = AI_NUMERICSERV;
            addrinfo* result = nullptr;
            if (getaddrinfo(host.c_str(), port.c_str(), &hints, &result) != 0 || !result) return;
            socket = ::socket(result->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (socket >= 0) {
                std::memcpy(&address, result->ai_addr, result->ai_addrlen);
                addressLength = result->ai_addrlen;
                kind = TargetKind::Udp;
            }
            freeaddrinfo(result);
        } else if (target.rfind("file:", 0) == 0) {
            file = fopen_ex(target.c_str() + 5, "ae");
            if (file) kind = TargetKind::File;
        } else if (target == "stderr") {
            kind = TargetKind::Stderr;
        }
    }

    void close() {
        if (socket >= 0) ::close(socket);
        socket = -1;
        if (file) fclose(file);
        file = nullptr;
        kind = TargetKind::None;
    }

    void write(int level, const char* tag, const char* message) {
        timeval now{};
        gettimeofday(&now, nullptr);
        tm local{};
        time_t seconds = now.tv_sec;
        localtime_r(&seconds, &local);
        char line[8192];
        int n = std::snprintf(line, sizeof line,
                              "%04d-%02d-%02d %02d:%02d:%02d.%03d %d %s %d:%ld %s%s%s",
                              local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec, int(now.tv_usec / 1000), level,
                              channel.c_str(), int(getpid()), long(syscall(SYS_gettid)),
                              tag ? tag : "", tag ? ": " : "", message);
        if (n < 0) return;
        size_t length = std::min(size_t(n), sizeof line - 2);
        std::lock_guard<std::mutex> lock(mutex);
        switch (kind) {
        case TargetKind::Udp:
            (void)sendto(socket, line, length, MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr*>(&address), addressLength);
            break;
        case TargetKind::File:
            line[length] = '\n';
            fwrite(line, 1, length + 1, file);
            fflush(file);
            break;
        case TargetKind::Stderr:
            line[length] = '\n';
            fwrite(line, 1, length + 1, stderr);
            break;
        case TargetKind::None:
            break;
        }
    }
};

Log::Log(const char* target, int level, const char* option, const char* channel)
    : impl_(new Impl), level_(level) {
    impl_->target = target ? target : "";
    impl_->option = option ? option : "";
    impl_->channel = channel ? channel : "";
    impl_->open();
}

Log::~Log() {
    impl_->close();
    delete impl_;
}

const char* Log::target() const { return impl_->target.c_str(); }

void Log::vprintf(int level, const char* format, va_list args) {
    if (level > level_ || !format) return;
    char message[4096];
    std::vsnprintf(message, sizeof message, format, args);
    impl_->write(level, nullptr, message);
}

void Log::printf(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(level, format, args);
    va_end(args);
}

void Log::log(int level, const char* tag, const char* format, ...) {
    if (level > level_ || !format) return;
    char message[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    impl_->write(level, tag, message);
}
