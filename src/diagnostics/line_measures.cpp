#include "diagnostics/line_measures.h"

#include <vector>

#include "hardware/hw_access.h"

namespace {
constexpr uint32_t STATISTICS_BLOCK_BYTES = 40960;
constexpr uint16_t LAST_PIXEL_WORD = 65520;
constexpr uint16_t LINE_MARKER = 65534;
}  // namespace

int WindowedMaximum(const uint16_t* values, int n) {
    const int w = n / 100 + 1;
    if (n - w < 2) return 0;
    int best = 0;
    for (int start = 1; start < n - w; start += w) {
        uint32_t sum = 0;
        for (int i = start; i < start + w; ++i) sum += values[i];
        const int mean = int(sum / uint32_t(w));
        if (mean > best) best = mean;
    }
    return best;
}

int ReadStreamStatistics(HW_access* device, uint16_t threshold, StreamStatistics* out) {
    *out = StreamStatistics{};
    std::vector<uint16_t> block(STATISTICS_BLOCK_BYTES / 2);
    uint32_t bytes = 0;
    const int r = device->ReadBlock(block.data(), STATISTICS_BLOCK_BYTES, &bytes);
    if (r != 0) return r;
    if (bytes > STATISTICS_BLOCK_BYTES) bytes = STATISTICS_BLOCK_BYTES;
    const uint32_t pairs = bytes / 4;
    for (uint32_t i = 0; i < pairs; ++i) {
        const uint16_t a = block[2 * i], b = block[2 * i + 1];
        if (a <= LAST_PIXEL_WORD) {
            out->sum += uint32_t(a) + b;
            out->pixels += 2;
        } else if (a == LINE_MARKER) {
            ++out->lines;
            if (b >= threshold) ++out->lateLines;
        } else {
            out->pixels += uint32_t(b) + 1;
        }
    }
    return 0;
}
