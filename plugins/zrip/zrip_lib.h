// Internals of libzrip.so.
#pragma once
#include <cstdint>
#include "imagefile/image_desc.h"

// Results of the library (16-bit).
enum : int16_t {
    ZRIP_OK = 0,
    ZRIP_E_ARGUMENT = -1,     // missing or mismatched image, missing text or path
    ZRIP_E_UNKNOWN = -2,      // unknown operation or curve type
    ZRIP_E_MALFORMED = -3,    // missing, unknown, repeated or out-of-range parameter
    ZRIP_E_OPEN = -4,         // image file cannot be opened
    ZRIP_E_FORMAT = -5,       // image file damaged, truncated or of an unsupported kind
    ZRIP_E_NOT_SUPPORTED = -6,
    ZRIP_E_MEMORY = -100,
};

constexpr uint64_t ZRIP_MAX_PIXELS = 100u * 1000u * 1000u;  // largest image read from a file

// Filters of SC_Filter_Image, chosen by the parameter text (see README.md).
int16_t FilterImage(const ImageDesc& source, const ImageDesc& destination, const char* parameter);
// Greyscale limitation of Opt_GreyscaleLim (see README.md).
int16_t GreyscaleLim(const ImageDesc& source, const ImageDesc& destination, int32_t lo,
                     int32_t up, int32_t htyp);
// A grayscale PNG (8 or 16 bits) into a malloc'ed 16-bit buffer.
int16_t ReadPng(const char* path, ImageDesc* image);
bool IsPngFile(const char* path);
