// DICOM files of finished plates (DCMTK). Intra-oral plates become Digital Intra-Oral X-Ray
// Image Storage - For Presentation; every other kind Digital X-Ray Image Storage - For
// Presentation, panoramic and cephalometric sets with their modality and anatomic region.
//
// Sign: plate values grow with the dose the plate received, so bone (little dose) has low
// values. The file stores 2^BitsStored - 1 - value with MONOCHROME2 and Pixel Intensity
// Relationship Sign -1: bone is bright, as viewers expect.
#pragma once
#include <string>

#include "export/export_formats.h"

// The stored pixel of a plate value at the given bits stored.
inline uint16_t DicomPixel(uint16_t plateValue, int bitsStored) {
    const uint16_t top = uint16_t((1u << bitsStored) - 1);
    return plateValue >= top ? 0 : uint16_t(top - plateValue);
}

// 16, or the depth the info record names when the pixels fit into it (8 ... 16).
int DicomBitsStored(const PlateImage& image);

int WriteDicom(const PlateImage& image, const ExportFacts& facts, const DicomOptions& options,
               const std::string& path, std::string* error);
