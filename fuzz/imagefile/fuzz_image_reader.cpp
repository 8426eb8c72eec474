// Image files of any bytes: the reader behind Read_DiskImage and the whole-image loader.
#include <cstdlib>
#include <vector>

#include "imagefile/xyz_format.h"
#include "mem_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = OpenInput(data, size);
    if (!file) return 0;
    XyzHeader header;
    if (ReadXyzHeader(file, &header) == 0) {
        // The application's buffer holds width x height values; the reader can deliver no
        // more values than the file has bytes, so a buffer of that size must never overflow.
        size_t count = size_t(header.width) * header.height;
        if (count > size) count = size;
        std::vector<uint16_t> pixels(count ? count : 1);
        ReadXyzPixels(file, header, pixels.data());
    }
    std::rewind(file);
    uint16_t* image = nullptr;
    uint16_t width = 0, height = 0;
    if (LoadXyzImage(file, &image, &width, &height) == 0) {
        volatile uint16_t last = image[size_t(width) * height - 1];
        (void)last;
        std::free(image);
    }
    std::fclose(file);
    return 0;
}
