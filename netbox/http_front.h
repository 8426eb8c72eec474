// The box's HTTP side: one listening socket (IPv4 or IPv6), connections served from one poll
// loop without blocking, each bounded in size and time, and every complete request handed to
// libflxmlrpc's XmlRpcServer for parsing, dispatch and the answer.
#pragma once
#include <flxmlrpc/XmlRpcServer.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "peer_filter.h"

struct HttpLimits {
    size_t maxHeader = 16 * 1024;        // request line and header fields
    size_t maxBody = 8 * 1024 * 1024;    // XML-RPC request body
    int exchangeSeconds = 10;            // whole request and answer of one connection
    size_t maxConnections = 16;          // more are closed at once
};

class HttpFront {
public:
    using LogFn = std::function<void(const std::string&)>;

    HttpFront(XmlRpc::XmlRpcServer& rpc, HttpLimits limits, PeerFilter peers, LogFn log);
    ~HttpFront();

    // Binds "address" (an IPv4 or IPv6 address text) and port (0: any free port).
    bool Listen(const std::string& address, int port, std::string* error);
    int Port() const { return port_; }

    // Serves until stop turns true (checked at least every 100 ms); tick runs as often.
    void Run(const std::atomic<bool>& stop, const std::function<void()>& tick = {});

    // The peer address of the request being executed (for the methods).
    static const std::string& CurrentPeer();

private:
    struct Connection;
    void Accept();
    bool Read(Connection& c);    // false: close
    bool Write(Connection& c);   // false: close (done or failed)
    void Execute(Connection& c);

    XmlRpc::XmlRpcServer& rpc_;
    HttpLimits limits_;
    PeerFilter peers_;
    LogFn log_;
    int listenFd_ = -1;
    int port_ = 0;
    std::vector<Connection*> connections_;
};

// Splits "ADDR:PORT" or "[V6ADDR]:PORT"; false when malformed.
bool SplitListenAddress(const std::string& text, std::string* address, int* port);
