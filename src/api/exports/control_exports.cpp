// Exported control and service functions of the open scanner.
#include "api/exports/gates.h"
#include "imagefile/image_utilities.h"
#include "imagefind/output_mode.h"
#include "scanner/local_scanner.h"
#include "netclient/client.h"

namespace {
constexpr unsigned kWriteReport = 0x100F;  // Ext_ScannerCTRL code: write the report file
constexpr size_t kSerialText = 64;
}  // namespace

LUMORA_EXPORT int Get_Prescanline(void* line) {
    int result = OpenGate();
    if (result == 0) result = OutArgument(line);
    if (result == 0) result = remote ? client_Get_Prescanline(line) : Local_Get_Prescanline(line);
    LogPrint(LOG_DETAIL, "%s ret=%d", "Get_Prescanline", result);
    return result;
}

LUMORA_EXPORT int Set_Prescanmode(int length) {
    int result = OpenGate();
    if (result == 0)
        result = remote ? client_Set_Prescanmode(length) : Local_Set_Prescanmode(length);
    LogPrint(LOG_CALL, "%s ret=%d l=%d", "Set_Prescanmode", result, length);
    return result;
}

LUMORA_EXPORT int Get_ScannerDiag(ScannerDiag* diag) {
    int result = OpenGate();
    if (result == 0) result = OutArgument(diag);
    if (result == 0) result = remote ? client_Get_ScannerDiag(diag) : Local_Get_ScannerDiag(diag);
    LogPrint(LOG_CALL, "Get_ScannerDiag %d", result);
    return result;
}

LUMORA_EXPORT int Get_ScannerFeatures(ScannerFeatures* features) {
    int result = OpenGate();
    if (result == 0) result = OutArgument(features);
    if (result == 0)
        result = remote ? client_Get_ScannerFeatures(features)
                        : Local_Get_ScannerFeatures(features);
    LogPrint(LOG_CALL, "Get_ScannerFeatures %d", result);
    return result;
}

LUMORA_EXPORT int Get_Serialnumber(char* text) {
    int result = OpenGate();
    if (result == 0) result = OutArgument(text);
    if (result == 0) result = remote ? client_Get_Serialnumber(text) : Local_Get_Serialnumber(text);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_Serialnumber", result,
             Shown(text, kSerialText).c_str());
    return result;
}

LUMORA_EXPORT int Run_BeltdriveEx(int speed) {
    int result = InitGate();
    if (result == 0) result = remote ? client_Run_BeltdriveEx(speed) : Local_Run_BeltdriveEx(speed);
    LogPrint(LOG_CALL, "%s ret=%d %d", "Run_BeltdriveEx", result, speed);
    return result;
}

LUMORA_EXPORT int Run_Beltdrive(unsigned char speed) {
    LogPrint(LOG_CALL, "Run_Beltdrive");
    return Run_BeltdriveEx(int(unsigned(speed)));  // widened without sign
}

LUMORA_EXPORT int SetEraseMode(int mode) {
    int result = OpenGate();
    if (result == 0) result = remote ? client_SetEraseMode(mode) : Local_SetEraseMode(mode);
    LogPrint(LOG_CALL, "SetEraseMode Mode=%d ret=%d", mode, result);
    return result;
}

LUMORA_EXPORT int Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out,
                                  int outSize, int* outLen) {
    LogPrint(LOG_TRACE, "Ext_ScannerCTRL(0x%04X)", code);
    // The output length is cleared whatever happens next, a refused gate included.
    if (outLen) *outLen = 0;
    int result = OpenGate();
    if (result == 0) {
        if (remote) {
            result = code == kWriteReport
                         ? client_Report(static_cast<const char*>(in))
                         : client_Ext_ScannerCTRL(code, in, inSize, out, outSize, outLen);
        } else {
            result = Local_Ext_ScannerCTRL(code, in, inSize, out, outSize, outLen);
        }
    }
    LogPrint(LOG_CALL, "Ext_ScannerCTRL(0x%04X) ret=%d", code, result);
    return result;
}

LUMORA_EXPORT int Set_ImageFilterMode(int mode) {
    LogPrint(LOG_CALL, "Set_ImageFilterMode %d", mode);
    int result = ImageGate();
    return result == 0 ? Local_Set_ImageFilterMode(mode) : result;
}

LUMORA_EXPORT int ATRIUM_Mode(int mode, int code) {
    int result = 0;
    bool wanted = mode == 1;
    if (!ApiExists()) {
        AtriumMode = wanted;
    } else {
        if (AtriumMode != wanted) Local_ATRIUM_Mode(mode, code);
        if (remote) result = client_ATRIUM_Mode(mode, code);
    }
    LogPrint(LOG_CALL, "%s ret=%d Mode=%d", "ATRIUM_Mode", result, mode);
    return result;
}
