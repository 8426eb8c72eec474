// LINE write mode: the range is rebuilt line by line straight into the image file, with a few
// line buffers whatever the plate size. The file is written under a temporary name and renamed
// when complete.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lumora/lumora.h"
#include "platform/file_write.h"
#include "platform/log_channel.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

namespace {

constexpr size_t FILE_BUFFER = 1 << 20;

// 0 or the system error of the first write that failed.
int WriteRepeated(const uint16_t* values, int count, int times, FILE* file) {
    if (count <= 0) return 0;
    for (int k = 0; k < times; ++k) {
        errno = 0;
        if (std::fwrite(values, 2, size_t(count), file) != size_t(count)) return errno ? errno : EIO;
    }
    return 0;
}

}  // namespace

void Imagefind::WriteBinnedLine(uint16_t* line, int count, FILE* file, uint16_t* accumulator,
                                bool second) {
    const int interpolate = EffectiveInterpolation();
    auto write = [&](const uint16_t* values, int n) {
        const int err = WriteRepeated(values, n, interpolate, file);
        if (err != 0 && LineWriteErrno == 0) LineWriteErrno = err;
    };
    if (EffectiveBinning() == 1) {
        write(line, count);
        return;
    }
    if (!second) {
        std::memcpy(accumulator, line, size_t(count) * 2);
        return;
    }
    for (int i = 0; i < count; ++i) accumulator[i] = uint16_t((line[i] + accumulator[i]) >> 1);
    if (EffectiveOvsFactor() == 2) {
        for (int i = 0; i < count / 2; ++i) accumulator[i] = accumulator[2 * i];
        write(accumulator, count / 2);
    } else {
        write(accumulator, count);
    }
}

