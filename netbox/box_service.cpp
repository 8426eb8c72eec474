#include "box_service.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "http_front.h"
#include "platform/ini2.h"
#include "platform/tools.h"

using XmlRpc::XmlRpcException;
using XmlRpc::XmlRpcValue;
using Bytes = XmlRpcValue::BinaryData;

namespace {

// The code for a request of another client while a session is open: the scanner is open.
constexpr int kBusy = LUMORA_E_SCANNER_OPEN;
constexpr unsigned kWriteReport = 0x100F;
constexpr size_t kPrescanLine = 1024;
constexpr size_t kSerialText = 64;
constexpr size_t kMaxSideFile = 1024 * 1024;  // info file and report text
constexpr size_t kMaxRememberedFolders = 1024;  // client folders whose highest number is kept

std::string Resolve(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// At most limit bytes of a file; false when it cannot be read or is longer.
bool ReadFile(const std::string& path, size_t limit, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size_t(size) > limit) return false;
    in.seekg(0);
    out->resize(size_t(size));
    return size == 0 || bool(in.read(reinterpret_cast<char*>(out->data()), size));
}

// Bytes without the one terminating zero the client adds.
size_t WithoutTerminator(const Bytes& bytes) {
    return !bytes.empty() && bytes.back() == 0 ? bytes.size() - 1 : bytes.size();
}

XmlRpcValue ByteValue(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return XmlRpcValue(Bytes(p, p + size));
}

}  // namespace

BoxFolders::BoxFolders(const std::string& dir)
    : root(dir),
      settings(dir + "/zrconfig.ini"),
      configuration(dir + "/lumora.ini"),
      devices(dir + "/devices"),
      images(dir + "/images"),
      firmware("netbox.mcs"),
      report(dir + "/report.txt") {}

bool BoxService::Prepare(const BoxFolders& f, std::string* error) {
    for (const std::string& d : {f.root, f.devices, f.images}) {
        if (mkdir_ex(d.c_str()) != 0) {
            *error = "cannot create " + d;
            return false;
        }
    }
    const std::string settings =
        "; written by lumora-boxd: the box's own folders\n[Paths]\nConfig=lumora.ini\n"
        "DeviceDir=devices\nImageDir=images\nScriptDir=scripts\n[Log]\nTarget=file:driver.log\n"
        "Level=5\n";
    if (!WriteFile(f.settings, settings.data(), settings.size())) {
        *error = "cannot write " + f.settings;
        return false;
    }
    struct stat st {};
    if (stat(f.configuration.c_str(), &st) != 0) {
        const std::string first = "[Scanner]\nScannerType=Lumora\n[Interface]\nNetwork=0\nType=EPP\n";
        if (!WriteFile(f.configuration, first.data(), first.size())) {
            *error = "cannot write " + f.configuration;
            return false;
        }
    } else {
        ini2 config;
        config.load(f.configuration.c_str());
        config.set("Interface", "Network", 0L);
        if (config.write() != 0) {
            *error = "cannot write " + f.configuration;
            return false;
        }
    }
    return true;
}

BoxService::BoxService(DriverLibrary& driver, BoxFolders folders, BoxLimits limits,
                       std::string interfaceType, LogFn log)
    : driver_(driver),
      folders_(std::move(folders)),
      limits_(limits),
      interfaceType_(std::move(interfaceType)),
      log_(std::move(log)) {}

void BoxService::Add(XmlRpc::XmlRpcServer& server, const char* name, RpcMethod::Body body) {
    methods_.push_back(std::make_unique<RpcMethod>(
        name, &server, [this, body = std::move(body)](XmlRpcValue& params, XmlRpcValue& result) {
            Touch();
            body(params, result);
        }));
}

bool BoxService::Foreign() { return open_ && HttpFront::CurrentPeer() != sessionPeer_; }

void BoxService::Touch() {
    if (!Foreign()) lastRequest_ = std::chrono::steady_clock::now();
}

void BoxService::EndSession() {
    open_ = false;
    sessionPeer_.clear();
    clientFolder_.clear();
    numbering_ = Numbering{};
    served_.clear();
}

void BoxService::Tick() {
    if (!open_) return;
    if (std::chrono::steady_clock::now() - lastRequest_ <
        std::chrono::seconds(limits_.sessionIdleSeconds))
        return;
    // Logged once the scanner is closed: whoever reads the line finds it free.
    driver_.Deaktivate_Scanner();
    const int r = driver_.Close_Scanner();
    log_("session of " + sessionPeer_ + " silent for " + std::to_string(limits_.sessionIdleSeconds) +
         " s: scanner closed (" + std::to_string(r) + ")");
    EndSession();
}

