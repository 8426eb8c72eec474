// Configuration service: answers from the settings file described in zrconfig.h.
#include "zrconfig.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ini2.h"

namespace {

// Values are read into a buffer larger than an answer, so a value too long for the answer
// is refused rather than cut.
constexpr size_t kValueSize = 4 * ZRC_BUFFER_SIZE;

bool IsFile(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The settings file in use now (empty when none can be named).
std::string SettingsPath() {
    if (const char* env = std::getenv("LUMORA_ZRCONFIG"); env && *env) return env;
    std::string xdg;
    if (const char* env = std::getenv("XDG_CONFIG_HOME"); env && *env == '/')
        xdg = env;
    else if (const char* home = std::getenv("HOME"); home && *home)
        xdg = std::string(home) + "/.config";
    if (!xdg.empty() && IsFile(xdg + "/lumora/zrconfig.ini")) return xdg + "/lumora/zrconfig.ini";
    return "/etc/lumora/zrconfig.ini";
}

struct Settings {
    ini2 ini;
    std::string folder;  // absolute folder of the settings file

    bool load() {
        std::string path = SettingsPath();
        ini.load(path.c_str());
        if (ini.getSize() == 0) return false;
        if (path[0] != '/') {
            char cwd[4096];
            if (getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
        }
        size_t slash = path.rfind('/');
        folder = slash == 0 ? "/" : path.substr(0, slash);
        return true;
    }

    // The entry as a path: relative ones against the settings folder, no trailing '/'.
    int path(const char* section, const char* key, std::string& out) const {
        char value[kValueSize];
        if (ini.get(section, key, value, "", sizeof value) != 0 || !value[0]) return ZRC_NO_ENTRY;
        out = Resolve(value);
        return ZRC_OK;
    }

    std::string Resolve(const std::string& value) const {
        std::string p = value[0] == '/' ? value : folder + (folder == "/" ? "" : "/") + value;
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        return p;
    }
};

int Answer(char* out, const std::string& text) {
    if (text.size() >= ZRC_BUFFER_SIZE) {
        out[0] = '\0';
        return ZRC_TOO_LONG;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return ZRC_OK;
}

int Query(char* out, const char* section, const char* key) {
    if (!out) return ZRC_BAD_ARGUMENT;
    out[0] = '\0';
    Settings settings;
    if (!settings.load()) return ZRC_NO_SETTINGS;
    std::string path;
    if (int rc = settings.path(section, key, path); rc != ZRC_OK) return rc;
    return Answer(out, path);
}

}  // namespace

extern "C" {

int ZRCInit(void) { return ZRC_OK; }

const char* ZRCGetVersion(void) { return "Lumora zrconfig " LUMORA_ZRCONFIG_VERSION; }

const char* ZRCGetNamePart(void) { return ""; }

int ZRCGetCfgPath(int selector, char* out, int /*flags*/) {
    if (selector != 1) {
        if (out) out[0] = '\0';
        return ZRC_BAD_ARGUMENT;
    }
    return Query(out, "Paths", "Config");
}

int ZRCGetDir(int selector, char* out, int /*flags*/) {
    const char* key = selector == 2 ? "DeviceDir"
                    : selector == 4 ? "ImageDir"
                    : selector == 7 ? "ScriptDir"
                                    : nullptr;
    if (!key) {
        if (out) out[0] = '\0';
        return ZRC_BAD_ARGUMENT;
    }
    return Query(out, "Paths", key);
}

int ZRCGetLogConfiguration(int selector, char* target, int* level, char* option) {
    if (!target || !level || !option) return ZRC_BAD_ARGUMENT;
    target[0] = '\0';
    option[0] = '\0';
    if (selector != 1) return ZRC_BAD_ARGUMENT;
    Settings settings;
    if (!settings.load()) return ZRC_NO_SETTINGS;

    char value[kValueSize];
    if (settings.ini.get("Log", "Target", value, "", sizeof value) != 0 || !value[0])
        return ZRC_NO_ENTRY;
    std::string text = value;
    if (text.rfind("file:", 0) == 0 && text.size() > 5)
        text = "file:" + settings.Resolve(text.substr(5));

    char number[64];
    if (settings.ini.get("Log", "Level", number, "", sizeof number) != 0) return ZRC_NO_ENTRY;
    char* end = nullptr;
    long parsed = std::strtol(number, &end, 10);
    if (end == number || parsed < 0 || parsed > 99) return ZRC_NO_ENTRY;

    settings.ini.get("Log", "Option", value, "", sizeof value);
    if (std::strlen(value) >= ZRC_BUFFER_SIZE) return ZRC_TOO_LONG;
    if (int rc = Answer(target, text); rc != ZRC_OK) return rc;
    std::memcpy(option, value, std::strlen(value) + 1);
    *level = int(parsed);
    return ZRC_OK;
}

int ZRCIndex2DeviceType(int) { return ZRC_NOT_SUPPORTED; }
int ZRCGetDeviceTypeCount(void) { return ZRC_NOT_SUPPORTED; }
int ZRCGetDeviceTypeDesc(int, int, int, int, int, int) { return ZRC_NOT_SUPPORTED; }
int ZRCReplaceTemplateWithCurrentChild(int) { return ZRC_NOT_SUPPORTED; }
int ZRCDeleteChildren(int) { return ZRC_NOT_SUPPORTED; }
int ZRCGetMethodIni(int, int, int) { return ZRC_NOT_SUPPORTED; }

}  // extern "C"
