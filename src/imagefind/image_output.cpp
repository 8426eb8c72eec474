// Image production: numbering and names, rebuild, post-processing, scripts, image and info
// files, plate counting. Files appear under their final names only when complete.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/file_write.h"
#include "platform/log_channel.h"
#include "imagefile/extra_header.h"
#include "config/image_numbering.h"
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

// Writes the info file under a temporary name and renames it when complete. 0 or the system
// error.
int WriteInfoFile(const ImageInfo& info, const char* imageName) {
    char name[1100], partial[1200];
    if (!InfoName(name, sizeof name, imageName) || !PartialName(partial, sizeof partial, name))
        return ENAMETOOLONG;
    int err = platform::InjectedWriteError(platform::WriteTarget::Info);
    if (err == 0) {
        errno = 0;
        if (WriteImageInfo(info, partial) != 0)
            err = errno ? errno : EIO;
        else if (std::rename(partial, name) != 0)
            err = errno ? errno : EIO;
    }
    if (err != 0) {
        std::remove(partial);
        LogPrint(LOG_ERROR, "info file %s not written: %s", name, std::strerror(err));
    }
    return err;
}

}  // namespace

void Imagefind::ReportOutputError(int err) {
    int expected = 0;
    OutputError.compare_exchange_strong(expected, WriteErrorCode(err));
}

void Imagefind::MakeImageName(char* out, int number) const {
    const size_t length = strnlen(ImageDir, sizeof ImageDir);
    const bool slash = length > 0 && ImageDir[length - 1] == '/';
    std::snprintf(out, 1024, "%.*s%sLM%06i.XYZ", int(length), ImageDir, slash ? "" : "/", number);
}

int Imagefind::NextImageName(char* out) {
    // Two callers never take the same number: the one whose exchange succeeds owns it.
    int32_t reported = ImagesReported.load(std::memory_order_acquire);
    for (;;) {
        const int pending = ImageCounter.load(std::memory_order_acquire) - reported;
        if (pending < 1) {
            out[0] = '\0';
            return pending;
        }
        if (ImagesReported.compare_exchange_weak(reported, reported + 1, std::memory_order_acq_rel)) {
            MakeImageName(out, reported + 1);
            return pending;
        }
    }
}

int Imagefind::InitImageCounter() {
    const int highest = GetHighestImageNumber(ImageDir);
    const int kept = ReadNumberingFile(ImageDir);
    const int used = kept > highest ? kept : highest;
    if (used != 0) {
        ImageCounter.store(used);
        ImagesReported.store(used);
    }
    return highest;
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
    if (RangeDamaged(range)) {
        // The plate was read, but some of its values never reached the temporary file.
        const int err = TempWriteErrno ? TempWriteErrno : EIO;
        LogPrint(LOG_ERROR, "range %i lost data in temporary file %s (%s), no image produced",
                 range, TempFileName, std::strerror(err));
        ReportOutputError(err);
        CountPlateAndSave(this, Device.ImageType);
        return;
    }

    // The number is taken only when both files are complete.
    const int number = ImageCounter.load(std::memory_order_relaxed) + 1;
    char name[1024];
    MakeImageName(name, number);
    ImageInfo info{};
    int err = 0;  // system error of a failed write

    if (LineWriteMode) {
        LogPrint(LOG_INFO, "using line by line write methode");
        const int r = WriteImageLines(range, name);
        if (r == LUMORA_E_NO_MEMORY) {  // nothing could be rebuilt
            LogPrint(LOG_ERROR, "image %s not produced", name);
            return;
        }
        if (r != 0) err = LineWriteErrno ? LineWriteErrno : EIO;
        info.width = uint32_t(sizes.width);
        info.height = uint32_t(sizes.height);
        info.maxValue = info.meanValue = 0;
        FillImageInfo(&info, range);
    } else {
        ImageDesc image;
        if (CollectImage(range, &image) != 0) {
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
        if (!PartialName(partial, sizeof partial, name)) {
            err = ENAMETOOLONG;
        } else {
            err = platform::InjectedWriteError(platform::WriteTarget::Image);
            errno = 0;
            if (err == 0 && WriteXyz16(size, image.pixels, partial, Settings.Rotation) != 0)
                err = errno ? errno : EIO;
            if (err == 0 && std::rename(partial, name) != 0) err = errno ? errno : EIO;
            if (err != 0) std::remove(partial);
        }
        if (err == 0) {
            LogPrint(LOG_INFO, "%s succesfully written using 16Bit XYZ-Mode", name);
        } else {
            LogPrint(LOG_ERROR, "can't write image file %s", name);
            LogPrint(LOG_ERROR, "image file %s not written: %s", name, std::strerror(err));
        }
        std::free(image.pixels);
    }

    // The info file follows a complete image; without it the image goes too.
    if (err == 0 && (err = WriteInfoFile(info, name)) != 0) std::remove(name);
    CountPlateAndSave(this, Device.ImageType);
    if (err != 0) {
        ReportOutputError(err);
        return;
    }
    ImageCounter.store(number, std::memory_order_release);
    WriteNumberingFile(ImageDir, number);
}
