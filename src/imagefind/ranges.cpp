// Range detection: blocks are grouped into plate ranges, ranges merged, finished and judged.
#include <cstring>

#include "platform/log_channel.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

namespace {

void DeleteRange(PlateRange* ranges, int32_t* count, int k) {
    for (int j = k; j < *count; ++j) ranges[j] = ranges[j + 1];
    ranges[*count] = PlateRange{};
    --*count;
}

bool Touch(const PlateRange& a, const PlateRange& b) {
    return a.AnfX <= b.EndX + 1 && a.EndX + 1 >= b.AnfX && a.AnfY <= b.EndY + 1 &&
           a.EndY + 1 >= b.AnfY;
}

}  // namespace

void Imagefind::ProcessRanges(bool final) {
    // 1. Assign the blocks collected since the last call.
    for (int b = LastCollect; b < AnzBlocks; ++b) {
        const ScanBlock& block = Blockbuffer[b];
        int found = 0;
        for (int r = 1; r <= AnzRanges; ++r) {
            const PlateRange& range = Rangebuffer[r];
            if (block.Y <= range.EndY + 1 && block.AnfX <= range.EndX + 1 &&
                block.EndX + 1 >= range.AnfX) {
                found = r;
                break;
            }
        }
        if (found) {
            PlateRange& range = Rangebuffer[found];
            if (block.AnfX < range.AnfX) range.AnfX = block.AnfX;
            if (block.EndX > range.EndX) range.EndX = block.EndX;
            range.EndY = block.Y;
        } else if (AnzRanges < MAX_RANGES) {
            ++AnzRanges;
            Rangebuffer[AnzRanges] = PlateRange{block.AnfX, block.Y, block.EndX, block.Y};
        } else if (!OverflowLogged) {
            LogPrint(LOG_ERROR, "internal Rangebuffer overflow, this may be caused by too much light");
            OverflowLogged = 1;
        }
    }
    LastCollect = AnzBlocks;

    // 2. Merge touching ranges until nothing changes.
    bool merged = true;
    while (merged) {
        merged = false;
        for (int a = 1; a < AnzRanges && !merged; ++a) {
            for (int b = a + 1; b <= AnzRanges; ++b) {
                PlateRange& ra = Rangebuffer[a];
                const PlateRange& rb = Rangebuffer[b];
                if (!Touch(ra, rb)) continue;
                if (rb.AnfX < ra.AnfX) ra.AnfX = rb.AnfX;
                if (rb.AnfY < ra.AnfY) ra.AnfY = rb.AnfY;
                if (rb.EndX > ra.EndX) ra.EndX = rb.EndX;
                if (rb.EndY > ra.EndY) ra.EndY = rb.EndY;
                DeleteRange(Rangebuffer, &AnzRanges, b);
                merged = true;
                break;
            }
        }
    }

    // 3. Finish the ranges that have ended and judge them.
    int tooSmall = 0;
    for (int i = 1; i <= AnzRanges;) {
        const PlateRange range = Rangebuffer[i];
        if (!final && !(range.EndY < Akt_Y - 1)) {
            ++i;
            continue;
        }
        const int64_t w = int64_t(range.EndX) - range.AnfX + 1;
        const int64_t h = int64_t(range.EndY) - range.AnfY + 1;
        bool rejected = false;
        if (w * h < MinImagePixels) {
            ++tooSmall;
            rejected = true;
        } else {
            const double ratio = double(w) / double(h);
            if (ratio > Device.MaxImageRatio || 1 / ratio > Device.MaxImageRatio) {
                LogPrint(LOG_INFO, "remove range with bad X/Y ratio, ratio: %5.2f", ratio);
                rejected = true;
            }
        }
        if (!rejected && range.EndX > AnzPixLine) {
            LogPrint(LOG_INFO, "remove range (too wide)");
            rejected = true;
        }
        if (!rejected) ProduceImage(i);
        DeleteRange(Rangebuffer, &AnzRanges, i);
    }
    if (tooSmall > 0) LogPrint(LOG_INFO, "%i range(s) removed (too small)", tooSmall);
}
