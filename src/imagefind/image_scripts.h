// Image-operation scripts run on a finished image.
#pragma once
#include <cstdint>

// RunImoScript without the device object: filters the image (size = width | height << 16)
// through the image-processing library with the device's pixel sizes. 0 for an empty path or
// when no entry ran; -1 when the script cannot be opened; -2 without operation section; else
// the result of the last filter call.
int RunImoScriptFile(uint32_t size, uint16_t* pixels, const char* scriptPath);
