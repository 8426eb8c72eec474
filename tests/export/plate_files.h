// Synthetic finished plates on disk: an image file and its info file, as the driver writes
// them.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "imagefile/image_desc.h"
#include "lumora/lumora.h"

struct TestPlate {
    uint16_t width = 40;
    uint16_t height = 30;
    uint32_t pixelSizeX = 25000;  // nm
    uint32_t pixelSizeY = 40000;
    int rotation = 0;
    uint8_t paramSet = 1;
    const char* serial = "LS2026-000117";
};

// A ramp with a dark square: values 1000 ... 1000 + 30 * (x + y), 200 in the square.
inline std::vector<uint16_t> PlatePixels(const TestPlate& s) {
    std::vector<uint16_t> px(size_t(s.width) * s.height);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            px[size_t(y) * s.width + x] =
                (x >= 5 && x < 12 && y >= 5 && y < 12) ? 200 : uint16_t(1000 + 30 * (x + y));
    return px;
}

inline ImageInfo PlateInfo(const TestPlate& s) {
    ImageInfo info{};
    info.size = sizeof info;
    // The record carries the size as written: turned by a quarter, width and height swap.
    const bool quarter = s.rotation == 90 || s.rotation == 270 || s.rotation == -90;
    info.width = quarter ? s.height : s.width;
    info.height = quarter ? s.width : s.height;
    info.pixelSizeX = s.pixelSizeX;
    info.pixelSizeY = s.pixelSizeY;
    info.bitsPerPixel = 16;
    info.year = 2026;
    info.month = 3;
    info.day = 7;
    info.hour = 14;
    info.minute = 5;
    info.second = 9;
    std::strncpy(info.text, s.serial, sizeof info.text - 1);
    info.rotation = uint8_t((s.rotation < 0 ? s.rotation + 360 : s.rotation) & 0xFF);
    info.scale = 1.0f;
    info.paramSet = s.paramSet;
    info.whiteLevel = 0xFFEF;
    return info;
}

// Writes dir/name (".XYZ") and its info file; returns the image path.
inline std::string WritePlate(const std::string& dir, const std::string& name, const TestPlate& s) {
    std::string path = dir + "/" + name;
    std::vector<uint16_t> px = PlatePixels(s);
    WriteXyz16(ImageSizeWord(s.width, s.height), px.data(), path.c_str(), s.rotation);
    WriteImageInfo(PlateInfo(s), (path.substr(0, path.size() - 3) + "txt").c_str());
    return path;
}
