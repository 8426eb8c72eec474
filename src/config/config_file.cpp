// Locating and loading the configuration file, and the numbered parameter sets in it.
#include "config/config_file.h"
#include "lumora/lumora.h"

#include <cstring>
#include <strings.h>

#include "platform/log_channel.h"
#include "config/zrconfigwr.h"
#include "platform/tools.h"

ini2 ConfigIni;

namespace {

constexpr int kParamSectionSize = 64;

const char* ParamPattern(const ini2& config) {
    long demo = 0;
    config.get("Interface", "DemoMode", &demo, 0);
    if (demo != 0) return "Demo_Param_#";
    char type[1024];
    config.get("Scanner", "ScannerType", type, "Lumora");
    return strcasecmp(type, "CALYXA") == 0 ? "CalyxParam_#" : "Param_#";
}

const char* ParamPattern() { return ParamPattern(ConfigIni); }

}  // namespace

int Ini_file(char* path_out) {
    LogPrint(LOG_INFO, "%s entry", "Ini_file");
    zrconfigwr& service = ConfigService();
    LogPrint(LOG_DETAIL, "using zrconfig.dll version %s", service.ZRCGetVersion());
    char path[ZRC_BUFFER];
    std::memset(path, 0, sizeof path);
    if (service.ZRCGetCfgPath(ZRC_CFG_INIFILE, path, 0) != 0) {
        LogPrint(LOG_ERROR, "%s failed", "Ini_file");
        return LUMORA_E_NO_CONFIG_FILE;
    }
    path[sizeof path - 1] = '\0';
    LogPrint(LOG_DETAIL, "Ini_file: loading %s", path);
    ConfigIni.load(path);
    if (ConfigIni.getSize() == 0) {
        LogPrint(LOG_ERROR, "Unable to open ini file %s", path);
        return LUMORA_E_NO_CONFIG_FILE;
    }
    if (path_out) strxcpy(path_out, path, CONFIG_PATH_MAX);
    return 0;
}

int IniFileName(char* path_out) {
    LogPrint(LOG_INFO, "%s entry", "Get_IniFileName");
    if (path_out) path_out[0] = '\0';  // never log or hand back what the caller left there
    Ini_file(path_out);
    int result = ConfigIni.getSize() > 0 ? 0 : 1;
    LogPrint(LOG_INFO, "%s ret=%d %s", "Get_IniFileName", result, path_out ? path_out : "");
    return result;
}

int CurrentIniFileName(char* path) {
    if (path) {
        strxcpy(path, ConfigIni.getFilename(), CONFIG_PATH_MAX);
        LogPrint(LOG_DETAIL, "\tIniFileName=%s", path);
    }
    return ConfigIni.getSize() == 0 ? 1 : 0;
}

char* ParamSectionName(char* out, int n) {
    return ini2::index(out, kParamSectionSize, ParamPattern(), n);
}

char* ParamSectionNameOf(const ini2& config, char* out, int n) {
    return ini2::index(out, kParamSectionSize, ParamPattern(config), n);
}

int CountParamSets() {
    if (ConfigIni.getSize() == 0) return 0;
    const char* pattern = ParamPattern();
    char section[kParamSectionSize];
    char name[CONFIG_PATH_MAX];
    int n = 1;
    while (ConfigIni.get(ini2::index(section, sizeof section, pattern, n), "ParamName", name,
                         nullptr, sizeof name) == 0 && n < 0x7FFFFFFF)
        ++n;
    return n - 1;
}

int ReadParamName(char* name, int number) {
    char section[kParamSectionSize];
    ParamSectionName(section, number);
    return ConfigIni.get(section, "ParamName", name, nullptr, CONFIG_PATH_MAX);
}
