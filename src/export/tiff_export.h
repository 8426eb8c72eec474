// 16-bit greyscale TIFF files of finished plates (libtiff): the plate values unchanged,
// PhotometricInterpretation MinIsWhite so that bone (little dose, low values) shows bright,
// X and Y resolution in pixels per centimetre from the pixel sizes.
#pragma once
#include <string>

#include "export/plate_image.h"

int WriteTiff16(const PlateImage& image, const std::string& path, std::string* error);
