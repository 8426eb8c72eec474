// Image production: numbering and names, rebuild, post-processing, scripts, image and info
// files, plate counting. Files appear under their final names only when complete.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/log_channel.h"
#include "imagefile/extra_header.h"
#include "config/paths.h"
#include "config/scanner_settings.h"
#include "diagnostics/device_memory.h"
#include "imagefile/image_file.h"
#include "imagefile/zrip_wrapper.h"
#include "imagefind/imagefind.h"

namespace {

uint32_t Nanometres(double metres) {
    const double v = metres * 1e9 + 0.5;
    if (!(v > 0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return uint32_t(v);
}

void SetScanTime(ImageInfo* info) {
    const int penta = Settings.Penta ? Settings.Penta : 1;
    const int64_t t = int64_t(info->height) * EffectiveBinning() * 60 / penta;
    info->scanTime = uint16_t(t);
}

// Info-file name: the image name with "txt" as its last three characters.
bool InfoName(char* out, size_t size, const char* imageName) {
    const size_t length = std::strlen(imageName);
    if (length < 3 || length >= size) return false;
    std::memcpy(out, imageName, length - 3);
    std::memcpy(out + length - 3, "txt", 4);
    return true;
}

// Writes the info file under a temporary name and renames it when complete.
void WriteInfoFile(const ImageInfo& info, const char* imageName) {
    char name[1100], partial[1200];
    if (!InfoName(name, sizeof name, imageName) || !PartialName(partial, sizeof partial, name))
        return;
    if (WriteImageInfo(info, partial) != 0 || std::rename(partial, name) != 0)
        std::remove(partial);
}

}  // namespace

void Imagefind::MakeImageName(char* out, int number) const {
    const size_t length = strnlen(ImageDir, sizeof ImageDir);
    const bool slash = length > 0 && ImageDir[length - 1] == '/';
    std::snprintf(out, 1024, "%.*s%sLM%06i.XYZ", int(length), ImageDir, slash ? "" : "/", number);
}

int Imagefind::NextImageName(char* out) {
    const int pending = PendingImages();
    if (pending < 1) {
        out[0] = '\0';
        return pending;
    }
    ++ImagesReported;
    MakeImageName(out, ImagesReported);
    return pending;
}

void Imagefind::InitImageCounter() {
    const int highest = GetHighestImageNumber(ImageDir);
    if (highest != 0) ImageCounter = ImagesReported = highest;
}

void Imagefind::FillImageInfo(ImageInfo* info, int range) {
    const PlateRange& r = Rangebuffer[range >= 0 && range <= MAX_RANGES ? range : 0];
    info->size = sizeof(ImageInfo);
    info->pixelSizeX = Nanometres(Device.PixelSizeX);
    info->pixelSizeY = Nanometres(Device.PixelSizeY);
    info->bitsPerPixel = 16;
    info->startX = r.AnfX;
    uint8_t sectors = 0;
    for (int k = 0; k < 6; ++k)
        if (int64_t(r.AnfX) < int64_t(Device.AngleTable[k + 1]) &&
            int64_t(r.EndX) > int64_t(Device.AngleTable[k]))
            sectors |= uint8_t(1 << k);
    info->sectorBits = sectors;
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    info->year = uint16_t(local.tm_year + 1900);
    info->month = uint8_t(local.tm_mon + 1);
    info->day = uint8_t(local.tm_mday);
    info->hour = uint8_t(local.tm_hour);
    info->minute = uint8_t(local.tm_min);
    info->second = uint8_t(local.tm_sec);
    std::memset(info->text, 0, sizeof info->text);
    // The serial number need not be terminated within its field.
    std::snprintf(info->text, sizeof info->text, "%.*s",
                  int(strnlen(Device.SerialId, sizeof Device.SerialId)), Device.SerialId);
    std::memset(info->reserved1, 0, sizeof info->reserved1);
    info->reserved2 = 0;
    const int rotation = Settings.Rotation < 0 ? Settings.Rotation + 360 : Settings.Rotation;
    info->rotation = uint8_t(rotation & 0xFF);
    const float scale = Settings.Scale;
    const float result = float(info->pixelSizeX + info->pixelSizeY) / (scale * 2.0f);
    info->resultPixelSize = std::isfinite(result) && result > 0 && result < 4.2e9f ? uint32_t(result) : 0;
    info->scale = scale;
    info->paramSet = ParamSetNumber;
    info->whiteLevel = Device.MaxPixVal;
    info->extraHeaderSize = uint32_t(ExtraHeaderSize);
    SetScanTime(info);
}

void Imagefind::ProduceImage(int range) {
    if (!RangeUsable(range)) return;
    const RangeSizes sizes = SizesOf(Rangebuffer[range]);
    if (sizes.width < 1 || sizes.height < 1 || sizes.width > 0xFFFF || sizes.height > 0xFFFF) {
        LogPrint(LOG_WARNING, "range %i gives no image (%i x %i), no image written", range,
                 sizes.width, sizes.height);
        return;
    }

    ++ImageCounter;
    char name[1024];
    MakeImageName(name, ImageCounter);
    ImageInfo info{};

    if (LineWriteMode) {
        LogPrint(LOG_INFO, "using line by line write methode");
        const int r = WriteImageLines(range, name);
        if (r == -100) {  // nothing could be rebuilt: the number is not used up
            --ImageCounter;
            LogPrint(LOG_ERROR, "image %s not produced", name);
            return;
        }
        info.width = uint32_t(sizes.width);
        info.height = uint32_t(sizes.height);
        info.maxValue = info.meanValue = 0;
        FillImageInfo(&info, range);
    } else {
        ImageDesc image;
        if (CollectImage(range, &image) != 0) {
            --ImageCounter;
            LogPrint(LOG_ERROR, "image %s not produced", name);
            return;
        }
        const uint32_t size = ImageSizeWord(image.width, image.height);
        if (Settings.Mirror) {
            if (!AtriumMode) {
                MirrorImage(&image);
                LogPrint(LOG_INFO, "      mirror mode active");
            } else {
                LogPrint(LOG_INFO, "      mirror mode disabled for ATRIUM");
            }
        }
        LogPrint(LOG_INFO, "      Image Rotation = %i deg", Settings.Rotation);
        if (AtriumMode && Settings.Rotation != 0) {
            LogPrint(LOG_INFO, "      Image Rotation disabled for ATRIUM / LumoraConfig");
            Settings.Rotation = 0;
        }
        if (Settings.DeFlash != 0) {
            DeFlashFilter(size, image.pixels, Settings.DeFlash);
            LogPrint(LOG_INFO, "      using DeFlash filter DeFlash=%i", int(Settings.DeFlash));
        }
        FillImageInfo(&info, range);
        if (info.scale != 1.0f)
            LogPrint(LOG_INFO, "      scaling Pixel DPI by %5.3f -> result pixelsize=%5.3fum",
                     double(info.scale), info.resultPixelSize / 1000.0);
        WindowStatistics(size, image.pixels, Settings.MWindow_X, Settings.MWindow_Y, &info);
        SetScanTime(&info);
        LogPrint(LOG_INFO, "      Avg=%u, Max=%u, WinX=%u, WinY=%u", unsigned(info.meanValue),
                 unsigned(info.maxValue), unsigned(Settings.MWindow_X),
                 unsigned(Settings.MWindow_Y));
        if (!AtriumMode) {
            RunImoScript(size, image.pixels, Settings.TypeScript);
            RunImoScript(size, image.pixels, Settings.ParamScript);
            LogPrint(LOG_INFO, "      running Opt_Greyscale Type=%i low=%i high=%i", Settings.RangeLo,
                     Settings.RangeUp, Settings.RangeHtyp);
            Zrip().Opt_GreyscaleLim(image, image, Settings.RangeLo, Settings.RangeUp,
                                    Settings.RangeHtyp);
        }
        char partial[1200];
        const bool written = PartialName(partial, sizeof partial, name) &&
                             WriteXyz16(size, image.pixels, partial, Settings.Rotation) == 0 &&
                             std::rename(partial, name) == 0;
        if (written) {
            LogPrint(LOG_INFO, "%s succesfully written using 16Bit XYZ-Mode", name);
        } else {
            std::remove(partial);
            LogPrint(LOG_ERROR, "can't write image file %s", name);
        }
        std::free(image.pixels);
    }

    WriteInfoFile(info, name);
    CountPlate(Device.ImageType);
}
