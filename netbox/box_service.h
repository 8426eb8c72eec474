// What the box does for each method of the protocol: it runs the driver locally on the
// scanner attached to this machine and keeps one client session at a time. See README.md.
#pragma once
#include <flxmlrpc/XmlRpcServer.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver_library.h"
#include "rpc_method.h"

struct BoxLimits {
    size_t maxConfiguration = 1024 * 1024;     // configuration text of "api.init"/"scanner.open"
    size_t maxFirmware = 4 * 1024 * 1024;      // firmware image of "api.init"
    size_t maxChunk = 1024 * 1024;             // "file.getdata" length
    size_t maxOutBuffer = 1024 * 1024;         // "ctrl.ext" out size
    int sessionIdleSeconds = 60;               // an open session without requests is closed
};

// The box's folders: DIR/zrconfig.ini, DIR/lumora.ini, DIR/devices, DIR/images.
struct BoxFolders {
    std::string root, settings, configuration, devices, images, firmware, report;
    explicit BoxFolders(const std::string& dir);
};

class BoxService {
public:
    using LogFn = std::function<void(const std::string&)>;

    BoxService(DriverLibrary& driver, BoxFolders folders, BoxLimits limits, std::string interfaceType,
               LogFn log);
    // Registers every method of the protocol on server.
    void Register(XmlRpc::XmlRpcServer& server);
    // Closes a session whose client fell silent; call regularly.
    void Tick();
    // Closes the scanner if a session is open (at the end of the box).
    void Shutdown();

    // Writes the box's own configuration-service settings and a first configuration
    // (local interface) when there is none. False with a message when a folder cannot be made.
    static bool Prepare(const BoxFolders& folders, std::string* error);

private:
    using Value = XmlRpc::XmlRpcValue;
    void Add(XmlRpc::XmlRpcServer& server, const char* name, RpcMethod::Body body);
    // True when the request comes from another peer than the open session's.
    bool Foreign();
    void Touch();
    void EndSession();
    int ApiInitMethod(Value& params);
    int OpenMethod(Value& params);
    void ImageNameMethod(Value& result);
    // The box's file behind a name this box handed out, or "" (logged).
    std::string BoxFile(const std::string& clientName);
    void RememberGiven(long clientNumber);
    bool WriteConfiguration(const std::vector<unsigned char>& text, std::string* clientFolder);

    DriverLibrary& driver_;
    BoxFolders folders_;
    BoxLimits limits_;
    std::string interfaceType_;
    LogFn log_;
    std::vector<std::unique_ptr<RpcMethod>> methods_;

    bool open_ = false;
    std::string sessionPeer_;
    std::chrono::steady_clock::time_point lastRequest_;
    std::string clientFolder_;
    // Box image number + offset = client image number; fixed by the session's first image.
    struct Numbering {
        int clientHighest = 0;
        long offset = 0;
        bool fixed = false;
    } numbering_;
    // The highest number handed out to each client folder (peer and path) while the box runs.
    std::map<std::string, int> highestGiven_;
    bool firmwareStored_ = false;
    std::vector<unsigned char> initConfiguration_;
    std::map<std::string, std::string> served_;  // client's name -> box's file
};
