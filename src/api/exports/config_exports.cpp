// Exported configuration functions: the configuration file and its parameter sets.
#include "api/exports/gates.h"
#include "config/config_file.h"

LUMORA_EXPORT int Get_Paramcount(void) {
    ApiInit();  // the count is answered whatever the initialisation gave
    int result = CountParamSets();
    LogPrint(LOG_CALL, "%s ret=%d", "Get_Paramcount", result);
    return result;
}

LUMORA_EXPORT int Get_Paramname(char* name, int number) {
    int result = InitGate();
    if (result == 0) result = name ? ReadParamName(name, number) : LUMORA_E_NOT_FOUND;
    LogPrint(LOG_CALL, "%s ret=%d num=%d name=%s", "Get_Paramname", result, number,
             Shown(name, CONFIG_PATH_MAX).c_str());
    return result;
}

LUMORA_EXPORT int Get_IniFileName(char* path) { return IniFileName(path); }

LUMORA_EXPORT int Set_IniFileName(const char* path) {
    // The configuration file is named by the configuration service alone.
    LogPrint(LOG_CALL, "Set_IniFileName %s", Shown(path, CONFIG_PATH_MAX).c_str());
    return 0;
}
