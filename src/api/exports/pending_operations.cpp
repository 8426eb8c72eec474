// Stand-ins for operations that are not built yet. Each is a weak definition: the real one,
// once linked into the library, replaces it. A stand-in logs at level 3 and returns -1001.
#include "api/local_ops.h"
#include "api/log_channel.h"
#include "netclient/client.h"

#define PENDING __attribute__((weak))

namespace {
int LocalMissing(const char* function) {
    LogPrint(LOG_ERROR, "%s: local operation not available", function);
    return LUMORA_E_INIT;
}
int ClientMissing(const char* function) {
    LogPrint(LOG_ERROR, "%s: network client is not available", function);
    return LUMORA_E_INIT;
}
}  // namespace

// Local scanner.
PENDING int OpenSequence(int) { return LocalMissing("Open_Scanner"); }
PENDING int Local_Close_Scanner() { return LocalMissing("Close_Scanner"); }
PENDING int Local_Aktivate_Scanner() { return LocalMissing("Aktivate_Scanner"); }
PENDING int Local_Deaktivate_Scanner() { return LocalMissing("Deaktivate_Scanner"); }
PENDING int Local_Get_Status() { return LocalMissing("Get_Status"); }
PENDING int Local_Get_LightStatus() { return LocalMissing("Get_LightStatus"); }
PENDING int Local_ClearScanner(int) { return LocalMissing("ClearScanner"); }
PENDING int Local_Get_ImageName(char*) { return LocalMissing("Get_ImageName"); }
PENDING int Local_Delete_Image(const char*) { return LocalMissing("Delete_Image"); }
PENDING int Local_Get_FirstOldImageName(char*) { return LocalMissing("Get_FirstOldImageName"); }
PENDING int Local_Get_NextOldImageName(char*) { return LocalMissing("Get_NextOldImageName"); }
PENDING int Local_Get_Prescanline(void*) { return LocalMissing("Get_Prescanline"); }
PENDING int Local_Set_Prescanmode(int) { return LocalMissing("Set_Prescanmode"); }
PENDING int Local_Get_ScannerDiag(ScannerDiag*) { return LocalMissing("Get_ScannerDiag"); }
PENDING int Local_Get_ScannerFeatures(ScannerFeatures*) {
    return LocalMissing("Get_ScannerFeatures");
}
PENDING int Local_Get_Serialnumber(char*) { return LocalMissing("Get_Serialnumber"); }
PENDING int Local_Run_BeltdriveEx(int) { return LocalMissing("Run_BeltdriveEx"); }
PENDING int Local_SetEraseMode(int) { return LocalMissing("SetEraseMode"); }
PENDING int Local_Ext_ScannerCTRL(unsigned, const void*, int, void*, int, int* outLen) {
    if (outLen) *outLen = 0;
    return LocalMissing("Ext_ScannerCTRL");
}
PENDING int Local_Set_ImageFilterMode(int) { return LocalMissing("Set_ImageFilterMode"); }
PENDING int Local_ATRIUM_Mode(int, int) { return LocalMissing("ATRIUM_Mode"); }

// Image files and utilities.
PENDING int Local_Set_ImageExtraHeader(int, const void*) {
    return LocalMissing("Set_ImageExtraHeader");
}
PENDING int Local_Get_ImageExtraHeader(const char*, void*) {
    return LocalMissing("Get_ImageExtraHeader");
}
PENDING int Local_Get_ImageInfo(ImageInfo*, const char*) { return LocalMissing("Get_ImageInfo"); }
PENDING int Local_Read_DiskImage(unsigned short*, const char*) {
    return LocalMissing("Read_DiskImage");
}
PENDING int Local_Write_DiskImageEx(const DiskImage*, const char*) {
    return LocalMissing("Write_DiskImageEx");
}
PENDING int Local_Get_ImageValue(const unsigned short*, int, int, ImageValue*) {
    return LocalMissing("Get_ImageValue");
}
PENDING int Local_Invert_Image(unsigned short*, int, int) { return LocalMissing("Invert_Image"); }
PENDING int Local_Opt_ImageGreyscale(unsigned short*, int, int, int, int, int) {
    return LocalMissing("Opt_ImageGreyscale");
}
PENDING int Local_Convert_Image16_8(const unsigned short*, unsigned char*, int, int,
                                   unsigned short*) {
    return LocalMissing("Convert_Image16_8");
}
PENDING int Local_Convert_Image8_16(const unsigned char*, unsigned short*, int, int,
                                   unsigned short) {
    return LocalMissing("Convert_Image8_16");
}
PENDING int Local_Check_Imo(const char*) { return LocalMissing("Check_Imo"); }

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
