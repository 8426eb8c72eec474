#include "phantoms.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lumora_emu {

namespace {

constexpr uint16_t kLow = 6000, kHigh = 58000;

void StepWedge(PlateImage& im) {
    // Eight steps across the plate, a bright frame two pixels wide around it.
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            int step = x * 8 / im.width;
            uint16_t v = uint16_t(kLow + step * (kHigh - kLow) / 7);
            if (x < 2 || y < 2 || x >= im.width - 2 || y >= im.height - 2) v = kHigh;
            im.pixels[size_t(y) * im.width + x] = v;
        }
}

void Bars(PlateImage& im) {
    // Four bands from top to bottom with bar periods of 2, 4, 8 and 16 pixels.
    for (int y = 0; y < im.height; ++y) {
        int band = std::min(3, y * 4 / im.height);
        int period = 2 << band;
        for (int x = 0; x < im.width; ++x) {
            bool bright = (x % period) < period / 2;
            im.pixels[size_t(y) * im.width + x] = bright ? kHigh : kLow;
        }
    }
}

void Shapes(PlateImage& im) {
    int w = im.width, h = im.height;
    int cx = w / 3, cy = h / 3, r = std::min(w, h) / 5;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint16_t v = 9000;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) v = 50000;
            if (x >= w / 2 && x < w - w / 8 && y >= h / 8 && y < h / 2) v = 30000;
            // triangle with its apex at the top, lower left quarter
            int ty0 = h / 2 + h / 16, ty1 = h - h / 8, tx = w / 4;
            if (y >= ty0 && y < ty1) {
                int half = (y - ty0) * (w / 6) / std::max(1, ty1 - ty0);
                if (x >= tx - half && x <= tx + half) v = 40000;
            }
            im.pixels[size_t(y) * w + x] = v;
        }
}

}  // namespace

bool MakePhantom(const std::string& name, uint16_t width, uint16_t height, PlateImage* out,
                 uint16_t level) {
    if (name == "flat") {
        // A uniformly exposed plate: the reference of a calibration.
        out->width = std::max<uint16_t>(8, width ? width : 512) & 0xFFFE;
        out->height = std::max<uint16_t>(8, height ? height : 512);
        out->pixels.assign(size_t(out->width) * out->height, level);
        return true;
    }
    struct Kind { const char* name; void (*draw)(PlateImage&); uint16_t w, h; };
    static const Kind kinds[] = {{"stepwedge", StepWedge, 256, 320},
                                 {"bars", Bars, 320, 256},
                                 {"shapes", Shapes, 288, 288}};
    for (const Kind& k : kinds) {
        if (name != k.name) continue;
        out->width = std::max<uint16_t>(8, width ? width : k.w) & 0xFFFE;
        out->height = std::max<uint16_t>(8, height ? height : k.h);
        out->pixels.assign(size_t(out->width) * out->height, 0);
        k.draw(*out);
        return true;
    }
    return false;
}

static bool ReadRaw(const std::string& path, PlateImage* out, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open plate image " + path;
        return false;
    }
    uint8_t head[4];
    bool ok = std::fread(head, 1, 4, f) == 4;
    long fileSize = -1;
    if (ok && std::fseek(f, 0, SEEK_END) == 0) fileSize = std::ftell(f);
    ok = ok && fileSize >= 4 && std::fseek(f, 4, SEEK_SET) == 0;
    uint16_t w = uint16_t(head[0] | head[1] << 8), h = uint16_t(head[2] | head[3] << 8);
    if (!ok || w == 0 || h == 0 || (w == 0xFFFF && h == 0)) {
        std::fclose(f);
        *error = "plate image " + path + ": not a 16-bit image file";
        return false;
    }
    if (uint64_t(fileSize) - 4 < uint64_t(w) * h * 2) {
        std::fclose(f);
        *error = "plate image " + path + ": file shorter than its size says";
        return false;
    }
    std::vector<uint8_t> raw(size_t(w) * h * 2);
    ok = std::fread(raw.data(), 1, raw.size(), f) == raw.size();
    std::fclose(f);
    if (!ok) {
        *error = "plate image " + path + ": file shorter than its size says";
        return false;
    }
    out->width = w;
    out->height = h;
    out->pixels.resize(size_t(w) * h);
    for (size_t i = 0; i < out->pixels.size(); ++i)
        out->pixels[i] = uint16_t(raw[2 * i] | raw[2 * i + 1] << 8);
    return true;
}

bool ReadPlateFile(const std::string& path, PlateImage* out, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open plate image " + path;
        return false;
    }
    uint8_t sig[8] = {};
    size_t got = std::fread(sig, 1, 8, f);
    std::fclose(f);
    if (got < 8 || png_sig_cmp(sig, 0, 8) != 0) return ReadRaw(path, out, error);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = "plate image " + path + ": " + image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > 8192 || image.height > 65535) {
        png_image_free(&image);
        *error = "plate image " + path + ": size out of range";
        return false;
    }
    image.format = PNG_FORMAT_LINEAR_Y;
    std::vector<uint16_t> px(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) {
        *error = "plate image " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    out->width = uint16_t(image.width);
    out->height = uint16_t(image.height);
    out->pixels = std::move(px);
    return true;
}

}  // namespace lumora_emu
