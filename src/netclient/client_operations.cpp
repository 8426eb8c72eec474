// The client operations that make one remote call each and pass its result on.
#include <algorithm>
#include <cstring>

#include "lumora/lumora.h"
#include "netclient/box_answer.h"
#include "netclient/client.h"
#include "netclient/client_state.h"
#include "netclient/client_timings.h"
#include "netclient/image_folder.h"
#include "netclient/rpc_execute.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

using XmlRpc::XmlRpcValue;

namespace {

constexpr size_t kSerialText = 64;     // caller's serial-number text, terminator included
constexpr size_t kPrescanLine = 1024;  // caller's prescan line buffer

XmlRpcValue Bytes(const void* data, int size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return XmlRpcValue(BoxBytes(p, p + (data && size > 0 ? size : 0)));
}

// A call whose answer is an int: that int, -2001 or -2002.
int IntCall(const char* method, const XmlRpcValue& params) {
    XmlRpcValue answer;
    if (rpcexecute(method, params, answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    return AnswerInt(method, answer, &result) ? result : LUMORA_E_BOX_ANSWER;
}

// A call whose answer is a struct with `result` and a byte member, copied to out (at most
// limit bytes).
int BufferCall(const char* method, const char* member, void* out, size_t limit) {
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(), answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    BoxBytes bytes;
    if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
        !MemberBytes(method, answer, member, &bytes))
        return LUMORA_E_BOX_ANSWER;
    if (out && !bytes.empty()) std::memcpy(out, bytes.data(), std::min(bytes.size(), limit));
    return result;
}

bool OpenedOrWarning(int result) { return result == 0 || result <= LUMORA_W_AMBIENT_LIGHT; }

}  // namespace

int client_ApiInit(const void* firmware, int firmwareSize, const void* config, int configSize) {
    XmlRpcValue params;
    params[0] = Bytes(firmware, firmwareSize);
    params[1] = Bytes(config, configSize);
    return IntCall("api.init", params);
}

int client_open_scanner(int paramSet, const char* config, int configSize, int highestImage) {
    SetBoxImageFolder(ImagePathOfConfiguration(config, configSize > 0 ? size_t(configSize) : 0));
    XmlRpcValue params;
    params[0] = paramSet;
    params[1] = highestImage;
    params[2] = Bytes(config, configSize);
    int result = IntCall("scanner.open", params);
    if (OpenedOrWarning(result)) ClientOpened = 1;
    return result;
}

int client_Close_Scanner() {
    ClientOpened = 0;
    return IntCall("scanner.close", XmlRpcValue());
}

int client_Aktivate_Scanner() {
    int result = IntCall("scanner.start", XmlRpcValue());
    if (result == LUMORA_E_ARMED || OpenedOrWarning(result)) ClientStarted = 1;
    return result;
}

int client_Deaktivate_Scanner() {
    ClientStarted = 0;
    return IntCall("scanner.stop", XmlRpcValue());
}

int client_Get_Status() {
    ClientSleepMs(CurrentClientTimings().passPauseMs);
    return ClientStatus.load();
}

int client_Get_LightStatus() {
    const uint32_t pause = CurrentClientTimings().lightPauseMs;
    int result = LUMORA_E_REMOTE;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        XmlRpcValue answer;
        if (rpcexecute("scanner.light_status", XmlRpcValue(), answer) != 0) {
            result = LUMORA_E_REMOTE;
            LogPrint(LOG_ERROR, "%s %d retry=%d", "client_Get_LightStatus", result, attempt);
        } else if (!AnswerInt("scanner.light_status", answer, &result)) {
            result = LUMORA_E_BOX_ANSWER;
        }
        ClientSleepMs(pause);
        if (result != LUMORA_E_REMOTE) break;
    }
    return result;
}

int client_ClearScanner(int mode) { return IntCall("ctrl.clearscanner", XmlRpcValue(mode)); }

int client_Set_ImageExtraHeader(int size, const void* data) {
    if (size <= 0 || !data) return LUMORA_E_NOT_FOUND;
    return IntCall("header.set", Bytes(data, size));
}

int client_Set_Prescanmode(int mode) { return IntCall("prescan.mode", XmlRpcValue(mode)); }

int client_Get_Prescanline(void* line) {
    int result = BufferCall("prescan.get", "buffer", line, kPrescanLine);
    // Whatever the call gave: the line counts as taken, and the status stops offering it.
    PrescanTaken = 1;
    int32_t status = ClientStatus.load();
    while (status >= 0 &&
           !ClientStatus.compare_exchange_weak(status, status & ~int32_t(LUMORA_STATUS_PRESCAN))) {
    }
    return result;
}

int client_ATRIUM_Mode(int mode, int code) {
    XmlRpcValue params;
    params[0] = mode;
    params[1] = code;
    return IntCall("ctrl.ATRIUMMode", params);
}

int client_Run_BeltdriveEx(int speed) { return IntCall("ctrl.beltdrive", XmlRpcValue(speed)); }

int client_SetEraseMode(int mode) { return IntCall("erasemode.set", XmlRpcValue(mode)); }

int client_Get_ScannerFeatures(ScannerFeatures* features) {
    return BufferCall("scannerfeatures.get", "buffer", features, sizeof(ScannerFeatures));
}

int client_Get_ScannerDiag(ScannerDiag* diag) {
    return BufferCall("scannerdiag.get", "buffer", diag, sizeof(ScannerDiag));
}

int client_Get_Serialnumber(char* text) {
    const char* method = "serial.get";
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(), answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    std::string serial;
    if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
        !MemberString(method, answer, "serial", &serial))
        return LUMORA_E_BOX_ANSWER;
    if (text) strxcpy(text, serial.c_str(), kSerialText);
    return result;
}

int client_Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out, int outSize,
                           int* outLen) {
    const char* method = "ctrl.ext";
    LogPrint(LOG_DETAIL, "client_Ext_ScannerCTRL");
    int count = 0;
    XmlRpcValue params;
    params[0] = int(code);
    params[1] = outSize;
    params[2] = Bytes(in, inSize);
    XmlRpcValue answer;
    int result;
    if (rpcexecute(method, params, answer) != 0) {
        result = LUMORA_E_REMOTE;
    } else {
        BoxBytes bytes;
        if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
            !MemberBytes(method, answer, "outbuffer", &bytes)) {
            result = LUMORA_E_BOX_ANSWER;
        } else if (outSize > 0 && out && answer.hasMember("outbuffer")) {
            count = int(std::min(bytes.size(), size_t(outSize)));
            if (count > 0) std::memcpy(out, bytes.data(), size_t(count));
        }
    }
    if (outLen) *outLen = count;
    LogPrint(LOG_TRACE, "%s %d InBufferSize=%d, OutbufferSize=%d, Bytecount=%d",
             "client_Ext_ScannerCTRL", 1111, inSize, outSize, count);
    return result;
}

int client_Report(const char* path) {
    const char* method = "ctrl.report";
    XmlRpcValue answer;
    if (rpcexecute(method, XmlRpcValue(path ? path : ""), answer) != 0) return LUMORA_E_REMOTE;
    int result = 0;
    BoxBytes report;
    if (!AnswerStruct(method, answer) || !MemberInt(method, answer, "result", &result) ||
        !MemberBytes(method, answer, "report", &report))
        return LUMORA_E_BOX_ANSWER;
    if (!report.empty() && path) {
        if (FILE* file = fopen_ex(path, "w")) {
            for (unsigned char c : report) std::fputc(c, file);
            std::fclose(file);
        }
    }
    return result;
}
