#include "export/plate_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagefile/file_open.h"
#include "imagefile/image_utilities.h"
#include "imagefile/xyz_format.h"

namespace {

constexpr uint8_t ROTATION_90 = 90;
constexpr uint8_t ROTATION_270 = 270 & 0xFF;  // kept as its low 8 bits

}  // namespace

bool PlateImage::QuarterTurned() const {
    return info.rotation == ROTATION_90 || info.rotation == ROTATION_270;
}

// pixelSizeX runs along the scan line (from column to column of the unturned image),
// pixelSizeY in feed direction (from row to row).
double PlateImage::RowSpacingMm() const {
    return (QuarterTurned() ? info.pixelSizeX : info.pixelSizeY) / 1e6;
}

double PlateImage::ColumnSpacingMm() const {
    return (QuarterTurned() ? info.pixelSizeY : info.pixelSizeX) / 1e6;
}

std::string PlateImage::Serial() const {
    return std::string(info.text, strnlen(info.text, sizeof info.text));
}

int LoadPlateImage(const char* imagePath, PlateImage* out, std::string* error) {
    *out = PlateImage{};
    FILE* file = imagePath ? OpenRegularFile(imagePath, "rb") : nullptr;
    if (!file) {
        *error = "cannot open the image file";
        return LUMORA_E_NOT_FOUND;
    }
    uint16_t* pixels = nullptr;
    int result = LoadXyzImage(file, &pixels, &out->width, &out->height);
    std::fclose(file);
    if (result != 0) {
        *error = result == LUMORA_E_DISK_SPACE ? "no memory for the image"
                                               : "the image file is shorter than its header says";
        return result == LUMORA_E_DISK_SPACE ? LUMORA_E_DISK_SPACE : LUMORA_E_RANGE;
    }
    out->pixels.assign(pixels, pixels + size_t(out->width) * out->height);
    std::free(pixels);
    if (Local_Get_ImageInfo(&out->info, imagePath) != 0) {
        *error = "no complete and plausible info file beside the image";
        return LUMORA_E_FILE;
    }
    return LUMORA_OK;
}
