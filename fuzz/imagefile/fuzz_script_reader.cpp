// Operation scripts of any bytes, with every entry handed to the image-processing library
// (when libzrip.so is found through LUMORA_LIBDIR) on a small image.
#include <cstring>
#include <vector>

#include "imagefile/image_desc.h"
#include "imagefile/imo_script.h"
#include "imagefile/zrip_wrapper.h"
#include "mem_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = OpenInput(data, size);
    if (!file) return 0;
    std::vector<uint16_t> pixels(8 * 8);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint16_t(i * 997);
    ImageDesc image{8, 8, pixels.data()};
    RunImoEntries(file, [&](const char* parameter) {
        if (std::strlen(parameter) > IMO_VALUE_CHARS) __builtin_trap();
        return Zrip().SC_Filter_Image(image, image, 50000, 50000, parameter);
    });
    std::fclose(file);
    return 0;
}
