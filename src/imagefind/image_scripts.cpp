// Image-operation scripts run on a finished image through the image-processing library.
#include "imagefind/image_scripts.h"
#include "lumora/lumora.h"

#include <cstdio>

#include "config/scanner_settings.h"
#include "imagefile/file_open.h"
#include "imagefile/image_desc.h"
#include "imagefile/imo_script.h"
#include "imagefile/zrip_wrapper.h"
#include "imagefind/imagefind.h"
#include "platform/log_channel.h"

namespace {

int32_t Nanometres(double metres) {
    const double nm = metres * 1e9 + 0.5;
    return nm >= 0.0 && nm < 2147483647.0 ? int32_t(nm) : 0;
}

}  // namespace

int RunImoScriptFile(uint32_t size, uint16_t* pixels, const char* scriptPath) {
    if (!scriptPath || !*scriptPath) return 0;
    FILE* script = OpenRegularFile(scriptPath, "r");
    if (!script) {
        LogPrint(LOG_INFO, "      WARNING : Imo script not found: %s", scriptPath);
        return LUMORA_E_FILE;
    }
    LogPrint(LOG_INFO, "      using Imo Script: %s", scriptPath);
    ImageDesc image;
    image.width = SizeWidth(size);
    image.height = SizeHeight(size);
    image.pixels = pixels;
    const int32_t pixelSizeX = Nanometres(Device.PixelSizeX);
    const int32_t pixelSizeY = Nanometres(Device.PixelSizeY);
    const int result = RunImoEntries(script, [&](const char* parameter) {
        LogPrint(LOG_INFO, "      run SC-Filter Param: %s", parameter);
        return Zrip().SC_Filter_Image(image, image, pixelSizeX, pixelSizeY, parameter);
    });
    std::fclose(script);
    return result;
}

int Imagefind::RunImoScript(uint32_t size, uint16_t* pixels, const char* scriptPath) {
    return RunImoScriptFile(size, pixels, scriptPath);
}

