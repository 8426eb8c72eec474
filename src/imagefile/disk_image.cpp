// Read_DiskImage and Write_DiskImageEx: whole image files from and to the application.
#include <cstdio>

#include "lumora/lumora.h"
#include "imagefile/image_utilities.h"
#include "platform/log_channel.h"
#include "imagefile/file_open.h"
#include "imagefile/image_desc.h"
#include "imagefile/sqrt_image.h"
#include "imagefile/xyz_format.h"

// The file is read as 16-bit unless it starts with FF FF 00 00. The caller's buffer holds
// width x height values of the file's header; no more are ever written into it.
int Local_Read_DiskImage(unsigned short* pixels, const char* imageFile) {
    FILE* file = OpenRegularFile(imageFile, "rb");
    if (!file) return LUMORA_E_NOT_FOUND;
    XyzHeader header;
    int result = ReadXyzHeader(file, &header);
    if (result == 0) {
        if (!pixels && size_t(header.width) * header.height > 0) {
            LogPrint(LOG_ERROR, "Read_DiskImage: no pixel buffer");
            result = -2;
        } else {
            result = ReadXyzPixels(file, header, pixels);
        }
    }
    std::fclose(file);
    return result;
}

// Both form selectors 1: byte pixels, 8-bit form; otherwise 16-bit values with width and
// height cut to 16 bits. Never rotated.
int Local_Write_DiskImageEx(const DiskImage* image, const char* imageFile) {
    if (!image || image->width < 0 || image->height < 0) {
        LogPrint(LOG_ERROR, "Write_DiskImageEx: negative image size");
        return LUMORA_E_FILE;
    }
    const bool eightBit = image->formA == 1 && image->formB == 1;
    if (eightBit && (image->width > 0xFFFF || image->height > 0xFFFF)) {
        LogPrint(LOG_ERROR, "Write_DiskImageEx: 8-bit image larger than 65535 pixels a side");
        return LUMORA_E_FILE;
    }
    const uint16_t width = uint16_t(image->width), height = uint16_t(image->height);
    if (!image->pixels && width > 0 && height > 0) {
        LogPrint(LOG_ERROR, "Write_DiskImageEx: no pixel buffer");
        return LUMORA_E_FILE;
    }
    SQRTImage writer;
    if (eightBit) return writer.WriteXyz8(*image, imageFile, 0);
    return writer.WriteXyz16(ImageSizeWord(width, height),
                             static_cast<const uint16_t*>(image->pixels), imageFile, 0);
}
