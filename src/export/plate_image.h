// A finished plate as the exporters take it: the pixels of the driver's image file and the
// record of its info file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "lumora/lumora.h"

struct PlateImage {
    ImageInfo info{};          // the info file's record
    uint16_t width = 0;        // of the pixels as the image file holds them (after rotation)
    uint16_t height = 0;
    std::vector<uint16_t> pixels;  // width x height, row by row, top row first

    // True when the image was written turned by 90 or 270 degrees: its rows then run along
    // the scan line, to which pixelSizeX belongs.
    bool QuarterTurned() const;
    // Distance between the centres of adjacent rows and of adjacent columns, in millimetres.
    double RowSpacingMm() const;
    double ColumnSpacingMm() const;
    // The scanner's serial number kept in the record's text.
    std::string Serial() const;
};

// Reads imagePath (16-bit or 8-bit form) and its info file. LUMORA_OK; LUMORA_E_NOT_FOUND
// when the image cannot be opened; LUMORA_E_FILE when the info file is missing, short or
// implausible; LUMORA_E_RANGE when the image file is shorter than its header says;
// LUMORA_E_DISK_SPACE when there is no memory. *error tells what failed.
int LoadPlateImage(const char* imagePath, PlateImage* out, std::string* error);
