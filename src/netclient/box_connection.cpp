#include "netclient/box_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/log_channel.h"
#include "platform/xmlrpc_shape.h"

namespace {

// The library's own error messages go to the log channel.
class LibraryMessages : public XmlRpc::XmlRpcErrorHandler {
public:
    void error(const char* msg) override { LogPrint(LOG_DETAIL, "xmlrpc: %s", msg); }
};

// The library writes with write(2): a box that closes early must not end the process.
void PrepareLibrary() {
    static std::once_flag once;
    static LibraryMessages messages;
    std::call_once(once, [] {
        signal(SIGPIPE, SIG_IGN);
        if (!XmlRpc::XmlRpcErrorHandler::getErrorHandler() ||
            XmlRpc::XmlRpcErrorHandler::getErrorHandler() != &messages)
            XmlRpc::XmlRpcErrorHandler::setErrorHandler(&messages);
    });
}

}  // namespace

BoxConnection::BoxConnection(const BoxAddress& address)
    : XmlRpc::XmlRpcClient(address.host.c_str(), address.port, kBoxPath) {
    PrepareLibrary();
    // The library's constructor leaves these unset. (Its connections stay open after an
    // answer; Exchange closes each one.)
    _sendAttempts = 0;
    _bytesWritten = 0;
    _isFault = false;
    _contentLength = 0;
}

BoxConnection::~BoxConnection() { close(); }

bool BoxConnection::Exchange(const char* method, const XmlRpc::XmlRpcValue& params,
                             XmlRpc::XmlRpcValue& result, double limitSeconds) {
    bool ok = false;
    const char* why = "no answer";
    try {
        ok = execute(method, params, result, limitSeconds);
        if (ok && isFault()) {
            ok = false;
            why = "fault";
        }
    } catch (...) {
        ok = false;  // the library's parser and value accessors may throw
        why = "malformed answer";
    }
    if (!ok) LogPrint(LOG_DETAIL, "xmlrpc %s: %s from %s:%d", method, why, _host.c_str(), _port);
    try {
        close();
    } catch (...) {
    }
    return ok;
}

void BoxConnection::Interrupt() {
    std::lock_guard<std::mutex> lock(fdMutex_);
    int fd = getfd();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void BoxConnection::close() {
    std::lock_guard<std::mutex> lock(fdMutex_);
    XmlRpc::XmlRpcClient::close();
}

// A non-blocking connect to the first address of the host that accepts a socket, IPv4 or
// IPv6; the exchange's time limit covers the connection.
bool BoxConnection::doConnect() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(_port);
    if (getaddrinfo(_host.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
    bool ok = false;
    for (addrinfo* a = found; a && !ok; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int flags = fcntl(fd, F_GETFL, 0);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
            (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS)) {
            ::close(fd);
            continue;
        }
        std::lock_guard<std::mutex> lock(fdMutex_);
        setfd(fd);
        ok = true;
    }
    freeaddrinfo(found);
    return ok;
}

bool BoxConnection::readHeader() {
    bool ok = XmlRpc::XmlRpcClient::readHeader();
    return ok && _header.size() <= size_t(kMaxAnswerHeader);
}

bool BoxConnection::parseHeader() {
    if (!XmlRpc::XmlRpcClient::parseHeader()) return false;
    // Once the header is complete, the announced body must be within bounds.
    return _connectionState != READ_RESPONSE ||
           (_contentLength >= 0 && _contentLength <= kMaxAnswerBody);
}

// Only an answer of the protocol's shape reaches the library's parser.
bool BoxConnection::parseResponse(XmlRpc::XmlRpcValue& result) {
    if (!XmlRpcResponseShapeOk(_response)) {
        LogPrint(LOG_DETAIL, "xmlrpc: malformed answer from %s:%d", _host.c_str(), _port);
        return false;
    }
    return XmlRpc::XmlRpcClient::parseResponse(result);
}