void BoxService::Shutdown() {
    if (!open_) return;
    driver_.Deaktivate_Scanner();
    int r = driver_.Close_Scanner();
    log_("scanner closed at the end of the box (" + std::to_string(r) + ")");
    EndSession();
}

bool BoxService::WriteConfiguration(const Bytes& text, std::string* clientFolder) {
    if (!WriteFile(folders_.configuration, text.data(), WithoutTerminator(text))) return false;
    ini2 config;
    if (config.load(folders_.configuration.c_str()) != 0 || config.getSize() == 0) return false;
    char folder[1024] = "";
    config.get("Scanner", "ImagePath", folder, "", sizeof folder);
    *clientFolder = folder;
    config.set("Interface", "Network", 0L);
    config.set("Scanner", "ImagePath", folders_.images.c_str());
    if (firmwareStored_) {
        config.set("Scanner", "Firmware", folders_.firmware.c_str());
        config.set("Scanner", "FirmwareUSB", folders_.firmware.c_str());
    }
    if (!interfaceType_.empty()) config.set("Interface", "Type", interfaceType_.c_str());
    return config.write() == 0;
}

int BoxService::ApiInitMethod(XmlRpcValue& params) {
    const Bytes& firmware = BytesParam(params, 0, "firmware");
    const Bytes& configuration = BytesParam(params, 1, "configuration");
    if (firmware.size() > limits_.maxFirmware)
        throw XmlRpcException("firmware larger than " + std::to_string(limits_.maxFirmware) + " bytes");
    if (configuration.size() > limits_.maxConfiguration)
        throw XmlRpcException("configuration larger than " +
                              std::to_string(limits_.maxConfiguration) + " bytes");
    if (Foreign()) return kBusy;
    const std::string path = folders_.devices + "/" + folders_.firmware;
    firmwareStored_ = WriteFile(path, firmware.data(), WithoutTerminator(firmware));
    if (!firmwareStored_) log_("cannot store the firmware in " + path);
    initConfiguration_.assign(configuration.begin(),
                              configuration.begin() + long(WithoutTerminator(configuration)));
    return firmwareStored_ ? driver_.ApiInit() : LUMORA_E_INIT;
}

int BoxService::OpenMethod(XmlRpcValue& params) {
    const int set = IntParam(params, 0, "parameter set");
    const int clientHighest = IntParam(params, 1, "highest image number");
    const Bytes& configuration = BytesParam(params, 2, "configuration");
    if (configuration.size() > limits_.maxConfiguration)
        throw XmlRpcException("configuration larger than " +
                              std::to_string(limits_.maxConfiguration) + " bytes");
    if (open_) {
        log_("scanner.open from " + HttpFront::CurrentPeer() + " refused: open for " + sessionPeer_);
        return kBusy;
    }
    std::string clientFolder;
    if (!WriteConfiguration(configuration, &clientFolder)) {
        log_("cannot write the configuration " + folders_.configuration);
        return LUMORA_E_NO_CONFIG_FILE;
    }
    if (clientFolder.empty()) {
        log_("scanner.open without an image folder of the client");
        return LUMORA_E_INIT;
    }
    int result = driver_.Open_Scanner(set);
    if (result == 0 || result <= LUMORA_W_AMBIENT_LIGHT) {
        if (result != 0) driver_.ApiInit();  // a warning returned the driver to its loaded state
        open_ = true;
        sessionPeer_ = HttpFront::CurrentPeer();
        lastRequest_ = std::chrono::steady_clock::now();
        clientFolder_ = clientFolder;
        numbering_ = Numbering{};
        // A client that deleted the images it took over reports a lower highest number than
        // the box already gave it: never hand out one of its names again.
        const auto given = highestGiven_.find(sessionPeer_ + "\n" + clientFolder_);
        numbering_.clientHighest =
            std::max({clientHighest, 0, given == highestGiven_.end() ? 0 : given->second});
        served_.clear();
        log_("session of " + sessionPeer_ + " opened with set " + std::to_string(set) + " (" +
             std::to_string(result) + "), images for " + clientFolder_);
    }
    return result;
}

