#include "imagefile/image_info.h"
#include "lumora/lumora.h"

#include <cstdlib>
#include <cstring>

#include "imagefile/image_utilities.h"
#include "platform/log_channel.h"
#include "imagefile/extra_header.h"
#include "imagefile/file_open.h"
#include "imagefile/image_file.h"
#include "imagefile/le_bytes.h"

namespace {

// One field of the fixed part: its place in the file, its size, its place in ImageInfo, and
// whether it is a byte array (each byte then counts as one item).
struct InfoField {
    uint8_t fileOffset;
    uint8_t size;
    uint8_t memoryOffset;
    bool byteArray;
};

constexpr InfoField INFO_FIELDS[] = {
    {0, 4, 0, false},     {4, 4, 4, false},     {8, 4, 8, false},    {12, 4, 12, false},
    {16, 4, 16, false},   {20, 1, 20, false},   {21, 4, 24, false},  {25, 1, 28, false},
    {26, 2, 30, false},   {28, 1, 32, false},   {29, 1, 33, false},  {30, 1, 34, false},
    {31, 1, 35, false},   {32, 1, 36, false},   {33, 32, 37, true},  {65, 2, 70, false},
    {67, 12, 72, true},   {79, 2, 84, false},   {81, 1, 86, false},  {82, 4, 88, false},
    {86, 4, 92, false},   {90, 2, 96, false},   {92, 2, 98, false},  {94, 1, 100, false},
    {95, 2, 102, false},  {97, 4, 104, false},
};

static_assert(INFO_FILE_FIXED_BYTES == 101, "info file layout");

}  // namespace

void EncodeImageInfo(const ImageInfo& info, uint8_t* bytes) {
    const auto* memory = reinterpret_cast<const uint8_t*>(&info);
    for (const InfoField& f : INFO_FIELDS) {
        if (f.byteArray) {
            std::memcpy(bytes + f.fileOffset, memory + f.memoryOffset, f.size);
        } else {
            uint32_t v = 0;
            std::memcpy(&v, memory + f.memoryOffset, f.size);  // host order, low bytes first
            if constexpr (!HOST_LITTLE_ENDIAN) v >>= 8 * (4 - f.size);
            StoreLE(bytes + f.fileOffset, v, f.size);
        }
    }
}

int ReadImageInfoFields(FILE* file, ImageInfo* info) {
    uint8_t bytes[INFO_FILE_FIXED_BYTES];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    auto* memory = reinterpret_cast<uint8_t*>(info);
    int items = 0;
    for (const InfoField& f : INFO_FIELDS) {
        if (f.byteArray) {
            size_t n = got > f.fileOffset ? got - f.fileOffset : 0;
            if (n > f.size) n = f.size;
            std::memcpy(memory + f.memoryOffset, bytes + f.fileOffset, n);
            items += int(n);
            if (n < f.size) break;
        } else {
            if (got < size_t(f.fileOffset) + f.size) break;
            uint32_t v = LoadLE(bytes + f.fileOffset, f.size);
            if constexpr (!HOST_LITTLE_ENDIAN) v <<= 8 * (4 - f.size);
            std::memcpy(memory + f.memoryOffset, &v, f.size);
            ++items;
        }
    }
    return items;
}

bool ImageInfoPlausible(const ImageInfo& info) {
    return info.width >= 1 && info.width <= 65535 && info.height >= 1 && info.height <= 65535 &&
           info.pixelSizeX >= 1000 && info.pixelSizeX <= 1000000 && info.pixelSizeY >= 1000 &&
           info.pixelSizeY <= 1000000 && info.startX >= 0 && info.year >= 1997 &&
           info.month <= 12 && info.day <= 31 && info.hour <= 23 && info.minute <= 59 &&
           info.second <= 59;
}

