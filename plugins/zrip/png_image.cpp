// Grayscale PNG (1 ... 16 bits) into a 16-bit image; 8-bit values v become v * 257.
#include <png.h>
#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagefile/file_open.h"
#include "zrip_lib.h"

bool IsPngFile(const char* path) {
    FILE* file = OpenRegularFile(path, "rb");
    if (!file) return false;
    unsigned char signature[8];
    const bool png = std::fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0;
    std::fclose(file);
    return png;
}

namespace {

void IgnoreWarning(png_structp, png_const_charp) {}
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct PngRead {
    FILE* file = nullptr;
    uint64_t fileBytes = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint16_t* pixels = nullptr;
    png_bytep* rows = nullptr;
};

// The decoding part; every libpng error ends here through longjmp with no C++ object alive.
int16_t Decode(PngRead* r, ImageDesc* image) {
    if (setjmp(png_jmpbuf(r->png))) return ZRIP_E_FORMAT;
    png_init_io(r->png, r->file);
    png_set_user_limits(r->png, 65535, 65535);
    png_read_info(r->png, r->info);
    const png_uint_32 width = png_get_image_width(r->png, r->info);
    const png_uint_32 height = png_get_image_height(r->png, r->info);
    const int colour = png_get_color_type(r->png, r->info);
    const int depth = png_get_bit_depth(r->png, r->info);
    if (colour != PNG_COLOR_TYPE_GRAY) return ZRIP_E_FORMAT;
    if (width == 0 || height == 0 || uint64_t(width) * height > ZRIP_MAX_PIXELS) return ZRIP_E_FORMAT;
    // Deflate expands at most about 1032 : 1; a file too small for its size is damaged, and
    // is refused before the image memory is claimed.
    const uint64_t rawBytes = uint64_t(height) * (1 + (uint64_t(width) * unsigned(depth) + 7) / 8);
    if (rawBytes > r->fileBytes * 1100) return ZRIP_E_FORMAT;
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(r->png);
    if (depth < 16) png_set_expand_16(r->png);
    if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) png_set_swap(r->png);
    png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    if (png_get_rowbytes(r->png, r->info) != size_t(width) * 2) return ZRIP_E_FORMAT;
    r->pixels = static_cast<uint16_t*>(std::malloc(size_t(width) * height * 2));
    r->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!r->pixels || !r->rows) return ZRIP_E_MEMORY;
    for (png_uint_32 y = 0; y < height; ++y)
        r->rows[y] = reinterpret_cast<png_bytep>(r->pixels + size_t(y) * width);
    png_read_image(r->png, r->rows);
    png_read_end(r->png, nullptr);
    image->width = uint16_t(width);
    image->height = uint16_t(height);
    image->pixels = r->pixels;
    r->pixels = nullptr;  // now the caller's, until Destroy_Image
    return ZRIP_OK;
}

}  // namespace

int16_t ReadPng(const char* path, ImageDesc* image) {
    PngRead r;
    r.file = OpenRegularFile(path, "rb");
    if (!r.file) return ZRIP_E_OPEN;
    struct stat st {};
    if (fstat(fileno(r.file), &st) == 0) r.fileBytes = uint64_t(st.st_size);
    int16_t result = ZRIP_E_MEMORY;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    if (r.png && r.info) result = Decode(&r, image);
    png_destroy_read_struct(r.png ? &r.png : nullptr, r.info ? &r.info : nullptr, nullptr);
    std::free(r.rows);
    std::free(r.pixels);
    std::fclose(r.file);
    return result;
}
