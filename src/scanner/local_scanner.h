// The local scanner's operations behind the exported functions (the exports add gates, remote
// dispatch and the call log lines).
#pragma once
#include "lumora/lumora.h"

int OpenSequence(int paramSet);
int Local_Close_Scanner();
int Local_Aktivate_Scanner();
int Local_Deaktivate_Scanner();
int Local_Get_Status();
int Local_Get_LightStatus();
int Local_ClearScanner(int mode);
int Local_Get_ImageName(char* name);
int Local_Delete_Image(const char* name);
int Local_Get_FirstOldImageName(char* name);
int Local_Get_NextOldImageName(char* name);
int Local_Get_Prescanline(void* line);
int Local_Set_Prescanmode(int length);
int Local_Get_ScannerDiag(ScannerDiag* diag);
int Local_Get_ScannerFeatures(ScannerFeatures* features);
int Local_Get_Serialnumber(char* text);
int Local_Run_BeltdriveEx(int speed);
int Local_SetEraseMode(int mode);
int Local_Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out, int outSize,
                          int* outLen);
int Local_Set_ImageFilterMode(int mode);
int Local_ATRIUM_Mode(int mode, int code);
