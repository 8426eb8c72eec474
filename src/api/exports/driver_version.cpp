#include "lumora/lumora.h"
#include "platform/log_channel.h"
#include "platform/tools.h"
#include "platform/version.h"

extern "C" LUMORA_API int Get_DriverVersion(char* text) {
    if (!text) {
        LogPrint(LOG_CALL, "Get_DriverVersion %s", "(null)");
        return LUMORA_E_NOT_FOUND;
    }
    strxcat(text, LUMORA_DRIVER_VERSION, 80);
    LogPrint(LOG_CALL, "Get_DriverVersion %s", text);
    return 0;
}
