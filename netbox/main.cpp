// lumora-boxd: the network interface box. An XML-RPC server on HTTP (path /RPC2) that runs the
// driver locally on the scanner attached to this machine. See README.md.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "box_log.h"
#include "box_service.h"
#include "http_front.h"

namespace {

constexpr long kMaxIdleSeconds = 86400;

std::atomic<bool> stopRequested{false};
void OnSignal(int) { stopRequested = true; }

const char* const kUsage =
    "usage: lumora-boxd --dir DIR [--listen ADDR:PORT] [--allow CIDR]... [--log FILE]\n"
    "                   [--interface EPP|USB] [--idle SECONDS]\n"
    "  --dir DIR          the box's folder: configuration, firmware, images (created)\n"
    "  --listen ADDR:PORT address to listen on (default 127.0.0.1:8080; port 0: any free port)\n"
    "  --allow CIDR       accept only peers in this range (repeatable; default: every peer)\n"
    "  --log FILE         the box's log (default: standard error)\n"
    "  --interface TYPE   scanner interface of this machine (default: as the client sends, EPP)\n"
    "  --idle SECONDS     close a session whose client sent nothing for this long (default 60)\n"
    "The scanner is the EPP device node (LUMORA_EPP_DEVICE, default /dev/lumoradv), the USB\n"
    "library, or the emulator (LUMORA_EPP_DEVICE=emulator, LUMORA_EMULATOR=device.ini).\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "lumora-boxd: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

// libflxmlrpc's own messages go to the box's log.
class LibraryMessages : public XmlRpc::XmlRpcErrorHandler {
public:
    explicit LibraryMessages(BoxLog& log) : log_(log) {}
    void error(const char* msg) override { log_.Line(std::string("xmlrpc: ") + msg); }

private:
    BoxLog& log_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string dir, listen = "127.0.0.1:8080", logPath, interfaceType;
    PeerFilter peers;
    BoxLimits limits;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--dir" && value(&dir)) {
        } else if (a == "--listen" && value(&listen)) {
        } else if (a == "--log" && value(&logPath)) {
        } else if (a == "--interface" && value(&interfaceType)) {
            if (interfaceType != "EPP" && interfaceType != "USB") return Usage("--interface: EPP or USB");
        } else if (a == "--idle" && value(&v)) {
            char* end = nullptr;
            const long seconds = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || seconds < 1 || seconds > kMaxIdleSeconds)
                return Usage("--idle: whole seconds from 1 to " + std::to_string(kMaxIdleSeconds));
            limits.sessionIdleSeconds = int(seconds);
        } else if (a == "--allow" && value(&v)) {
            if (!peers.Add(v)) return Usage("--allow: not an address range: " + v);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            return Usage("unexpected argument: " + a);
        }
    }
    if (dir.empty()) return Usage("--dir is required");
    std::string address;
    int port = 0;
    if (!SplitListenAddress(listen, &address, &port)) return Usage("--listen: ADDR:PORT expected");

    BoxLog log;
    if (!log.Open(logPath)) {
        std::fprintf(stderr, "lumora-boxd: cannot open the log %s\n", logPath.c_str());
        return 1;
    }
    LibraryMessages messages(log);
    XmlRpc::XmlRpcErrorHandler::setErrorHandler(&messages);
    auto line = [&log](const std::string& text) { log.Line(text); };

    if (char* real = realpath(dir.c_str(), nullptr)) {
        dir = real;
        std::free(real);
    } else if (dir[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) dir = std::string(cwd) + "/" + dir;
    }
    BoxFolders folders(dir);
    std::string error;
    if (!BoxService::Prepare(folders, &error)) {
        log.Line(error);
        return 1;
    }
    // The driver reads its configuration-service settings from here when it is loaded.
    setenv("LUMORA_ZRCONFIG", folders.settings.c_str(), 1);
    DriverLibrary driver;
    if (!driver.Load(&error)) {
        log.Line(error);
        return 1;
    }
    *driver.remote = false;  // the box drives its scanner locally
    int init = driver.ApiInit();
    if (init != 0) {
        log.Line("the driver did not initialise (" + std::to_string(init) + ")");
        return 1;
    }

    XmlRpc::XmlRpcServer rpc;
    BoxService service(driver, folders, limits, interfaceType, line);
    service.Register(rpc);
    HttpFront front(rpc, HttpLimits{}, peers, line);
    if (!front.Listen(address, port, &error)) {
        log.Line("cannot listen on " + listen + ": " + error);
        return 1;
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const bool v6 = address.find(':') != std::string::npos;
    std::printf("lumora-boxd listening on %s%s%s:%d\n", v6 ? "[" : "", address.c_str(), v6 ? "]" : "",
                front.Port());
    std::fflush(stdout);
    log.Line("listening on " + address + ":" + std::to_string(front.Port()) + ", folder " + dir);

    front.Run(stopRequested, [&service] { service.Tick(); });
    service.Shutdown();
    driver.ApiExit();
    log.Line("stopped");
    return 0;
}
