// The C functions of libzrip.so, bound by the driver's ZRIP_Wrapper.
#include <cstdio>
#include <cstdlib>

#include "imagefile/file_open.h"
#include "imagefile/xyz_format.h"
#include "zrip_lib.h"

#define ZRIP_EXPORT extern "C" __attribute__((visibility("default")))

ZRIP_EXPORT int16_t Get_Version(char* text) {
    if (!text) return ZRIP_E_ARGUMENT;
    std::snprintf(text, 256, "libzrip 1.0 (GAUSS, MEDIAN, UNSHARP; greyscale limitation)");
    return ZRIP_OK;
}

// Image files of the scanner (16-bit and 8-bit forms) and grayscale PNG. The pixels belong to
// the library until Destroy_Image.
ZRIP_EXPORT int16_t Read_Image(const char* path, ImageDesc* image) {
    if (!path || !image) return ZRIP_E_ARGUMENT;
    if (IsPngFile(path)) return ReadPng(path, image);
    FILE* file = OpenRegularFile(path, "rb");
    if (!file) return ZRIP_E_OPEN;
    XyzHeader header;
    if (ReadXyzHeader(file, &header) != 0 ||
        uint64_t(header.width) * header.height > ZRIP_MAX_PIXELS || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return ZRIP_E_FORMAT;
    }
    uint16_t* pixels = nullptr;
    uint16_t width = 0, height = 0;
    const int result = LoadXyzImage(file, &pixels, &width, &height);
    std::fclose(file);
    if (result == -8) return ZRIP_E_MEMORY;
    if (result != 0) return ZRIP_E_FORMAT;
    image->width = width;
    image->height = height;
    image->pixels = pixels;
    return ZRIP_OK;
}

// Writing images is not offered: nothing is written.
ZRIP_EXPORT int16_t Write_Image(int32_t, int32_t, int32_t) { return ZRIP_E_NOT_SUPPORTED; }

ZRIP_EXPORT int16_t Destroy_Image(ImageDesc* image) {
    if (!image) return ZRIP_E_ARGUMENT;
    std::free(image->pixels);
    image->pixels = nullptr;
    image->width = 0;
    image->height = 0;
    return ZRIP_OK;
}

ZRIP_EXPORT int16_t SC_Filter_Image(ImageDesc source, ImageDesc destination, int32_t pixelSizeX,
                                    int32_t pixelSizeY, const char* parameter) {
    return FilterImage(source, destination, parameter);
}

ZRIP_EXPORT int16_t Opt_GreyscaleLim(ImageDesc source, ImageDesc destination, int32_t lo,
                                     int32_t up, int32_t htyp) {
    return GreyscaleLim(source, destination, lo, up, htyp);
}
