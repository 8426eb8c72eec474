// lumora-emud's event loop: the driver socket, the control socket and their connections, in
// one thread (the device is one device; calls are answered one at a time, as they come).
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "control.h"

namespace emud {

class Server {
public:
    Server() = default;
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the two sockets. A socket file nobody answers on (left by a daemon that died) is
    // replaced; one a running daemon answers on is refused. False with a message.
    bool Start(const std::string& driverPath, const std::string& controlPath, std::string* error);
    // Serves until a "quit" command or Stop(). 0, or 1 when polling failed.
    int Run();
    // From a signal handler.
    void Stop();

private:
    struct Connection {
        int fd = -1;
        bool control = false;
        std::vector<uint8_t> in;  // bytes received and not yet answered
        std::set<int> handles;    // device handles a driver connection opened
    };
    void Accept(int listener, bool control);
    // Reads what waits; false when the peer is gone or broke the protocol.
    bool Receive(Connection& c);
    // Answers every complete message (driver connections: unless held). False to drop.
    bool Process(Connection& c);
    bool ProcessDriver(Connection& c);
    bool ProcessControl(Connection& c);
    void Drop(size_t index);
    size_t Drivers() const;

    std::string driverPath_, controlPath_;
    int driverListener_ = -1, controlListener_ = -1;
    int wake_[2] = {-1, -1};  // self-pipe for Stop()
    std::vector<std::unique_ptr<Connection>> connections_;
    Hold hold_;
    bool quit_ = false;
};

// Connects to a Unix socket; -1 with errno on failure.
int ConnectUnix(const std::string& path);

}  // namespace emud
