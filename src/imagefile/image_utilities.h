// Image-file utilities behind the exported functions: extra header, info, reading, writing,
// conversions and script checks. They always work on local files.
#pragma once
#include "lumora/lumora.h"

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
