// One XML-RPC exchange with the box over a fresh HTTP connection (libflxmlrpc), with an IPv4
// or IPv6 connect, bounded answers, and a way to cut short an exchange in flight.
#pragma once
#include <flxmlrpc/XmlRpc.h>

#include <mutex>

#include "netclient/box_address.h"

// Largest HTTP header and body of an answer the client reads (a 102400-byte chunk travels
// as about 137 KB of base64; reports and configuration echoes are far smaller).
constexpr int kMaxAnswerHeader = 16 * 1024;
constexpr int kMaxAnswerBody = 8 * 1024 * 1024;

class BoxConnection : public XmlRpc::XmlRpcClient {
public:
    explicit BoxConnection(const BoxAddress& address);
    ~BoxConnection() override;

    // Sends method with params and waits at most limitSeconds for the answer; the connection
    // is closed afterwards. True when an answer came that is not a fault. Never throws.
    bool Exchange(const char* method, const XmlRpc::XmlRpcValue& params,
                  XmlRpc::XmlRpcValue& result, double limitSeconds);
    // Ends an exchange in flight at once (from another thread): it then fails.
    void Interrupt();

    void close() override;

protected:
    bool doConnect() override;
    bool readHeader() override;
    bool parseHeader() override;
    bool parseResponse(XmlRpc::XmlRpcValue& result) override;

private:
    std::mutex fdMutex_;  // guards the socket against Interrupt while it is opened or closed
};