void BoxService::ImageNameMethod(XmlRpcValue& result) {
    result["result"] = 0;
    result["name"] = std::string();
    result["metadata"] = Bytes();
    if (Foreign()) {
        result["result"] = kBusy;
        return;
    }
    char name[1024] = "";
    const int n = driver_.Get_ImageName(name);
    result["result"] = n;
    if (n < 1 || !name[0]) return;
    if (clientFolder_.empty()) {
        log_(std::string("image ") + name + " without a client session: kept on the box");
        return;
    }
    const std::string boxPath = name;
    const std::string base = boxPath.substr(boxPath.rfind('/') + 1);
    char* end = nullptr;
    const long number = std::strtol(base.c_str() + std::min<size_t>(2, base.size()), &end, 10);
    // The driver goes on with the box's own numbers from session to session; the client's
    // names follow its highest number: the session's first image gets the next one.
    if (!numbering_.fixed) {
        numbering_.offset = long(numbering_.clientHighest) + 1 - number;
        numbering_.fixed = true;
    }
    char clientBase[300];
    std::snprintf(clientBase, sizeof clientBase, "LM%06ld%.200s", number + numbering_.offset, end);
    const std::string clientName =
        clientFolder_ + (clientFolder_.back() == '/' ? "" : "/") + clientBase;
    RememberGiven(number + numbering_.offset);
    Bytes metadata;
    std::string info = boxPath.size() >= 3 ? boxPath.substr(0, boxPath.size() - 3) + "txt" : "";
    served_[clientName] = boxPath;
    if (BoxFile(clientName).empty() || info.empty() || !ReadFile(info, kMaxSideFile, &metadata)) {
        log_("image " + boxPath + " has no readable info file: kept on the box");
        served_.erase(clientName);
        metadata.clear();
    }
    result["name"] = clientName;
    result["metadata"] = metadata;
}

void BoxService::RememberGiven(long clientNumber) {
    const std::string key = sessionPeer_ + "\n" + clientFolder_;
    if (highestGiven_.size() >= kMaxRememberedFolders && !highestGiven_.count(key)) highestGiven_.clear();
    int& highest = highestGiven_[key];
    highest = int(std::clamp<long>(clientNumber, highest, INT_MAX));
}

std::string BoxService::BoxFile(const std::string& clientName) {
    auto it = served_.find(clientName);
    if (it == served_.end()) return "";
    // Only a file directly inside the box's image folder is ever read or deleted.
    const std::string path = Resolve(it->second);
    const std::string folder = Resolve(folders_.images);
    if (path.empty() || folder.empty() || path.rfind(folder + "/", 0) != 0 ||
        path.find('/', folder.size() + 1) != std::string::npos)
        return "";
    return path;
}

