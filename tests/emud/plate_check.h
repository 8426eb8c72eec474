// Image files against the plates fed: with binning 1, no interpolation, no calibration and no
// scripts, each image pixel is the stream value of the plate pixel scanned there.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora/lumora.h"
#include "lumora_emu/emulator.h"

// ADC registers the pixel values depend on.
struct AdcSettings {
    uint8_t oversampling = 0;  // register 0xD0
    uint16_t offset = 0;       // registers 0xD2/0xD3
    uint16_t dark = 320;       // the emulator's default dark level
};

// Empty when the file equals the plate, else what differs.
inline std::string CompareWithPlate(const std::string& file, const lumora_emu::PlateEntry& entry,
                                    const AdcSettings& adc) {
    ImageInfo info{};
    if (Get_ImageInfo(&info, file.c_str()) != 0) return "no image information for " + file;
    std::vector<uint16_t> image(size_t(info.width) * info.height);
    if (image.empty() || Read_DiskImage(image.data(), file.c_str()) != 0) return "cannot read " + file;
    lumora_emu::PlateImage plate;
    std::string error;
    if (!lumora_emu::Device::LoadPlateImage(entry, &plate, &error)) return error;
    if (plate.width != info.width || plate.height != info.height)
        return file + ": " + std::to_string(info.width) + "x" + std::to_string(info.height) + " instead of " +
               std::to_string(plate.width) + "x" + std::to_string(plate.height);
    long mismatches = 0;
    std::string first;
    for (int y = 0; y < plate.height; y++)
        for (int x = 0; x < plate.width; x++) {
            uint16_t want = lumora_emu::StreamValue(plate.At(x, y), adc.dark, adc.oversampling, adc.offset);
            uint16_t got = image[size_t(y) * info.width + x];
            if (got != want && mismatches++ == 0)
                first = "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) +
                        " instead of " + std::to_string(want);
        }
    return mismatches ? file + ": " + std::to_string(mismatches) + " pixels differ, first " + first : "";
}
