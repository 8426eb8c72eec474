// PNG files read back with libpng: size, bit depth, colour type, pixel size and the samples.
#pragma once
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct PngImage {
    uint32_t width = 0, height = 0;
    int depth = 0;              // bits per sample
    int colorType = -1;         // PNG_COLOR_TYPE_...
    uint32_t xppm = 0, yppm = 0;  // pHYs, pixels per metre (0: none)
    // 16-bit files: the samples, high byte first; otherwise the bytes of the rows.
    std::vector<uint16_t> samples;
};

namespace png_read_detail {

// libpng's errors longjmp back here: only plain pointers live in these frames.
inline bool ReadHeader(png_structp png, png_infop info, FILE* f) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_read_info(png, info);
    return true;
}

inline bool ReadRows(png_structp png, uint8_t* rows, size_t rowBytes, uint32_t height) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (uint32_t y = 0; y < height; y++) png_read_row(png, rows + y * rowBytes, nullptr);
    return true;
}

struct Reader {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~Reader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

}  // namespace png_read_detail

// Reads the file; false when it cannot be opened or is not a whole PNG file.
inline bool ReadPng(const std::string& path, PngImage* out) {
    *out = PngImage{};
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    png_read_detail::Reader r;
    if (!r.info || !png_read_detail::ReadHeader(r.png, r.info, file.get())) return false;
    out->width = png_get_image_width(r.png, r.info);
    out->height = png_get_image_height(r.png, r.info);
    out->depth = png_get_bit_depth(r.png, r.info);
    out->colorType = png_get_color_type(r.png, r.info);
    int unit = 0;
    png_get_pHYs(r.png, r.info, &out->xppm, &out->yppm, &unit);
    const size_t rowBytes = png_get_rowbytes(r.png, r.info);
    std::vector<uint8_t> rows(rowBytes * out->height);
    if (!png_read_detail::ReadRows(r.png, rows.data(), rowBytes, out->height)) return false;
    if (out->depth == 16) {
        for (size_t i = 0; i + 1 < rows.size(); i += 2)
            out->samples.push_back(uint16_t(rows[i] << 8 | rows[i + 1]));
    } else {
        out->samples.assign(rows.begin(), rows.end());
    }
    return true;
}
