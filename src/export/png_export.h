// PNG files of finished plates (libpng), with the pixel size in the pHYs chunk (pixels per
// metre): 16 bits per sample with the plate values unchanged, or 8 bits with the image's own
// range stretched to 0 ... 255 (a preview).
#pragma once
#include <string>

#include "export/plate_image.h"

int WritePng(const PlateImage& image, bool eightBit, const std::string& path, std::string* error);
