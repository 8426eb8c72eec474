// A scripted network box in the test process: every method of the protocol answers what the
// test sets (by default the int 0) and every request is recorded. Listens on a free loopback
// port.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http_front.h"
#include "rpc_method.h"

using XmlRpc::XmlRpcValue;

inline const char* const kProtocolMethods[] = {
    "api.init", "scanner.open", "scanner.close", "scanner.start", "scanner.stop",
    "scanner.status", "scanner.light_status", "image.name", "file.getsize", "file.getdata",
    "image.delete", "header.set", "prescan.mode", "prescan.get", "ctrl.ATRIUMMode",
    "ctrl.beltdrive", "ctrl.clearscanner", "erasemode.set", "scannerfeatures.get",
    "scannerdiag.get", "serial.get", "ctrl.ext", "ctrl.report"};

class FakeBox {
public:
    using Answer = std::function<void(XmlRpcValue& params, XmlRpcValue& result)>;

    // FAKEBOX_LOG=1 shows the box's own messages (refused requests) on standard error.
    explicit FakeBox(const std::string& address = "127.0.0.1") : front_(rpc_, HttpLimits{}, PeerFilter{}, [](const std::string& m) {
                    if (getenv("FAKEBOX_LOG")) fprintf(stderr, "fake box: %s\n", m.c_str());
                }) {
        for (const char* name : kProtocolMethods)
            methods_.push_back(std::make_unique<RpcMethod>(
                name, &rpc_, [this, n = std::string(name)](XmlRpcValue& p, XmlRpcValue& r) {
                    Dispatch(n, p, r);
                }));
        std::string error;
        listening_ = front_.Listen(address, 0, &error);
        address_ = address.find(':') != std::string::npos ? "[" + address + "]" : address;
        thread_ = std::thread([this] { front_.Run(stop_); });
    }
    ~FakeBox() {
        stop_ = true;
        thread_.join();
    }
    bool listening() const { return listening_; }
    std::string server() const { return address_ + ":" + std::to_string(front_.Port()); }

    // The answer of method from now on.
    void On(const std::string& method, Answer answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[method] = std::move(answer);
    }
    void Answers(const std::string& method, const XmlRpcValue& value) {
        On(method, [value](XmlRpcValue&, XmlRpcValue& r) { r = value; });
    }
    // Parameters of every request of method so far.
    std::vector<XmlRpcValue> Requests(const std::string& method) {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_[method];
    }
    size_t Count(const std::string& method) { return Requests(method).size(); }

private:
    void Dispatch(const std::string& method, XmlRpcValue& params, XmlRpcValue& result) {
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_[method].push_back(params);
            auto it = answers_.find(method);
            if (it != answers_.end()) answer = it->second;
        }
        if (answer)
            answer(params, result);
        else
            result = 0;
    }

    XmlRpc::XmlRpcServer rpc_;
    HttpFront front_;
    std::vector<std::unique_ptr<RpcMethod>> methods_;
    std::atomic<bool> stop_{false};
    bool listening_ = false;
    std::string address_;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::vector<XmlRpcValue>> requests_;
};

// A loopback port where nothing listens (taken and given back at once).
inline int RefusingPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), n);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    close(fd);
    return ntohs(a.sin_port);
}

inline XmlRpcValue Struct(std::initializer_list<std::pair<const char*, XmlRpcValue>> members) {
    XmlRpcValue v;
    for (auto& m : members) v[m.first] = m.second;
    return v;
}

inline XmlRpcValue BytesOf(const std::string& text) {
    return XmlRpcValue(XmlRpcValue::BinaryData(text.begin(), text.end()));
}
