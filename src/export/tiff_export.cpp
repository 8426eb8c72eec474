#include "export/tiff_export.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>

#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t ROWS_PER_STRIP = 64;

// libtiff reports through global handlers; the exporter reports through its result.
void Quiet(const char*, const char*, va_list) {}

bool Encode(TIFF* tiff, const PlateImage& image) {
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width)) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height)) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
              TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, ROWS_PER_STRIP) &&
              TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER) &&
              TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(10.0 / image.ColumnSpacingMm())) &&
              TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(10.0 / image.RowSpacingMm())) &&
              TIFFSetField(tiff, TIFFTAG_SOFTWARE, "lumora");
    std::vector<uint16_t> row(image.width);
    for (uint32_t y = 0; ok && y < image.height; ++y) {
        // libtiff takes native byte order and writes the file's own.
        std::copy_n(image.pixels.begin() + ptrdiff_t(y) * image.width, image.width, row.begin());
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
    }
    return ok;
}

}  // namespace

int WriteTiff16(const PlateImage& image, const std::string& path, std::string* error) {
    TIFFSetErrorHandler(Quiet);
    TIFFSetWarningHandler(Quiet);
    const std::string partial = path + ".part";
    TIFF* tiff = TIFFOpen(partial.c_str(), "w");
    if (!tiff) {
        *error = partial + ": cannot create the TIFF file";
        return LUMORA_E_FILE;
    }
    bool ok = Encode(tiff, image);
    ok = TIFFFlush(tiff) == 1 && ok;
    TIFFClose(tiff);
    if (!ok || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        *error = path + ": cannot write the TIFF file";
        return LUMORA_E_FILE;
    }
    return LUMORA_OK;
}
