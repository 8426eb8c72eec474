#include "http_front.h"

#include "platform/xmlrpc_shape.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

std::string currentPeer;

std::string StatusResponse(int code, const char* text) {
    return "HTTP/1.1 " + std::to_string(code) + " " + text +
           "\r\nContent-Type: text/plain\r\nContent-length: 0\r\nConnection: close\r\n\r\n";
}

// Content-Length of a header block; -1 when missing or malformed.
long ContentLength(const std::string& header) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find("\r\n", pos);
        if (end == std::string::npos) end = header.size();
        std::string line = header.substr(pos, end - pos);
        pos = end + 2;
        const char* key = "content-length:";
        if (line.size() > std::strlen(key) && strncasecmp(line.c_str(), key, std::strlen(key)) == 0) {
            std::string v = line.substr(std::strlen(key));
            v.erase(0, v.find_first_not_of(" \t"));
            while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
            if (v.empty() || v.size() > 12 || v.find_first_not_of("0123456789") != std::string::npos)
                return -1;
            return std::stol(v);
        }
    }
    return -1;
}

}  // namespace

struct HttpFront::Connection {
    int fd = -1;
    std::string peer;
    Clock::time_point deadline;
    std::string in;
    size_t headerEnd = 0;  // 0 until the blank line was seen
    long bodyLength = -1;
    std::string out;
    size_t written = 0;
    bool writing = false;
};

HttpFront::HttpFront(XmlRpc::XmlRpcServer& rpc, HttpLimits limits, PeerFilter peers, LogFn log)
    : rpc_(rpc), limits_(limits), peers_(std::move(peers)), log_(std::move(log)) {}

HttpFront::~HttpFront() {
    for (Connection* c : connections_) {
        ::close(c->fd);
        delete c;
    }
    if (listenFd_ >= 0) ::close(listenFd_);
}

const std::string& HttpFront::CurrentPeer() { return currentPeer; }

bool SplitListenAddress(const std::string& text, std::string* address, int* port) {
    std::string host, portText;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find("]:");
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else {
        size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) return false;
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    if (host.empty() || portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int p = std::stoi(portText);
    if (p > 65535) return false;
    *address = host;
    *port = p;
    return true;
}

bool HttpFront::Listen(const std::string& address, int port, std::string* error) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(uint16_t(port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        family = AF_INET6;
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(uint16_t(port));
        length = sizeof *v6;
    } else {
        *error = "not an IP address: " + address;
        return false;
    }
    int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, 16) != 0) {
        *error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    port_ = family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port)
                              : ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    listenFd_ = fd;
    return true;
}

void HttpFront::Accept() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        const sockaddr* p = reinterpret_cast<sockaddr*>(&peer);
        if (!peers_.Allows(p)) {
            log_("refused a connection from " + PeerText(p) + " (not in --allow)");
            ::close(fd);
            continue;
        }
        if (connections_.size() >= limits_.maxConnections) {
            log_("refused a connection from " + PeerText(p) + " (too many connections)");
            ::close(fd);
            continue;
        }
        auto* c = new Connection;
        c->fd = fd;
        c->peer = PeerText(p);
        c->deadline = Clock::now() + std::chrono::seconds(limits_.exchangeSeconds);
        connections_.push_back(c);
    }
}

bool HttpFront::Read(Connection& c) {
    char buffer[16384];
    for (;;) {
        ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n == 0) return false;  // the client went away mid-request
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.in.append(buffer, size_t(n));
        if (c.headerEnd == 0) {
            size_t blank = c.in.find("\r\n\r\n");
            if (blank == std::string::npos) {
                if (c.in.size() > limits_.maxHeader) {
                    log_("request header from " + c.peer + " too long: closed");
                    return false;
                }
                continue;
            }
            c.headerEnd = blank + 4;
            std::string header = c.in.substr(0, blank);
            if (header.compare(0, 5, "POST ") != 0) {
                c.out = StatusResponse(405, "Method Not Allowed");
            } else if ((c.bodyLength = ContentLength(header)) < 0) {
                c.out = StatusResponse(411, "Length Required");
            } else if (size_t(c.bodyLength) > limits_.maxBody) {
                log_("request from " + c.peer + " of " + std::to_string(c.bodyLength) +
                     " bytes refused (limit " + std::to_string(limits_.maxBody) + ")");
                c.out = StatusResponse(413, "Request Entity Too Large");
            }
            if (!c.out.empty()) {
                c.writing = true;
                return true;
            }
        }
        if (c.in.size() - c.headerEnd > size_t(c.bodyLength)) {
            log_("request from " + c.peer + " longer than its Content-length: closed");
            return false;
        }
        if (c.in.size() - c.headerEnd == size_t(c.bodyLength)) {
            Execute(c);
            return true;
        }
    }
}

void HttpFront::Execute(Connection& c) {
    std::string body = c.in.substr(c.headerEnd);
    c.in.clear();
    currentPeer = c.peer;
    try {
        if (!XmlRpcCallShapeOk(body)) throw std::runtime_error("not an XML-RPC call");
        c.out = rpc_.executeRequest(body);
    } catch (...) {
        log_("malformed request from " + c.peer + ": answered 400");
        c.out = StatusResponse(400, "Bad Request");
    }
    currentPeer.clear();
    c.writing = true;
}

bool HttpFront::Write(Connection& c) {
    while (c.written < c.out.size()) {
        ssize_t n = ::send(c.fd, c.out.data() + c.written, c.out.size() - c.written, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.written += size_t(n);
    }
    return false;  // answered: one request per connection
}

void HttpFront::Run(const std::atomic<bool>& stop, const std::function<void()>& tick) {
    std::vector<pollfd> fds;
    while (!stop.load()) {
        fds.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        for (Connection* c : connections_) fds.push_back({c->fd, short(c->writing ? POLLOUT : POLLIN), 0});
        int ready = ::poll(fds.data(), nfds_t(fds.size()), 100);
        if (ready < 0 && errno != EINTR) break;
        const auto now = Clock::now();
        std::vector<Connection*> kept;
        for (size_t i = 0; i < connections_.size(); ++i) {
            Connection* c = connections_[i];
            short events = ready > 0 ? fds[i + 1].revents : 0;
            bool keep = true;
            if (events & (POLLIN | POLLHUP | POLLERR)) keep = c->writing ? Write(*c) : Read(*c);
            if (keep && c->writing && (events & POLLOUT)) keep = Write(*c);
            if (keep && c->writing && c->written == 0) keep = Write(*c);  // answer at once
            if (keep && now > c->deadline) {
                log_("connection from " + c->peer + " took longer than " +
                     std::to_string(limits_.exchangeSeconds) + " s: closed");
                keep = false;
            }
            if (keep) {
                kept.push_back(c);
            } else {
                ::close(c->fd);
                delete c;
            }
        }
        connections_.swap(kept);
        if (ready > 0 && (fds[0].revents & POLLIN)) Accept();
        if (tick) tick();
    }
}
