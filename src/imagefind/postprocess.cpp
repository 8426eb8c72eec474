// Post-processing of a finished image in memory: mirroring, flash filter, window statistics.
#include "lumora/lumora.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

void Imagefind::MirrorImage(ImageDesc* image) {
    if (!image || !image->pixels) return;
    const int width = image->width;
    for (int y = 0; y < image->height; ++y) {
        uint16_t* row = image->pixels + size_t(y) * width;
        for (int x = 0; x < width / 2; ++x) {
            const uint16_t t = row[x];
            row[x] = row[width - 1 - x];
            row[width - 1 - x] = t;
        }
    }
}

int Imagefind::DeFlashFilter(uint32_t size, uint16_t* pixels, uint16_t threshold) {
    if (!pixels) return LUMORA_E_RANGE;
    const int width = SizeWidth(size);
    const int height = SizeHeight(size);
    if (height < 3) return 0;
    for (int y = 1; y <= height - 2; ++y) {
        uint16_t* row = pixels + size_t(y) * width;
        const uint16_t* above = row - width;
        const uint16_t* below = row + width;
        for (int x = 1; x <= width - 2; ++x)
            if (int(row[x]) - int(above[x]) > int(threshold))
                row[x] = uint16_t((below[x] + above[x]) >> 1);
    }
    return 0;
}

int Imagefind::WindowStatistics(uint32_t size, const uint16_t* pixels, uint8_t winX, uint8_t winY,
                                ImageInfo* info) {
    if (!pixels) return LUMORA_E_RANGE;
    const int width = SizeWidth(size);
    const int height = SizeHeight(size);
    // Window bounds, kept inside the image for window values above 100.
    auto clampTo = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
    const int x0 = clampTo((100 - winX) * width / 100, width);
    const int x1 = clampTo(width - x0, width);
    const int y0 = clampTo((100 - winY) * height / 100, height);
    const int y1 = clampTo(height - y0, height);
    uint16_t maximum = 0;
    uint64_t sum = 0;
    uint64_t count = 0;
    for (int y = y0; y < y1; ++y) {
        const uint16_t* row = pixels + size_t(y) * width;
        for (int x = x0; x < x1; ++x) {
            if (row[x] > maximum) maximum = row[x];
            sum += row[x];
        }
        if (x1 > x0) count += uint64_t(x1 - x0);
    }
    info->maxValue = maximum;
    info->meanValue = count ? uint16_t(sum / count) : 0;
    if (info->rotation != 0 && info->rotation != 180) {
        info->width = uint32_t(height);
        info->height = uint32_t(width);
    } else {
        info->width = uint32_t(width);
        info->height = uint32_t(height);
    }
    return 0;
}
