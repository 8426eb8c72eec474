// Client operations of the network interface box (XML-RPC, port 8080, path "/RPC2").
// Every operation but client_Start and client_Get_Status makes one or more remote calls
// through rpcexecute, which holds the API semaphore around each exchange. -2001: the remote
// call failed after all retries; other codes come from the box unchanged.
#pragma once
#include "lumora/lumora.h"

// Stores the server name, creates the XML-RPC client and starts the status thread.
int client_Start(const char* server);
// Ends the status thread (registered to run at process end by the first client_Start).
void client_Stop();

// "api.init": firmware and configuration text, each sent with its terminating zero byte.
int client_ApiInit(const void* firmware, int firmwareSize, const void* config, int configSize);
// "scanner.open": configSize includes the terminating zero byte.
int client_open_scanner(int paramSet, const char* config, int configSize, int highestImage);
int client_Close_Scanner();
int client_Aktivate_Scanner();
int client_Deaktivate_Scanner();
// The status word last fetched by the status thread (no remote call).
int client_Get_Status();
int client_Get_LightStatus();
int client_ClearScanner(int mode);
// Fetches the next finished image and its info file into the image directory.
int client_Get_ImageName(char* name);
int client_GetFileSize(const char* path);
int client_GetFileData(const char* path, int offset, int length, void* chunk);
int client_Delete_Image(const char* path);
int client_Set_ImageExtraHeader(int size, const void* data);
int client_Set_Prescanmode(int mode);
int client_Get_Prescanline(void* line);
int client_ATRIUM_Mode(int mode, int code);
int client_Run_BeltdriveEx(int speed);
int client_SetEraseMode(int mode);
int client_Get_ScannerFeatures(ScannerFeatures* features);
int client_Get_ScannerDiag(ScannerDiag* diag);
int client_Get_Serialnumber(char* text);
int client_Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out, int outSize,
                           int* outLen);
// "ctrl.report": writes the box's report text to path.
int client_Report(const char* path);
