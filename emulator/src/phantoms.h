// Synthetic test plates made by code, and plate images read from files.
#pragma once
#include <string>

#include "lumora_emu/emulator.h"

namespace lumora_emu {

// name: stepwedge, bars, shapes or flat (every pixel at level); width/height 0 take the
// phantom's default size.
bool MakePhantom(const std::string& name, uint16_t width, uint16_t height, PlateImage* out,
                 uint16_t level = 32768);
// A 16-bit grey PNG, or an image file of ours (u16 width, u16 height, u16 pixels, LE).
bool ReadPlateFile(const std::string& path, PlateImage* out, std::string* error);

}  // namespace lumora_emu
