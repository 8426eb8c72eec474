// Image reconstruction from the temporary file: line rebuild, calibration, binning, and the
// in-memory image of block mode.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "lumora/lumora.h"
#include "platform/log_channel.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

bool Imagefind::RangeUsable(int range) const {
    if (range < 1 || range > AnzRanges) {
        LogPrint(LOG_ERROR, "no range %i to rebuild (%i ranges)", range, AnzRanges);
        return false;
    }
    const PlateRange& r = Rangebuffer[range];
    if (r.AnfX < 0 || r.EndX < r.AnfX || r.EndX >= LineBufferLength() || r.EndY < r.AnfY) {
        LogPrint(LOG_ERROR, "range %i cannot be rebuilt: Anf X,Y=%i,%i , End X,Y=%i,%i", range,
                 r.AnfX, r.AnfY, r.EndX, r.EndY);
        return false;
    }
    return true;
}

void Imagefind::RebuildLine(int y, const PlateRange& r, uint16_t* line, int* cursor) {
    const int length = LineBufferLength();
    const uint16_t def = Device.DefPixVal;
    // Only the range's positions reach the image; they start at the default value.
    for (int x = r.AnfX; x <= r.EndX; ++x) line[x] = def;

    int b = *cursor;
    for (; b < LastCollect; ++b) {
        const ScanBlock& block = Blockbuffer[b];
        if (block.Y > y) break;
        if (block.Y < y || block.AnfX > r.EndX || block.EndX < r.AnfX) continue;
        // The whole block is read, clipped to the line buffer.
        const int lo = block.AnfX < 0 ? 0 : block.AnfX;
        const int hi = block.EndX < length ? block.EndX : length - 1;
        if (hi < lo) continue;
        const int want = hi - lo + 1;
        const int got = ReadTemp(block.Offset + uint32_t(lo - block.AnfX) * 2, line + lo, want);
        if (got < 0)
            LogPrint(LOG_ERROR, "can't set File readpointer to Offset Blk:%i=%i", b, block.Y);
        else if (got < want)
            LogPrint(LOG_ERROR, "missing data in tempfile Blk=%i", b);
        // Positions the file did not deliver keep the default value.
        for (int x = got > 0 ? lo + got : lo; x <= hi; ++x)
            if (x >= r.AnfX && x <= r.EndX) line[x] = def;
    }
    *cursor = b;

    // Calibration. Positions past the table take its last factor; no table means PixScale.
    const double* factors = CalibFactors;
    const int last = CalibCount - 1;
    for (int x = r.AnfX; x <= r.EndX; ++x) {
        const double f = factors && last >= 0 ? factors[x <= last ? x : last] : Device.PixScale;
        const double v = line[x] * f;
        int64_t t;
        if (std::isnan(v))
            t = 0;
        else if (v >= 65535.0)
            t = 0xFFFF;
        else if (v <= -2147483648.0)
            t = 0;
        else
            t = int64_t(v);
        line[x] = uint16_t(t & 0xFFFF);
    }
}

int Imagefind::CollectImage(int range, ImageDesc* out) {
    if (WTempfile) std::fflush(WTempfile);
    if (!RangeUsable(range)) return LUMORA_E_NO_MEMORY;
    const PlateRange r = Rangebuffer[range];
    const RangeSizes s = SizesOf(r);
    out->width = uint16_t(s.width);
    out->height = uint16_t(s.height);
    const size_t pixelCount = (size_t(out->height) + 2) * out->width;
    out->pixels = static_cast<uint16_t*>(std::malloc(pixelCount * 2 + 2));

    LogPrint(LOG_INFO, "start collecting Imagedata");
    LogPrint(LOG_INFO, "      Raw Size:   %i x %i", s.rawWidth, s.rawHeight);
    LogPrint(LOG_INFO, "      Image Size: %u x %u = %i Bytes", unsigned(out->width),
             unsigned(out->height), ByteCount(out->width, out->height));
    LogPrint(LOG_INFO, "      Anf X,Y=%i,%i , End X,Y=%i,%i", r.AnfX, r.AnfY, r.EndX, r.EndY);
    LogPrint(LOG_INFO, "      Binning=%i ,Interpolate_Y=%i", Settings.Binning, Settings.Interpolate_Y);
    LogPrint(LOG_INFO, "      Akt_Y=%i , LastCollect=%i , AnzPixLine=%i", Akt_Y, LastCollect,
             AnzPixLine);
    LogPrint(LOG_INFO, "      current Rang=%i, AnzRanges=%i", range, AnzRanges);

    if (!out->pixels) {
        LogPrint(LOG_ERROR, "can't allocate Imagebuffer for image reconstruction");
        return LUMORA_E_NO_MEMORY;
    }
    uint16_t* line = static_cast<uint16_t*>(std::malloc(size_t(LineBufferLength()) * 2));
    uint16_t* acc = static_cast<uint16_t*>(std::malloc(size_t(s.rawWidth) * 2));
    if (!line || !acc) {
        LogPrint(LOG_ERROR, "can't allocate Linebuffer for image reconstruction");
        std::free(line);
        std::free(acc);
        std::free(out->pixels);
        out->pixels = nullptr;
        return LUMORA_E_NO_MEMORY;
    }

    const int binning = EffectiveBinning();
    const int ovs = EffectiveOvsFactor();
    const int interpolate = EffectiveInterpolation();
    const int width = out->width;  // values per output row
    const int rawWidth = s.rawWidth;
    int row = 0;
    int cursor = 0;
    for (int y = r.AnfY; y <= r.EndY; ++y) {
        RebuildLine(y, r, line, &cursor);
        const uint16_t* values = line + r.AnfX;
        const uint16_t* rowSource = values;
        if (binning == 2) {
            if ((y - r.AnfY) % 2 == 0) {
                std::memcpy(acc, values, size_t(rawWidth) * 2);
                continue;
            }
            for (int i = 0; i < rawWidth; ++i) acc[i] = uint16_t((values[i] + acc[i]) >> 1);
            if (ovs == 2)
                for (int i = 0; i < rawWidth / 2; ++i) acc[i] = acc[2 * i];
            rowSource = acc;
        }
        for (int k = 0; k < interpolate && row < out->height; ++k, ++row)
            std::memcpy(out->pixels + size_t(row) * width, rowSource, size_t(width) * 2);
    }

    LogPrint(LOG_INFO, "      last block to search %i with Y=%i", cursor, Blockbuffer[cursor].Y);
    LogPrint(LOG_INFO, "finish collecting Imagedata");
    std::free(line);
    std::free(acc);
    return 0;
}