int Imagefind::WriteImageLines(int range, const char* fileName) {
    if (WTempfile) std::fflush(WTempfile);
    LineWriteErrno = 0;
    if (!RangeUsable(range)) return LUMORA_E_NO_MEMORY;
    const PlateRange r = Rangebuffer[range];
    const RangeSizes s = SizesOf(r);
    const uint16_t width = uint16_t(s.width);
    const uint16_t height = uint16_t(s.height);

    char partial[1100];
    int injected = platform::InjectedWriteError(platform::WriteTarget::Image);
    errno = 0;
    FILE* file = injected == 0 && PartialName(partial, sizeof partial, fileName)
                     ? std::fopen(partial, "wb")
                     : nullptr;
    if (!file) {
        LineWriteErrno = injected ? injected : errno ? errno : ENAMETOOLONG;
        LogPrint(LOG_ERROR, "can't write Imagefile: %s", fileName);
        LogPrint(LOG_ERROR, "image file %s not written: %s", fileName, std::strerror(LineWriteErrno));
        return LUMORA_E_NOT_OPEN;
    }
    char* fileBuffer = static_cast<char*>(std::malloc(FILE_BUFFER));
    if (fileBuffer) std::setvbuf(file, fileBuffer, _IOFBF, FILE_BUFFER);

    LogPrint(LOG_INFO, "write Imagefile: %s Raw Size: %i x %i", fileName, s.rawWidth, s.rawHeight);
    LogPrint(LOG_INFO, "      Image Size: %i x %i = %i Bytes", int(width), int(height),
             ByteCount(width, height));
    LogPrint(LOG_INFO, "      Anf X,Y=%i,%i , End X,Y=%i,%i", r.AnfX, r.AnfY, r.EndX, r.EndY);
    LogPrint(LOG_INFO, "      Binning=%i", Settings.Binning);
    LogPrint(LOG_INFO, "      Akt_Y=%i , LastCollect=%i , AnzPixLine=%i", Akt_Y, LastCollect,
             AnzPixLine);
    LogPrint(LOG_INFO, "      current Rang=%i, AnzRanges=%i", range, AnzRanges);
    LogPrint(LOG_INFO, "      R-Tempfile=%i", RTempfile ? fileno(RTempfile) : -1);
    LogPrint(LOG_INFO, "      W-Tempfile=%i", WTempfile ? fileno(WTempfile) : -1);
    if (Settings.Mirror) LogPrint(LOG_INFO, "      mirror mode aktive");

    const uint16_t header[2] = {width, height};
    if (std::fwrite(header, 2, 2, file) != 2 && LineWriteErrno == 0) LineWriteErrno = errno ? errno : EIO;
    BinToggle = 0;

    const int w = s.rawWidth;
    const bool deflash = Settings.DeFlash != 0;
    uint16_t* line = static_cast<uint16_t*>(std::malloc(size_t(LineBufferLength()) * 2));
    uint16_t* acc = static_cast<uint16_t*>(std::malloc(size_t(w) * 2));
    uint16_t* ring = deflash ? static_cast<uint16_t*>(std::malloc(size_t(w) * 2 * 3)) : nullptr;
    if (!line || !acc || (deflash && !ring)) {
        LogPrint(LOG_ERROR, "can't allocate Buffer for line reconstruction");
        std::free(line);
        std::free(acc);
        std::free(ring);
        std::fclose(file);
        std::free(fileBuffer);
        std::remove(partial);
        return LUMORA_E_NO_MEMORY;
    }

    const int binning = EffectiveBinning();
    auto secondOfPair = [&](int y) { return binning == 1 || (y - r.AnfY) % 2 == 1; };
    int cursor = 0;
    for (int y = r.AnfY; y <= r.EndY; ++y) {
        RebuildLine(y, r, line, &cursor);
        uint16_t* values = line + r.AnfX;
        BinToggle = secondOfPair(y) ? 1 : 0;
        if (Settings.Mirror)
            for (int i = 0; i < w / 2; ++i) {
                const uint16_t t = values[i];
                values[i] = values[w - 1 - i];
                values[w - 1 - i] = t;
            }
        if (!deflash) {
            WriteBinnedLine(values, w, file, acc, BinToggle != 0);
            continue;
        }
        // Ring of lines y - 2, y - 1, y: slot of line n is n mod 3.
        uint16_t* current = ring + size_t((y - r.AnfY) % 3) * w;
        std::memcpy(current, values, size_t(w) * 2);
        if (y >= r.AnfY + 2) {
            uint16_t* middle = ring + size_t((y - 1 - r.AnfY) % 3) * w;
            const uint16_t* above = ring + size_t((y - 2 - r.AnfY) % 3) * w;
            const int threshold = Settings.DeFlash;
            for (int i = 0; i < w; ++i)
                if (int(middle[i]) - int(above[i]) > threshold)
                    middle[i] = uint16_t((current[i] + above[i]) >> 1);
        }
        if (y > r.AnfY)
            WriteBinnedLine(ring + size_t((y - 1 - r.AnfY) % 3) * w, w, file, acc,
                            secondOfPair(y - 1));
    }
    if (deflash) {
        WriteBinnedLine(ring + size_t((r.EndY - r.AnfY) % 3) * w, w, file, acc,
                        secondOfPair(r.EndY));
        LogPrint(LOG_INFO, "      using DeFlash filter DeFlash=%i", int(Settings.DeFlash));
    }

    LogPrint(LOG_INFO, "      last block to search %i with Y=%i", cursor, Blockbuffer[cursor].Y);
    const bool written = std::ferror(file) == 0 && LineWriteErrno == 0;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (!closed && LineWriteErrno == 0) LineWriteErrno = errno ? errno : EIO;
    std::free(fileBuffer);
    std::free(line);
    std::free(acc);
    std::free(ring);
    errno = 0;
    if (!written || !closed || std::rename(partial, fileName) != 0) {
        if (LineWriteErrno == 0) LineWriteErrno = errno ? errno : EIO;
        LogPrint(LOG_ERROR, "can't write Imagefile: %s", fileName);
        LogPrint(LOG_ERROR, "image file %s not written: %s", fileName, std::strerror(LineWriteErrno));
        std::remove(partial);
        return LUMORA_E_NOT_OPEN;
    }
    return 0;
}
