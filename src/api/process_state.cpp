// Lazy initialisation (ApiInit), its undoing (ApiExit) and the ScannerApi object.
#include "lumora/lumora.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "config/log_configuration.h"
#include "platform/log_channel.h"
#include "api/process_state.h"
#include "config/config_file.h"
#include "config/zrconfigwr.h"
#include "imagefile/extra_header.h"
#include "netclient/box_address.h"
#include "netclient/client.h"
#include "netclient/client_state.h"
#include "platform/api_lock.h"
#include "platform/tools.h"

bool ApiExitAtUnload = false;

ScannerApi::ScannerApi() { RebuildLogChannel(); }
ScannerApi::~ScannerApi() = default;

namespace {

constexpr const char* kScanner = "Scanner";
constexpr const char* kInterface = "Interface";

void ReplaceScannerApi() {
    delete TheScannerApi;
    TheScannerApi = new (std::nothrow) ScannerApi();
}

void WriteBackConfiguration() {
    if (ConfigIni.write() != 0)
        LogPrint(LOG_ERROR, "Unable to write ini file %s", ConfigIni.getFilename());
}

// Reads a whole file with one added zero byte; false when it cannot be read.
bool ReadFirmware(const char* path, std::vector<char>& data) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        try {
            data.assign(size_t(size) + 1, '\0');
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (ok) ok = std::fread(data.data(), 1, size_t(size), file) == size_t(size);
    std::fclose(file);
    return ok;
}

// Network interface: force the configuration to the box's needs, read the firmware file and
// start the client.
int InitNetwork() {
    char server[1024] = "";
    ConfigIni.get(kInterface, "Server", server, "localhost", sizeof server);
    if (!server[0]) return LUMORA_E_INIT;
    // "host" keeps the protocol's port 8080; "host:port" and "[v6addr]:port" name another.
    BoxAddress address;
    if (!ParseBoxAddress(server, &address)) {
        LogPrint(LOG_ERROR, "Invalid server address: %s", server);
        return LUMORA_E_INIT;
    }
    LogPrint(LOG_INFO, "using NET interface http://%s%s", BoxAuthority(address).c_str(), kBoxPath);

    ReplaceScannerApi();

    bool configurationPresent = ConfigIni.getSize() > 0;
    char scannerType[1024] = "";
    ConfigIni.get(kScanner, "ScannerType", scannerType, "Lumora", sizeof scannerType);
    if (strcasecmp(scannerType, "Lumora") != 0) {
        ConfigIni.set(kScanner, "ScannerType", "Lumora");
        LogPrint(LOG_INFO, "Scannertype set to Lumora because of network interface");
        WriteBackConfiguration();
    }
    // This initialisation goes on with the type it read, even when the file now says EPP.
    char type[1024] = "";
    ConfigIni.get(kInterface, "Type", type, "No_Int", sizeof type);
    if (std::strcmp(type, "EPP") != 0) {
        LogPrint(LOG_INFO, "Interface Type set to EPP because of network interface");
        ConfigIni.set(kInterface, "Type", "EPP");
        WriteBackConfiguration();
    }

    const char* firmwareKey;
    if (std::strcmp(type, "USB") == 0) {
        firmwareKey = "FirmwareUSB";
    } else if (std::strcmp(type, "EPP") == 0) {
        firmwareKey = "Firmware";
    } else {
        LogPrint(LOG_ERROR, "Invalid interface type: %s", type);
        return LUMORA_E_INIT;
    }
    char name[1024] = "";
    ConfigIni.get(kScanner, firmwareKey, name, "Default.mcs", sizeof name);
    char directory[ZRC_BUFFER] = "";
    char path[2 * ZRC_BUFFER + 2] = "";
    if (FirmwareConfigService().ZRCGetDir(ZRC_DIR_DEVICES, directory, 0) == 0 && name[0] != '/') {
        directory[sizeof directory - 1] = '\0';
        std::snprintf(path, sizeof path, "%s/%s", directory, name);
    } else {
        LogPrint(LOG_INFO, "file not found or using absolute filepath: \"%s\"", name);
        std::snprintf(path, sizeof path, "%s", name);
    }
    LogPrint(LOG_INFO, "MCS firmware file used: \"%s\"", path);

    if (!configurationPresent) {
        LogPrint(LOG_INFO, " missing!");
        return LUMORA_E_INIT;
    }
    LogPrint(LOG_INFO, " found");
    std::vector<char> firmware;
    if (!ReadFirmware(path, firmware)) return LUMORA_E_INIT;

    SetRemoteSwitch(&remote);
    int started = client_Start(server);
    if (started != 0) return started;
    return client_ApiInit(firmware.data(), int(firmware.size()), ConfigIni.getBuffer(),
                          int(ConfigIni.getSize()) + 1);
}

}  // namespace

extern "C" LUMORA_API int ApiInit(void) {
    if (ApiInitialised) return 0;

    RebuildLogChannel();
    LogPrint(LOG_INFO,
             "%s ***********************************************************************",
             "ApiInit");
    char iniPath[CONFIG_PATH_MAX + 1] = "";
    if (IniFileName(iniPath) != 0) {
        LogPrint(LOG_ERROR, "Inifile %s missing!", iniPath);
        return LUMORA_E_INIT;
    }
    LogPrint(LOG_INFO, "Inifile %s found", iniPath);

    CreateApiSemaphore();
    FreeExtraHeader();
    ApiInitialised = true;

    if (remote) {
        long network = 0;
        ConfigIni.get(kInterface, "Network", &network, 0);
        if (network != 0) return InitNetwork();
        __atomic_store_n(&remote, false, __ATOMIC_RELAXED);  // the status thread reads it
    }

    LogPrint(LOG_INFO, "using local interface");
    ReplaceScannerApi();
    ApiExitAtUnload = true;  // ApiExit runs when the library is unloaded
    return 0;
}

extern "C" LUMORA_API void ApiExit(void) {
    CloseApiSemaphore();
    ApiInitialised = false;
    __atomic_store_n(&remote, true, __ATOMIC_RELAXED);  // the status thread reads it
    if (TheScannerApi) {
        LogPrint(LOG_CALL, "ApiExit");
        delete TheScannerApi;
        TheScannerApi = nullptr;
    }
}
