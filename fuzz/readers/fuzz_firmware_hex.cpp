// The firmware reader (Intel HEX) on any file.
#include <cstdint>
#include <cstdlib>

#include "devicelink/firmware_image.h"
#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = InputFile(data, size, "firmware.mcs");
    uint8_t* image = nullptr;
    uint32_t length = 0;
    if (ReadFirmwareImage(path.c_str(), &image, &length) == 0) {
        // The image is the parsed bytes and 20 zero bytes after them.
        if (!image || length < 20) std::abort();
        for (uint32_t i = length - 20; i < length; ++i)
            if (image[i] != 0) std::abort();
    }
    std::free(image);
    return 0;
}
