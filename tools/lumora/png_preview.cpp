#include "png_preview.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct PngFile {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) fclose(file);
    }
};

// Every row is prepared before libpng runs, so nothing with a destructor lives across the
// longjmp of its error handling.
bool Encode(PngFile& f, const std::vector<std::vector<uint8_t>>& rows, uint32_t width,
            uint32_t height, int depth) {
    if (setjmp(png_jmpbuf(f.png))) return false;
    png_init_io(f.png, f.file);
    png_set_IHDR(f.png, f.info, width, height, depth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(f.png, f.info);
    for (const auto& row : rows) png_write_row(f.png, row.data());
    png_write_end(f.png, f.info);
    return true;
}

}  // namespace

std::string WritePngPreview(const std::string& path, const uint16_t* pixels, uint32_t width,
                            uint32_t height, bool eightBit) {
    if (!pixels || width == 0 || height == 0) return "empty image";
    size_t count = size_t(width) * height;
    uint16_t lo = 0, hi = 0xFFFF;
    if (eightBit) {
        auto [mn, mx] = std::minmax_element(pixels, pixels + count);
        lo = *mn;
        hi = *mx;
    }
    std::vector<std::vector<uint8_t>> rows(height);
    for (uint32_t y = 0; y < height; y++) {
        const uint16_t* src = pixels + size_t(y) * width;
        auto& row = rows[y];
        if (eightBit) {
            row.resize(width);
            double span = hi > lo ? double(hi - lo) : 1.0;
            for (uint32_t x = 0; x < width; x++) row[x] = uint8_t((src[x] - lo) * 255.0 / span + 0.5);
        } else {
            row.resize(size_t(width) * 2);
            for (uint32_t x = 0; x < width; x++) {  // PNG samples are big-endian
                row[2 * x] = uint8_t(src[x] >> 8);
                row[2 * x + 1] = uint8_t(src[x] & 0xFF);
            }
        }
    }

    std::string partial = path + ".part";
    PngFile f;
    f.file = fopen(partial.c_str(), "wb");
    if (!f.file) return partial + ": " + strerror(errno);
    f.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (f.png) f.info = png_create_info_struct(f.png);
    bool ok = f.png && f.info && Encode(f, rows, width, height, eightBit ? 8 : 16);
    ok = fflush(f.file) == 0 && ok;
    fclose(f.file);
    f.file = nullptr;
    if (!ok || rename(partial.c_str(), path.c_str()) != 0) {
        remove(partial.c_str());
        return path + ": cannot write the PNG file";
    }
    return "";
}