size_t ReadExtraHeader(FILE* file, void* buffer) {
    ImageInfo fixed{};
    if (ReadImageInfoFields(file, &fixed) != INFO_ITEMS || !buffer) return 0;
    // The caller's buffer holds extraHeaderSize bytes; copy in pieces, so that a size field
    // larger than the file costs nothing beyond what the file holds.
    auto* out = static_cast<uint8_t*>(buffer);
    size_t copied = 0;
    while (copied < fixed.extraHeaderSize) {
        size_t want = fixed.extraHeaderSize - copied;
        if (want > 65536) want = 65536;
        size_t got = std::fread(out + copied, 1, want, file);
        copied += got;
        if (got < want) break;
    }
    return copied;
}

bool InfoFileName(const char* imagePath, char* out) {
    const size_t length = imagePath ? std::strlen(imagePath) : 0;
    if (length < 3 || length >= PATH_BUFFER) return false;
    std::memcpy(out, imagePath, length - 3);
    std::memcpy(out + length - 3, "txt", 4);
    return true;
}

int WriteImageInfo(ImageInfo info, const char* path) {
    if (!path) return LUMORA_E_FILE;
    FILE* file = std::fopen(path, "wb");
    if (!file) return LUMORA_E_FILE;
    uint8_t bytes[INFO_FILE_FIXED_BYTES];
    EncodeImageInfo(info, bytes);
    bool ok = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
    if (ok && ExtraHeaderBuffer && ExtraHeaderSize > 0) {
        ok = std::fwrite(ExtraHeaderBuffer, 1, ExtraHeaderSize, file) == ExtraHeaderSize;
    }
    ok = (std::fclose(file) == 0) && ok;
    return ok ? 0 : -1;
}

int Local_Get_ImageInfo(ImageInfo* info, const char* imageFile) {
    if (!info) {
        LogPrint(LOG_ERROR, "Get_ImageInfo: no result record");
        return LUMORA_E_FILE;
    }
    if (!imageFile) return LUMORA_E_FILE;
    FILE* image = OpenRegularFile(imageFile, "rb");
    if (!image) return LUMORA_E_FILE;
    std::fclose(image);
    char infoName[PATH_BUFFER];
    if (!InfoFileName(imageFile, infoName)) {
        LogPrint(LOG_WARNING, "Get_ImageInfo: image path too long or too short");
        return LUMORA_E_FILE;
    }
    FILE* file = OpenRegularFile(infoName, "rb");
    if (!file) return LUMORA_E_FILE;
    const int items = ReadImageInfoFields(file, info);
    std::fclose(file);
    if (items >= 46) info->text[sizeof info->text - 1] = '\0';  // text complete: keep it a string
    if (items < INFO_ITEMS) return LUMORA_E_FILE;
    return ImageInfoPlausible(*info) ? 0 : -1;
}

int Local_Get_ImageExtraHeader(const char* imageFile, void* buffer) {
    char infoName[PATH_BUFFER];
    if (!InfoFileName(imageFile, infoName)) {
        if (imageFile) LogPrint(LOG_WARNING, "Get_ImageExtraHeader: image path too long or too short");
        return 0;
    }
    FILE* file = OpenRegularFile(infoName, "rb");
    if (!file) return 0;
    size_t copied = ReadExtraHeader(file, buffer);
    std::fclose(file);
    return copied > size_t(INT32_MAX) ? INT32_MAX : int(copied);
}

int Local_Set_ImageExtraHeader(int size, const void* data) {
    std::free(ExtraHeaderBuffer);
    ExtraHeaderBuffer = nullptr;
    ExtraHeaderSize = 0;
    if (size == 0 || !data) return 0;
    if (size < 0) return LUMORA_E_DISK_SPACE;  // no copy can be made of a negative length
    auto* copy = static_cast<uint8_t*>(std::malloc(size_t(size)));
    if (!copy) return LUMORA_E_DISK_SPACE;
    std::memcpy(copy, data, size_t(size));
    ExtraHeaderBuffer = copy;
    ExtraHeaderSize = size_t(size);
    return 0;
}
