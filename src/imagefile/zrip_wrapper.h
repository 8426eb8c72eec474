// Wrapper of the image-processing library (libzrip.so), loaded at run time when present.
// Every operation answers -1 when the library (or the function) is missing.
#pragma once
#include <cstdint>
#include "imagefile/image_desc.h"

#define ZRIP_VERSION_TEXT 256

extern "C" {
typedef int16_t (*ZripGetVersion)(char* text);  // text: ZRIP_VERSION_TEXT bytes
typedef int16_t (*ZripReadImage)(const char* path, ImageDesc* image);
typedef int16_t (*ZripWriteImage)(int32_t a, int32_t b, int32_t c);
typedef int16_t (*ZripDestroyImage)(ImageDesc* image);
typedef int16_t (*ZripFilterImage)(ImageDesc source, ImageDesc destination, int32_t pixelSizeX,
                                   int32_t pixelSizeY, const char* parameter);
typedef int16_t (*ZripGreyscaleLim)(ImageDesc source, ImageDesc destination, int32_t lo,
                                    int32_t up, int32_t htyp);
}

class ZRIP_Wrapper {
public:
    ZRIP_Wrapper();           // loads libzrip.so
    virtual ~ZRIP_Wrapper();  // frees it

    int Get_Version(char* text);
    int Read_Image(const char* path, ImageDesc* image);
    int Write_Image(int32_t a, int32_t b, int32_t c);
    int Destroy_Image(ImageDesc* image);
    int SC_Filter_Image(ImageDesc source, ImageDesc destination, int32_t pixelSizeX,
                        int32_t pixelSizeY, const char* parameter);
    int Opt_GreyscaleLim(ImageDesc source, ImageDesc destination, int32_t lo, int32_t up,
                         int32_t htyp);

private:
    void* handle_ = nullptr;
    ZripGetVersion getVersion_ = nullptr;
    ZripReadImage readImage_ = nullptr;
    ZripWriteImage writeImage_ = nullptr;
    ZripDestroyImage destroyImage_ = nullptr;
    ZripFilterImage filterImage_ = nullptr;
    ZripGreyscaleLim greyscaleLim_ = nullptr;
};

// The process-wide instance, built by CreateZrip at library load (or on first use).
void CreateZrip();
void DestroyZrip();
ZRIP_Wrapper& Zrip();
