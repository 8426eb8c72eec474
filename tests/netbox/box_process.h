// lumora-boxd as a child process over the in-process emulator or over lumora-emud: its own
// folder, a free loopback port read from its first line, SIGTERM at the end.
#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_dir.h"

#ifndef LUMORA_BOXD
#error "LUMORA_BOXD must name the lumora-boxd executable"
#endif

class BoxProcess {
public:
    // Starts the box with its folder in dir/box and the emulator described by emulatorIni.
    BoxProcess(const TempDir& dir, const std::string& emulatorIni,
               const std::vector<std::string>& extra = {})
        : BoxProcess(dir, "emulator", emulatorIni, extra) {}

    // Starts the box on the scanner behind the emulator daemon listening at unixAddress
    // ("unix:PATH").
    static BoxProcess OverDaemon(const TempDir& dir, const std::string& unixAddress,
                                 const std::vector<std::string>& extra = {}) {
        return BoxProcess(dir, unixAddress, "", extra);
    }
    // The same, held by a pointer, so that a test can stop a box and start another.
    static std::unique_ptr<BoxProcess> NewOverDaemon(const TempDir& dir, const std::string& unixAddress) {
        return std::unique_ptr<BoxProcess>(new BoxProcess(dir, unixAddress, "", {}));
    }
    BoxProcess(const BoxProcess&) = delete;
    BoxProcess& operator=(const BoxProcess&) = delete;
    ~BoxProcess() { Stop(); }

    // Ends the box with SIGTERM; its exit status (-1 when it was not running).
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    bool Running() const { return pid_ > 0 && kill(pid_, 0) == 0; }

    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& folder() const { return folder_; }
    std::string Log() const { return TempDir::read(log_); }
    // Polls the box's log until it holds text (at most seconds); true when it came.
    bool WaitForLog(const std::string& text, double seconds = 60) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (Log().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    BoxProcess(const TempDir& dir, const std::string& device, const std::string& emulatorIni,
               const std::vector<std::string>& extra) {
        folder_ = dir.file("box");
        log_ = dir.file("box.log");
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            setenv("LUMORA_EPP_DEVICE", device.c_str(), 1);
            if (emulatorIni.empty())
                unsetenv("LUMORA_EMULATOR");
            else
                setenv("LUMORA_EMULATOR", emulatorIni.c_str(), 1);
            std::vector<std::string> args = {LUMORA_BOXD, "--dir", folder_, "--listen",
                                             "127.0.0.1:0", "--log", log_};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        FILE* in = fdopen(out[0], "r");
        char line[256] = "";
        if (in && std::fgets(line, sizeof line, in)) {
            std::string text = line;
            size_t colon = text.rfind(':');
            if (text.rfind("lumora-boxd listening on ", 0) == 0 && colon != std::string::npos)
                port_ = std::atoi(text.c_str() + colon + 1);
        }
        if (in) std::fclose(in);
    }

    pid_t pid_ = -1;
    int port_ = 0;
    std::string folder_, log_;
};
