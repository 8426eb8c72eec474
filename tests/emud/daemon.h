// lumora-emud for a test: started as a child process on sockets in a test folder, stopped
// with the object. Control commands go over its control socket, one line each.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#ifndef LUMORA_EMUD
#error "LUMORA_EMUD must name the lumora-emud binary"
#endif

class EmudProcess {
public:
    // Starts the daemon with the device description file (empty: none) and waits until it
    // listens (at most 30 s). pid() is 0 when that failed; output() tells why.
    EmudProcess(const std::string& folder, const std::string& deviceFile)
        : socket_(folder + "/emud.sock"), control_(socket_ + ".ctl"), log_(folder + "/emud.log") {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_t pid = fork();
        if (pid == 0) {
            int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(ready[1], 1);
            dup2(fd, 2);
            close(ready[0]);
            std::string device = deviceFile;
            if (device.empty()) {
                unsetenv("LUMORA_EMULATOR");
                execl(LUMORA_EMUD, LUMORA_EMUD, "--socket", socket_.c_str(), (char*)nullptr);
            }
            execl(LUMORA_EMUD, LUMORA_EMUD, "--socket", socket_.c_str(), "--device", device.c_str(),
                  (char*)nullptr);
            _exit(127);
        }
        close(ready[1]);
        // The daemon says it listens on its first line.
        pollfd p{ready[0], POLLIN, 0};
        char line[512] = "";
        if (pid > 0 && poll(&p, 1, 30000) == 1) {
            ssize_t n = read(ready[0], line, sizeof line - 1);
            if (n > 0) line[n] = 0;
        }
        close(ready[0]);
        if (std::strstr(line, "listening on")) {
            pid_ = pid;
        } else if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    ~EmudProcess() { Stop(); }

    // Ends it with SIGTERM (it removes its sockets); its exit status.
    int Stop() {
        if (pid_ <= 0) return -1;
        if (control_fd_ >= 0) close(control_fd_);
        control_fd_ = -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Waits for the daemon to end by itself (at most seconds); its exit status, or -1.
    int WaitExit(double seconds) {
        int status = 0;
        if (pid_ <= 0 || !WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds)) return -1;
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid() const { return pid_; }
    const std::string& socket() const { return socket_; }
    std::string address() const { return "unix:" + socket_; }
    std::string output() const {
        FILE* f = fopen(log_.c_str(), "r");
        std::string text;
        if (!f) return text;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        fclose(f);
        return text;
    }

    // One control command; its reply line ("" when the daemon does not answer).
    std::string Command(const std::string& line) {
        if (control_fd_ < 0) {
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            std::strncpy(a.sun_path, control_.c_str(), sizeof a.sun_path - 1);
            control_fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (connect(control_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(control_fd_);
                control_fd_ = -1;
                return "";
            }
        }
        std::string out = line + "\n";
        if (write(control_fd_, out.data(), out.size()) != ssize_t(out.size())) return "";
        std::string reply;
        char c;
        pollfd p{control_fd_, POLLIN, 0};
        while (poll(&p, 1, 30000) == 1 && read(control_fd_, &c, 1) == 1 && c != '\n') reply += c;
        return reply;
    }

    // The value of key=... in the reply to "state".
    std::string State(const std::string& key) {
        std::string s = " " + Command("state") + " ";
        size_t at = s.find(" " + key + "=");
        if (at == std::string::npos) return "";
        at += key.size() + 2;
        return s.substr(at, s.find(' ', at) - at);
    }

    // Polls the state until check is true (at most seconds); true when it became so.
    bool WaitFor(const std::function<bool()>& check, double seconds = 60) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!check()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    std::string socket_, control_, log_;
    pid_t pid_ = 0;
    int control_fd_ = -1;
};
