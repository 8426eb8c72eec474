// PNG previews of scanner images.
#pragma once
#include <cstdint>
#include <string>

// Writes width x height 16-bit pixels as a grayscale PNG: 16 bits per sample, or 8 bits with
// the image's own range stretched to 0 ... 255. The file is written under a temporary name
// and renamed when complete. Empty on success, else the reason.
std::string WritePngPreview(const std::string& path, const uint16_t* pixels, uint32_t width,
                            uint32_t height, bool eightBit);
