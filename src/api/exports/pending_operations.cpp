// Stand-ins for the network client, which is not built yet. Each is a weak definition: the
// real one, once linked into the library, replaces it. A stand-in logs at level 3 and returns
// -1001.
#include "platform/log_channel.h"
#include "netclient/client.h"

#define PENDING __attribute__((weak))

namespace {
int ClientMissing(const char* function) {
    LogPrint(LOG_ERROR, "%s: network client is not available", function);
    return LUMORA_E_INIT;
}
}  // namespace

// Network client.
PENDING int client_Start(const char*) { return ClientMissing("client_Start"); }
PENDING void client_Stop() {}
PENDING int client_ApiInit(const void*, int, const void*, int) {
    return ClientMissing("client_ApiInit");
}
PENDING int client_open_scanner(int, const char*, int, int) {
    return ClientMissing("client_open_scanner");
}
PENDING int client_Close_Scanner() { return ClientMissing("client_Close_Scanner"); }
PENDING int client_Aktivate_Scanner() { return ClientMissing("client_Aktivate_Scanner"); }
PENDING int client_Deaktivate_Scanner() { return ClientMissing("client_Deaktivate_Scanner"); }
PENDING int client_Get_Status() { return ClientMissing("client_Get_Status"); }
PENDING int client_Get_LightStatus() { return ClientMissing("client_Get_LightStatus"); }
PENDING int client_ClearScanner(int) { return ClientMissing("client_ClearScanner"); }
PENDING int client_Get_ImageName(char* name) {
    if (name) name[0] = '\0';
    return ClientMissing("client_Get_ImageName");
}
PENDING int client_GetFileSize(const char*) {
    ClientMissing("client_GetFileSize");
    return 0;
}
PENDING int client_GetFileData(const char*, int, int, void*) {
    return ClientMissing("client_GetFileData");
}
PENDING int client_Delete_Image(const char*) { return ClientMissing("client_Delete_Image"); }
PENDING int client_Set_ImageExtraHeader(int, const void*) {
    return ClientMissing("client_Set_ImageExtraHeader");
}
PENDING int client_Set_Prescanmode(int) { return ClientMissing("client_Set_Prescanmode"); }
PENDING int client_Get_Prescanline(void*) { return ClientMissing("client_Get_Prescanline"); }
PENDING int client_ATRIUM_Mode(int, int) { return ClientMissing("client_ATRIUM_Mode"); }
PENDING int client_Run_BeltdriveEx(int) { return ClientMissing("client_Run_BeltdriveEx"); }
PENDING int client_SetEraseMode(int) { return ClientMissing("client_SetEraseMode"); }
PENDING int client_Get_ScannerFeatures(ScannerFeatures*) {
    return ClientMissing("client_Get_ScannerFeatures");
}
PENDING int client_Get_ScannerDiag(ScannerDiag*) { return ClientMissing("client_Get_ScannerDiag"); }
PENDING int client_Get_Serialnumber(char*) { return ClientMissing("client_Get_Serialnumber"); }
PENDING int client_Ext_ScannerCTRL(unsigned, const void*, int, void*, int, int* outLen) {
    if (outLen) *outLen = 0;
    return ClientMissing("client_Ext_ScannerCTRL");
}
PENDING int client_Report(const char*) { return ClientMissing("client_Report"); }
