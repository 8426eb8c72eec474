// lumora where: the files and folders the library uses, resolved as the library resolves
// them. The configuration file comes from the library (Get_IniFileName); the folders and the
// log target, which the C interface does not expose, come from the configuration service
// libzrconfig.so, loaded the way the library loads it, with the library's fallbacks: the INI
// keys of the configuration file and the registry file.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/ini2.h"
#include "platform/library_search.h"
#include "platform/log.h"
#include "platform/plugin_loader.h"
#include "platform/tools.h"

namespace {

constexpr int kBuffer = 1024;
constexpr int kDeviceDir = 2, kImageDir = 4, kScriptDir = 7, kConfigFile = 1, kLogChannel = 1;

// The configuration service: LUMORA_LIBDIR first, then beside liblumora.so, then the
// library path.
class Service {
public:
    explicit Service(const std::string& besideLibrary) {
        std::vector<std::string> candidates;
        if (const std::string dir = platform::ExtraLibraryDirectory(); !dir.empty())
            candidates.push_back(dir + "libzrconfig.so");
        candidates.push_back(besideLibrary + "libzrconfig.so");
        candidates.push_back("libzrconfig.so");
        std::string reasons;
        handle_ = platform::OpenFirstLibrary(candidates, 0, &reasons);
        if (!handle_) return;
        int (*init)() = nullptr;
        if (platform::ResolveSymbol(handle_, "ZRCInit", init)) init();
        platform::ResolveSymbol(handle_, "ZRCGetDir", getDir_);
        platform::ResolveSymbol(handle_, "ZRCGetLogConfiguration", getLog_);
        platform::ResolveSymbol(handle_, "ZRCGetVersion", getVersion_);
    }
    ~Service() {
        if (handle_) dlclose(handle_);
    }
    bool present() const { return handle_ != nullptr; }
    const char* version() const {
        return getVersion_ ? getVersion_() : "zrconfig.dll not available";
    }
    // The folder of that kind, or false.
    bool dir(int selector, std::string& out) const {
        char buffer[kBuffer] = "";
        if (!getDir_ || getDir_(selector, buffer, 0) != 0) return false;
        buffer[kBuffer - 1] = '\0';
        out = buffer;
        return true;
    }
    bool log(std::string& target, int& level) const {
        char text[kBuffer] = "";
        char option[kBuffer] = "";
        level = LUMORA_DEFAULT_LOG_LEVEL;
        if (!getLog_ || getLog_(kLogChannel, text, &level, option) != 0) return false;
        text[kBuffer - 1] = '\0';
        target = text;
        return true;
    }

private:
    void* handle_ = nullptr;
    int (*getDir_)(int, char*, int) = nullptr;
    int (*getLog_)(int, char*, int*, char*) = nullptr;
    const char* (*getVersion_)() = nullptr;
};

void Show(const char* what, const std::string& value, const char* source) {
    std::printf("%-22s %s\n%-22s   (%s)\n", what, value.empty() ? "-" : value.c_str(), "", source);
}

int RunWhere(Library& library, const std::vector<std::string>& args) {
    if (!args.empty()) return UsageError("where", "no arguments expected");
    auto iniFile = LUMORA_FUNCTION(library, Get_IniFileName);
    if (!iniFile) return Failure(library.error().c_str(), LUMORA_E_INIT);

    std::printf("%-22s %s\n", "library", library.path().c_str());
    char iniPath[260] = "";
    bool haveIni = iniFile(iniPath) == 0;
    Show("configuration file", iniPath, haveIni ? "Get_IniFileName" : "none: Get_IniFileName failed");
    ini2 ini;
    if (haveIni) ini.load(iniPath);

    Service service(library.directory());
    std::printf("%-22s %s\n", "configuration service",
                service.present() ? service.version() : "libzrconfig.so not found");

    std::string imageDir;
    bool serviceImages = service.dir(kImageDir, imageDir);
    if (serviceImages) {
        Show("image folder", imageDir, "configuration service");
    } else {
        char value[kBuffer] = "";
        bool found = ini.get("Scanner", "ImagePath", value, nullptr, sizeof value) == 0;
        imageDir = found ? value : "";
        Show("image folder", imageDir, found ? "lumora.ini [Scanner] ImagePath" : "not configured");
    }

    char tempName[kBuffer] = "";
    bool tempKey = ini.get("Scanner", "TempFile", tempName, "Lumora.tmp", sizeof tempName) == 0;
    std::string temp = serviceImages && tempName[0] != '/' ? imageDir + "/" + tempName : tempName;
    size_t slash = temp.rfind('/');
    size_t dot = temp.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) temp.resize(dot);
    temp += "-<pid>.tmp";
    Show("temporary file", tempKey ? temp : "",
         tempKey ? (serviceImages ? "image folder and lumora.ini [Scanner] TempFile"
                                  : "lumora.ini [Scanner] TempFile")
                 : "none: lumora.ini has no [Scanner] TempFile");

    std::string scripts;
    if (service.dir(kScriptDir, scripts)) {
        Show("script folder", scripts, "configuration service");
    } else {
        char value[kBuffer] = "";
        Get_RegStr(HKEY_LOCAL_MACHINE, "Software\\Halvorn\\scripts", "ScriptDir", value,
                   sizeof value);
        Show("script folder", value, "registry file, ScriptDir");
    }

    std::string devices;
    bool haveDevices = service.dir(kDeviceDir, devices);
    Show("device folder", devices,
         haveDevices ? "configuration service" : "not configured: firmware names are used as given");

    std::string target;
    int level = LUMORA_DEFAULT_LOG_LEVEL;
    if (service.log(target, level)) {
        Show("log", target + " level " + std::to_string(level), "configuration service");
    } else {
        Show("log", std::string(LUMORA_DEFAULT_LOG_TARGET) + " level " +
                        std::to_string(LUMORA_DEFAULT_LOG_LEVEL),
             "initial channel");
    }
    (void)kConfigFile;
    return haveIni ? 0 : Failure("no configuration file", LUMORA_E_NO_CONFIG_FILE);
}

}  // namespace

LUMORA_COMMAND(where, "show the files and folders the driver uses",
               "usage: lumora where\n\n"
               "Shows the configuration file (from the library), and the image folder, the\n"
               "temporary file, the script folder, the device folder and the log target as the\n"
               "library resolves them: from the configuration service libzrconfig.so (loaded as\n"
               "the library loads it), else from the configuration file and the registry file.\n"
               "Each value is followed by its source.\n",
               RunWhere);
