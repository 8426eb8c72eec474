// Local implementations behind the exported functions (the exports add gates, remote
// dispatch and the call log lines). Scanner operations live in src/scanner, image-file
// operations in src/imagefile.
#pragma once
#include <cstdint>
#include "lumora/lumora.h"

// Local scanner.
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

// Image files and utilities.
int Local_Set_ImageExtraHeader(int size, const void* data);
int Local_Get_ImageExtraHeader(const char* imageFile, void* buffer);
int Local_Get_ImageInfo(ImageInfo* info, const char* imageFile);
int Local_Read_DiskImage(unsigned short* pixels, const char* imageFile);
int Local_Write_DiskImageEx(const DiskImage* image, const char* imageFile);
int Local_Get_ImageValue(const unsigned short* pixels, int width, int height, ImageValue* out);
int Local_Invert_Image(unsigned short* pixels, int width, int height);
int Local_Opt_ImageGreyscale(unsigned short* pixels, int width, int height, int lowPpm,
                             int highPpm, int type);
int Local_Convert_Image16_8(const unsigned short* src, unsigned char* dst, int width, int height,
                            unsigned short* white);
int Local_Convert_Image8_16(const unsigned char* src, unsigned short* dst, int width, int height,
                            unsigned short white);
int Local_Check_Imo(const char* scriptPath);
