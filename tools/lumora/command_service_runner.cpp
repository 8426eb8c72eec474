#include "command_service_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* MEASUREMENT_ENV = "LUMORA_MEASUREMENT_FILE";
constexpr int POLL_MS = 200;
constexpr int QUIET_REPORT_S = 5;  // a line of elapsed time after this many quiet seconds

volatile sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

struct Api {
    decltype(&::ApiInit) apiInit;
    decltype(&::Open_Scanner) open;
    decltype(&::Close_Scanner) close;
    decltype(&::Ext_ScannerCTRL) control;
    bool Resolve(Library& l) {
        apiInit = LUMORA_FUNCTION(l, ApiInit);
        open = LUMORA_FUNCTION(l, Open_Scanner);
        close = LUMORA_FUNCTION(l, Close_Scanner);
        control = LUMORA_FUNCTION(l, Ext_ScannerCTRL);
        return apiInit && open && close && control;
    }
};

// Open_Scanner leaves the scanner open only when it returns 0 (a warning closes it again).
bool Opened(int result) { return result == 0; }

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// The child: one record per request (result, out length, out bytes) after the open's result.
[[noreturn]] void Child(Api& api, int paramSet, const std::vector<ServiceRequest>& requests,
                        int fd) {
    signal(SIGINT, SIG_IGN);  // the parent decides what Ctrl-C means
    int32_t open = api.open(paramSet);
    WriteAll(fd, &open, sizeof open);
    if (!Opened(open)) _exit(0);
    for (const ServiceRequest& r : requests) {
        std::vector<uint8_t> out(size_t(r.outSize));
        int outLen = 0;
        int32_t head[2];
        head[0] = api.control(r.code, r.in.empty() ? nullptr : r.in.data(), int(r.in.size()),
                              out.empty() ? nullptr : out.data(), r.outSize, &outLen);
        head[1] = outLen >= 0 && outLen <= r.outSize ? outLen : 0;
        if (!WriteAll(fd, head, sizeof head) || !WriteAll(fd, out.data(), size_t(head[1]))) break;
    }
    api.close();
    close(fd);
    _exit(0);
}

// Parses the child's records from the bytes received so far.
void Parse(const std::vector<uint8_t>& bytes, ServiceSession* s, bool* opened) {
    size_t at = 0;
    if (bytes.size() < 4) return;
    int32_t open;
    std::memcpy(&open, bytes.data(), 4);
    s->openResult = open;
    *opened = true;
    at = 4;
    s->replies.clear();
    while (bytes.size() >= at + 8) {
        int32_t head[2];
        std::memcpy(head, bytes.data() + at, 8);
        if (bytes.size() < at + 8 + size_t(head[1])) break;
        ServiceReply reply;
        reply.result = head[0];
        reply.out.assign(bytes.begin() + long(at + 8), bytes.begin() + long(at + 8 + size_t(head[1])));
        s->replies.push_back(reply);
        at += 8 + size_t(head[1]);
    }
}

// Prints the lines added to the measurement file since the last call.
class Follower {
public:
    explicit Follower(std::string path) : path_(std::move(path)) {
        FILE* f = std::fopen(path_.c_str(), "r");
        if (f) {
            std::fseek(f, 0, SEEK_END);
            offset_ = std::ftell(f);
            std::fclose(f);
        }
    }
    bool Show() {
        FILE* f = std::fopen(path_.c_str(), "r");
        if (!f) return false;
        bool any = false;
        if (std::fseek(f, offset_, SEEK_SET) == 0) {
            char line[600];
            while (std::fgets(line, sizeof line, f)) {
                if (!std::strchr(line, '\n')) break;  // not complete yet
                offset_ = std::ftell(f);
                std::printf("  %s", line);
                any = true;
            }
        }
        std::fclose(f);
        std::fflush(stdout);
        return any;
    }

private:
    std::string path_;
    long offset_ = 0;
};

}  // namespace

ServiceSession RunServiceSession(Library& library, int paramSet,
                                 const std::vector<ServiceRequest>& requests,
                                 const std::string& progressLabel) {
    ServiceSession session;
    Api api;
    if (!api.Resolve(library)) return session;

    // The measurement file: the user's, or one of our own for the time of the session.
    std::string measurements;
    bool ownFile = false;
    if (const char* given = std::getenv(MEASUREMENT_ENV); given && *given) {
        measurements = given;
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumora-measure-XXXXXX";
        int fd = mkstemp(pattern.data());
        if (fd >= 0) {
            close(fd);
            measurements = pattern;
            ownFile = true;
            setenv(MEASUREMENT_ENV, measurements.c_str(), 1);
        }
    }
    Follower follower(measurements);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return session;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return session;
    }
    if (child == 0) {
        close(pipeFds[0]);
        Child(api, paramSet, requests, pipeFds[1]);
    }
    close(pipeFds[1]);

    struct sigaction action {}, previous {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
    interrupted = 0;

    if (!progressLabel.empty()) {
        std::printf("%s (Ctrl-C stops it)\n", progressLabel.c_str());
        std::fflush(stdout);
    }
    const auto start = std::chrono::steady_clock::now();
    auto lastNews = start;
    std::vector<uint8_t> bytes;
    bool opened = false, finished = false;
    while (!finished && !interrupted) {
        pollfd p{pipeFds[0], POLLIN, 0};
        int ready = poll(&p, 1, POLL_MS);
        if (ready > 0) {
            uint8_t buffer[8192];
            ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0)
                bytes.insert(bytes.end(), buffer, buffer + n);
            else if (n == 0 || errno != EINTR)
                finished = true;
        }
        if (!progressLabel.empty()) {
            const auto now = std::chrono::steady_clock::now();
            if (follower.Show()) {
                lastNews = now;
            } else if (now - lastNews >= std::chrono::seconds(QUIET_REPORT_S)) {
                lastNews = now;
                std::printf("  ... %lld s\n", (long long)std::chrono::duration_cast<std::chrono::seconds>(now - start).count());
                std::fflush(stdout);
            }
        }
    }
    close(pipeFds[0]);
    if (interrupted) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::printf("interrupted: stopping the scanner\n");
        std::fflush(stdout);
        // A fresh open and close sets the scanner to rest: high voltage, laser, motors off.
        if (api.apiInit() >= 0 && Opened(api.open(paramSet))) api.close();
        session.end = SessionEnd::Interrupted;
    } else {
        int status = 0;
        waitpid(child, &status, 0);
        if (!progressLabel.empty()) follower.Show();
        Parse(bytes, &session, &opened);
        if (!opened)
            session.end = SessionEnd::Lost;
        else if (!Opened(session.openResult))
            session.end = SessionEnd::OpenFailed;
        else
            session.end = session.replies.size() == requests.size() ? SessionEnd::Done
                                                                     : SessionEnd::Lost;
    }
    sigaction(SIGINT, &previous, nullptr);
    if (ownFile) {
        std::remove(measurements.c_str());
        unsetenv(MEASUREMENT_ENV);
    }
    return session;
}
