// Image files of any bytes: the reader behind Read_DiskImage, the whole-image loader, and the
// image-processing library's Read_Image (scanner forms and PNG; when libzrip.so is found
// through LUMORA_LIBDIR).
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imagefile/image_desc.h"
#include "imagefile/xyz_format.h"
#include "imagefile/zrip_wrapper.h"
#include "mem_file.h"

namespace {

// One scratch file per process for the readers that take a path, removed at exit.
struct Scratch {
    std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                       "/lumora_fuzz_image_" + std::to_string(getpid()) + ".XYZ";
    ~Scratch() { unlink(path.c_str()); }
};

const std::string& ScratchPath() {
    static Scratch scratch;
    return scratch.path;
}

void ReadThroughLibrary(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    if (!file) return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    ImageDesc image;
    if (Zrip().Read_Image(ScratchPath().c_str(), &image) == 0) {
        volatile uint16_t last = image.pixels[size_t(image.width) * image.height - 1];
        (void)last;
        Zrip().Destroy_Image(&image);
    }
}

}  // namespace

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
    ReadThroughLibrary(data, size);
    return 0;
}
