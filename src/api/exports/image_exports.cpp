// Exported image-file functions and image utilities. They always work locally, except the
// extra header, which the network box must know for the images it writes.
#include "api/exports/gates.h"
#include "imagefile/image_utilities.h"
#include "scanner/local_scanner.h"
#include "netclient/client.h"

LUMORA_EXPORT int Set_ImageExtraHeader(int size, const void* data) {
    int result = OpenGate();
    if (result == 0)
        result = remote ? client_Set_ImageExtraHeader(size, data)
                        : Local_Set_ImageExtraHeader(size, data);
    LogPrint(LOG_CALL, "%s ret=%d size=%d", "Set_ImageExtraHeader", result, size);
    return result;
}

LUMORA_EXPORT int Get_ImageExtraHeader(const char* imageFile, void* buffer) {
    int result = InitGate();
    if (result == 0) result = Local_Get_ImageExtraHeader(imageFile, buffer);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_ImageExtraHeader", result, Shown(imageFile).c_str());
    return result;
}

LUMORA_EXPORT int Get_ImageInfo(ImageInfo* info, const char* imageFile) {
    int result = InitGate();
    if (result == 0) result = Local_Get_ImageInfo(info, imageFile);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Get_ImageInfo", result, Shown(imageFile).c_str());
    return result;
}

LUMORA_EXPORT int Read_DiskImage(unsigned short* pixels, const char* imageFile) {
    int result = InitGate() == 0 ? Local_Read_DiskImage(pixels, imageFile) : LUMORA_E_INIT;
    LogPrint(LOG_CALL, "%s ret=%d %s", "Read_DiskImage", result, Shown(imageFile).c_str());
    return result;
}

LUMORA_EXPORT int Write_DiskImageEx(DiskImage image, const char* imageFile) {
    int result = Local_Write_DiskImageEx(&image, imageFile);
    LogPrint(LOG_CALL, "%s ret=%d %s", "Write_DiskImageEx", result, Shown(imageFile).c_str());
    return result;
}

LUMORA_EXPORT int Get_ImageValue(const unsigned short* pixels, int width, int height,
                                 ImageValue* out) {
    LogPrint(LOG_CALL, "Get_ImageValue");
    if (!ApiExists()) return LUMORA_E_INIT;
    return Local_Get_ImageValue(pixels, width, height, out);
}

LUMORA_EXPORT int Invert_Image(unsigned short* pixels, int width, int height) {
    LogPrint(LOG_CALL, "Invert_Image");
    int result = ImageGate();
    return result == 0 ? Local_Invert_Image(pixels, width, height) : result;
}

LUMORA_EXPORT int Opt_ImageGreyscale(unsigned short* pixels, int width, int height, int lowPpm,
                                     int highPpm, int type) {
    LogPrint(LOG_CALL, "Opt_ImageGreyscale");
    int result = ImageGate();
    return result == 0 ? Local_Opt_ImageGreyscale(pixels, width, height, lowPpm, highPpm, type)
                       : result;
}

LUMORA_EXPORT int Convert_Image16_8(const unsigned short* src, unsigned char* dst, int width,
                                    int height, uint32_t /*unused*/, unsigned short* white) {
    LogPrint(LOG_CALL, "Convert_Image16_8");
    return Local_Convert_Image16_8(src, dst, width, height, white);
}

LUMORA_EXPORT int Convert_Image8_16(const unsigned char* src, unsigned short* dst, int width,
                                    int height, unsigned short white) {
    LogPrint(LOG_CALL, "Convert_Image8_16");
    return Local_Convert_Image8_16(src, dst, width, height, white);
}

LUMORA_EXPORT int Check_Imo(const char* scriptPath) {
    LogPrint(LOG_CALL, "Check_Imo");
    return Local_Check_Imo(scriptPath);
}
