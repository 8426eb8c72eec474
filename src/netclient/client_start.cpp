// Starting and stopping the network client: the shared XML-RPC client and the status thread.
#include "lumora/lumora.h"
#include "netclient/box_address.h"
#include "netclient/client.h"
#include "netclient/rpc_execute.h"
#include "netclient/status_thread.h"
#include "platform/log_channel.h"

namespace {

// Stops the status thread when the process ends or the library is unloaded. Made at the first
// start, after the objects the thread uses, it is destroyed before them, in either case.
struct StopAtEnd {
    ~StopAtEnd() { client_Stop(); }
};

}  // namespace

int client_Start(const char* server) {
    BoxAddress address;
    if (!ParseBoxAddress(server, &address)) {
        LogPrint(LOG_ERROR, "client_Start: bad server address %.260s", server ? server : "");
        return LUMORA_E_INIT;
    }
    // A thread of an earlier start ends before its client goes.
    StopStatusThread();
    StartRpcClient(address);
    StartStatusThread();
    static StopAtEnd stopAtEnd;
    return 0;
}

void client_Stop() {
    StopStatusThread();
}