void BoxService::Register(XmlRpc::XmlRpcServer& server) {
    auto intMethod = [this, &server](const char* name, std::function<int(XmlRpcValue&)> fn) {
        Add(server, name, [this, fn](XmlRpcValue& params, XmlRpcValue& result) {
            result = Foreign() ? kBusy : fn(params);
        });
    };
    Add(server, "api.init", [this](XmlRpcValue& p, XmlRpcValue& r) { r = ApiInitMethod(p); });
    Add(server, "scanner.open", [this](XmlRpcValue& p, XmlRpcValue& r) { r = OpenMethod(p); });
    intMethod("scanner.close", [this](XmlRpcValue&) {
        int r = driver_.Close_Scanner();
        if (open_) log_("session of " + sessionPeer_ + " closed (" + std::to_string(r) + ")");
        EndSession();
        return r;
    });
    intMethod("scanner.start", [this](XmlRpcValue&) { return driver_.Aktivate_Scanner(); });
    intMethod("scanner.stop", [this](XmlRpcValue&) { return driver_.Deaktivate_Scanner(); });
    intMethod("scanner.status", [this](XmlRpcValue&) { return driver_.Get_Status(); });
    intMethod("scanner.light_status", [this](XmlRpcValue&) { return driver_.Get_LightStatus(); });
    Add(server, "image.name", [this](XmlRpcValue&, XmlRpcValue& r) { ImageNameMethod(r); });
    intMethod("file.getsize", [this](XmlRpcValue& p) {
        std::string path = BoxFile(StringParam(p, 0, "path"));
        struct stat st {};
        if (path.empty() || stat(path.c_str(), &st) != 0) return int(LUMORA_E_NOT_FOUND);
        return st.st_size > INT_MAX ? INT_MAX : int(st.st_size);
    });
    Add(server, "file.getdata", [this](XmlRpcValue& p, XmlRpcValue& r) {
        const std::string name = StringParam(p, 0, "path");
        const int offset = IntParam(p, 1, "offset");
        const int length = IntParam(p, 2, "length");
        r["result"] = 0;
        r["data"] = Bytes();
        if (Foreign()) {
            r["result"] = kBusy;
            return;
        }
        if (offset < 0 || length < 0 || size_t(length) > limits_.maxChunk) {
            r["result"] = int(LUMORA_E_RANGE);
            return;
        }
        const std::string path = BoxFile(name);
        FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
        if (!f) {
            r["result"] = int(LUMORA_E_NOT_FOUND);
            return;
        }
        Bytes data(static_cast<size_t>(length));
        size_t got = std::fseek(f, offset, SEEK_SET) == 0 ? std::fread(data.data(), 1, data.size(), f) : 0;
        std::fclose(f);
        data.resize(got);
        r["data"] = data;
    });
    intMethod("image.delete", [this](XmlRpcValue& p) {
        const std::string name = StringParam(p, 0, "path");
        const std::string path = BoxFile(name);
        if (path.empty()) return int(LUMORA_E_NOT_FOUND);
        served_.erase(name);
        return driver_.Delete_Image(path.c_str());
    });
    intMethod("header.set", [this](XmlRpcValue& p) {
        const Bytes& header = BytesParam(p, 0, "header");
        return driver_.Set_ImageExtraHeader(int(header.size()), header.empty() ? nullptr : header.data());
    });
    intMethod("prescan.mode", [this](XmlRpcValue& p) { return driver_.Set_Prescanmode(IntParam(p, 0, "mode")); });
    intMethod("ctrl.ATRIUMMode", [this](XmlRpcValue& p) {
        return driver_.ATRIUM_Mode(IntParam(p, 0, "mode"), IntParam(p, 1, "code"));
    });
    intMethod("ctrl.beltdrive", [this](XmlRpcValue& p) { return driver_.Run_BeltdriveEx(IntParam(p, 0, "speed")); });
    intMethod("ctrl.clearscanner", [this](XmlRpcValue& p) { return driver_.ClearScanner(IntParam(p, 0, "mode")); });
    intMethod("erasemode.set", [this](XmlRpcValue& p) { return driver_.SetEraseMode(IntParam(p, 0, "mode")); });

    auto bufferMethod = [this, &server](const char* name, size_t size,
                                        std::function<int(unsigned char*)> fn) {
        Add(server, name, [this, size, fn](XmlRpcValue&, XmlRpcValue& r) {
            std::vector<unsigned char> buffer(size, 0);
            r["result"] = Foreign() ? kBusy : fn(buffer.data());
            r["buffer"] = ByteValue(buffer.data(), buffer.size());
        });
    };
    bufferMethod("prescan.get", kPrescanLine, [this](unsigned char* b) { return driver_.Get_Prescanline(b); });
    bufferMethod("scannerfeatures.get", sizeof(ScannerFeatures), [this](unsigned char* b) {
        return driver_.Get_ScannerFeatures(reinterpret_cast<ScannerFeatures*>(b));
    });
    bufferMethod("scannerdiag.get", sizeof(ScannerDiag), [this](unsigned char* b) {
        return driver_.Get_ScannerDiag(reinterpret_cast<ScannerDiag*>(b));
    });
    Add(server, "serial.get", [this](XmlRpcValue&, XmlRpcValue& r) {
        char text[kSerialText] = "";
        r["result"] = Foreign() ? kBusy : driver_.Get_Serialnumber(text);
        text[sizeof text - 1] = '\0';
        r["serial"] = std::string(text);
    });
    Add(server, "ctrl.ext", [this](XmlRpcValue& p, XmlRpcValue& r) {
        const int code = IntParam(p, 0, "code");
        const int outSize = IntParam(p, 1, "out size");
        const Bytes& in = BytesParam(p, 2, "in-buffer");
        if (outSize < 0 || size_t(outSize) > limits_.maxOutBuffer)
            throw XmlRpcException("out size above " + std::to_string(limits_.maxOutBuffer));
        if (Foreign()) {
            r["result"] = kBusy;
            return;
        }
        if (unsigned(code) == kWriteReport) {
            r["result"] = int(LUMORA_E_UNKNOWN_CTRL);  // the report has its own method
            return;
        }
        std::vector<unsigned char> out(size_t(outSize) + 1, 0);
        int outLength = 0;
        r["result"] = driver_.Ext_ScannerCTRL(unsigned(code), in.empty() ? nullptr : in.data(),
                                             int(in.size()), outSize ? out.data() : nullptr,
                                             outSize, &outLength);
        if (outSize > 0)
            r["outbuffer"] = ByteValue(out.data(), size_t(std::clamp(outLength, 0, outSize)));
    });
    Add(server, "ctrl.report", [this](XmlRpcValue& p, XmlRpcValue& r) {
        StringParam(p, 0, "report path");  // the client's own path: the box writes its own file
        r["report"] = Bytes();
        if (Foreign()) {
            r["result"] = kBusy;
            return;
        }
        std::remove(folders_.report.c_str());
        int outLength = 0;
        r["result"] = driver_.Ext_ScannerCTRL(kWriteReport, folders_.report.c_str(),
                                             int(folders_.report.size() + 1), nullptr, 0, &outLength);
        Bytes report;
        if (ReadFile(folders_.report, kMaxSideFile, &report)) r["report"] = report;
        std::remove(folders_.report.c_str());
    });
}
