#include "export/png_export.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
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

png_uint_32 PixelsPerMetre(double spacingMm) {
    const double v = 1000.0 / spacingMm;
    return std::isfinite(v) && v > 0 && v < 4e9 ? png_uint_32(std::lround(v)) : 0;
}

// Rows are ready before libpng runs: nothing with a destructor lives across its longjmp.
bool Encode(PngFile& f, const std::vector<std::vector<uint8_t>>& rows, const PlateImage& image,
            int depth) {
    if (setjmp(png_jmpbuf(f.png))) return false;
    png_init_io(f.png, f.file);
    png_set_IHDR(f.png, f.info, image.width, image.height, depth, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_uint_32 x = PixelsPerMetre(image.ColumnSpacingMm());
    const png_uint_32 y = PixelsPerMetre(image.RowSpacingMm());
    if (x && y) png_set_pHYs(f.png, f.info, x, y, PNG_RESOLUTION_METER);
    png_write_info(f.png, f.info);
    for (const auto& row : rows) png_write_row(f.png, row.data());
    png_write_end(f.png, f.info);
    return true;
}

}  // namespace

int WritePng(const PlateImage& image, bool eightBit, const std::string& path, std::string* error) {
    uint16_t lo = 0, hi = 0xFFFF;
    if (eightBit) {
        auto [mn, mx] = std::minmax_element(image.pixels.begin(), image.pixels.end());
        lo = *mn;
        hi = *mx;
    }
    const double span = hi > lo ? double(hi - lo) : 1.0;
    std::vector<std::vector<uint8_t>> rows(image.height);
    for (uint32_t yy = 0; yy < image.height; ++yy) {
        const uint16_t* src = image.pixels.data() + size_t(yy) * image.width;
        auto& row = rows[yy];
        row.resize(size_t(image.width) * (eightBit ? 1 : 2));
        for (uint32_t x = 0; x < image.width; ++x) {
            if (eightBit) {
                row[x] = uint8_t((src[x] - lo) * 255.0 / span + 0.5);
            } else {  // PNG samples are big-endian
                row[2 * x] = uint8_t(src[x] >> 8);
                row[2 * x + 1] = uint8_t(src[x] & 0xFF);
            }
        }
    }
    const std::string partial = path + ".part";
    PngFile f;
    f.file = std::fopen(partial.c_str(), "wb");
    if (!f.file) {
        *error = partial + ": cannot create the PNG file";
        return LUMORA_E_FILE;
    }
    f.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (f.png) f.info = png_create_info_struct(f.png);
    bool ok = f.png && f.info && Encode(f, rows, image, eightBit ? 8 : 16);
    ok = std::fflush(f.file) == 0 && ok;
    ok = std::fclose(f.file) == 0 && ok;
    f.file = nullptr;
    if (!ok || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        *error = path + ": cannot write the PNG file";
        return LUMORA_E_FILE;
    }
    return LUMORA_OK;
}
