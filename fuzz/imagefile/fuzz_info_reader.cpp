// Info files of any bytes: the fixed fields, the plausibility rules and the extra header.
#include <vector>

#include "imagefile/image_info.h"
#include "mem_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = OpenInput(data, size);
    if (!file) return 0;
    ImageInfo info{};
    if (ReadImageInfoFields(file, &info) == INFO_ITEMS) {
        volatile bool plausible = ImageInfoPlausible(info);
        (void)plausible;
        // The caller's buffer holds extraHeaderSize bytes; the file cannot hold more than its
        // size, so no more than that may ever be written.
        size_t room = info.extraHeaderSize < size ? info.extraHeaderSize : size;
        std::vector<uint8_t> buffer(room ? room : 1);
        std::rewind(file);
        size_t copied = ReadExtraHeader(file, buffer.data());
        if (copied > room) __builtin_trap();
    }
    std::fclose(file);
    return 0;
}
