#include "imagefile/zrip_wrapper.h"

#include "platform/plugin_loader.h"

namespace {
ZRIP_Wrapper* instance = nullptr;
}  // namespace

ZRIP_Wrapper::ZRIP_Wrapper() {
    handle_ = platform::LoadPlugin("libzrip.so");
    if (!handle_) return;
    platform::ResolveSymbol(handle_, "Get_Version", getVersion_);
    platform::ResolveSymbol(handle_, "Read_Image", readImage_);
    platform::ResolveSymbol(handle_, "Write_Image", writeImage_);
    platform::ResolveSymbol(handle_, "Destroy_Image", destroyImage_);
    platform::ResolveSymbol(handle_, "SC_Filter_Image", filterImage_);
    platform::ResolveSymbol(handle_, "Opt_GreyscaleLim", greyscaleLim_);
}

ZRIP_Wrapper::~ZRIP_Wrapper() { platform::UnloadPlugin(handle_); }

// A missing library or function answers -1; the library's 16-bit result is widened with sign.
int ZRIP_Wrapper::Get_Version(char* text) {
    return handle_ && getVersion_ ? getVersion_(text) : -1;
}
int ZRIP_Wrapper::Read_Image(const char* path, ImageDesc* image) {
    return handle_ && readImage_ ? readImage_(path, image) : -1;
}
int ZRIP_Wrapper::Write_Image(int32_t a, int32_t b, int32_t c) {
    return handle_ && writeImage_ ? writeImage_(a, b, c) : -1;
}
int ZRIP_Wrapper::Destroy_Image(ImageDesc* image) {
    return handle_ && destroyImage_ ? destroyImage_(image) : -1;
}
int ZRIP_Wrapper::SC_Filter_Image(ImageDesc source, ImageDesc destination, int32_t pixelSizeX,
                                  int32_t pixelSizeY, const char* parameter) {
    return handle_ && filterImage_
               ? filterImage_(source, destination, pixelSizeX, pixelSizeY, parameter)
               : -1;
}
int ZRIP_Wrapper::Opt_GreyscaleLim(ImageDesc source, ImageDesc destination, int32_t lo,
                                   int32_t up, int32_t htyp) {
    return handle_ && greyscaleLim_ ? greyscaleLim_(source, destination, lo, up, htyp) : -1;
}

void CreateZrip() {
    if (!instance) instance = new ZRIP_Wrapper();
}

void DestroyZrip() {
    delete instance;
    instance = nullptr;
}

ZRIP_Wrapper& Zrip() {
    CreateZrip();
    return *instance;
}
