// Exported scanner functions: open, scan cycle, close and image hand-over.
#include "api/exports/gates.h"
#include "imagefile/extra_header.h"
#include "imagefile/image_utilities.h"
#include "scanner/local_scanner.h"
#include "netclient/client.h"

namespace {
constexpr size_t kNameBuffer = 1024;  // image-name buffers of the interface
}

LUMORA_EXPORT int Close_Scanner(void) {
    LogPrint(LOG_DETAIL, "Close_Scanner");
    int result = InitGate();
    if (result == 0) {
        result = remote ? client_Close_Scanner() : Local_Close_Scanner();
        FreeExtraHeader();
    }
    LogPrint(LOG_CALL, "%s ret=%d", "Close_Scanner", result);
    return result;
}

LUMORA_EXPORT int Aktivate_Scanner(void) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_Aktivate_Scanner() : Local_Aktivate_Scanner();
    LogPrint(LOG_CALL, "%s ret=%d", "Aktivate_Scanner", result);
    return result;
}

LUMORA_EXPORT int Deaktivate_Scanner(void) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_Deaktivate_Scanner() : Local_Deaktivate_Scanner();
    LogPrint(LOG_CALL, "%s ret=%d", "Deaktivate_Scanner", result);
    return result;
}

LUMORA_EXPORT int Get_Status(void) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_Get_Status() : Local_Get_Status();
    LogPrint(LOG_TRACE, "Get_Status: 0x%08X", unsigned(result));
    return result;
}

LUMORA_EXPORT int Get_LightStatus(void) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_Get_LightStatus() : Local_Get_LightStatus();
    LogPrint(LOG_CALL, "%s ret=%d", "Get_LightStatus", result);
    return result;
}

LUMORA_EXPORT int ClearScanner(int mode) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_ClearScanner(mode) : Local_ClearScanner(mode);
    LogPrint(LOG_CALL, "ClearScanner ret=%d", result);
    return result;
}

LUMORA_EXPORT int Get_ImageName(char* name) {
    int result = OpenGate();
    if (result == 0) result = OutArgument(name);
    if (result == 0) result = remote ? client_Get_ImageName(name) : Local_Get_ImageName(name);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_ImageName", result, Shown(name, kNameBuffer).c_str());
    return result;
}

LUMORA_EXPORT int Delete_Image(const char* name) {
    int result = InitGate();
    if (result == 0) result = Local_Delete_Image(name);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Delete_Image", result, Shown(name).c_str());
    return result;
}

LUMORA_EXPORT int Get_FirstOldImageName(char* name) {
    int result = InitGate();
    if (result == 0) result = OutArgument(name);
    if (result == 0) result = Local_Get_FirstOldImageName(name);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_FirstOldImageName", result,
             Shown(name, kNameBuffer).c_str());
    return result;
}

LUMORA_EXPORT int Get_NextOldImageName(char* name) {
    int result = InitGate();
    if (result == 0) result = OutArgument(name);
    if (result == 0) result = Local_Get_NextOldImageName(name);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_NextOldImageName", result,
             Shown(name, kNameBuffer).c_str());
    return result;
}
