#include "netclient/rpc_execute.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "lumora/lumora.h"
#include "netclient/box_connection.h"
#include "netclient/client_timings.h"
#include "platform/api_lock.h"
#include "platform/log_channel.h"

namespace {

constexpr const char* kStatusMethod = "scanner.status";

std::mutex clientMutex;
std::shared_ptr<BoxConnection> rpcClient;
std::atomic<RpcTransport> transport{nullptr};

std::shared_ptr<BoxConnection> CurrentClient() {
    std::lock_guard<std::mutex> lock(clientMutex);
    return rpcClient;
}

// One attempt: true when the answer came and is not a fault.
bool Attempt(const char* method, const XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result,
             const ClientTimings& t, bool (*keepGoing)()) {
    const bool status = std::strcmp(method, kStatusMethod) == 0;
    if (status && !t.statusPauseInsideLock) ClientSleepMs(t.statusPauseMs);
    if (LockMutex(method) != 0) return false;
    if (status && t.statusPauseInsideLock) ClientSleepMs(t.statusPauseMs);
    std::shared_ptr<BoxConnection> client = CurrentClient();
    result.clear();
    bool ok = false;
    if (!keepGoing || keepGoing()) {
        if (RpcTransport replaced = transport.load())
            ok = replaced(method, params, result);
        else
            ok = client && client->Exchange(method, params, result, t.callLimitSeconds);
    }
    ReleaseApiMutex(method);
    return ok;
}

}  // namespace

void StartRpcClient(const BoxAddress& address) {
    auto created = std::make_shared<BoxConnection>(address);
    std::lock_guard<std::mutex> lock(clientMutex);
    rpcClient = created;
}

void SetRpcTransport(RpcTransport replacement) { transport.store(replacement); }

void InterruptRpcClient() {
    if (std::shared_ptr<BoxConnection> client = CurrentClient()) client->Interrupt();
}

int RpcExecuteWhile(const char* method, const XmlRpc::XmlRpcValue& params,
                    XmlRpc::XmlRpcValue& result, bool (*keepGoing)()) {
    const ClientTimings t = CurrentClientTimings();
    for (int retry = 1;; ++retry) {
        if (Attempt(method, params, result, t, keepGoing)) return 0;
        if (retry >= kRpcAttempts || (keepGoing && !keepGoing())) break;
        LogPrint(LOG_INFO, "xmlrpc %s ret= %d retry=%d", method, LUMORA_E_REMOTE, retry);
        ClientSleepMs(t.retryPauseMs);
    }
    LogPrint(LOG_ERROR, "%s %d", "rpcexecute", LUMORA_E_REMOTE);
    return LUMORA_E_REMOTE;
}

int rpcexecute(const char* method, const XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result) {
    return RpcExecuteWhile(method, params, result, nullptr);
}
