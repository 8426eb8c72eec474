// Prescan lines: a low-resolution copy of every PrescanStepY-th scan line in a ring of 32.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

int Imagefind::SetPrescanMode(int length) {
    PrescanWrite = 0;
    PrescanRead = 0;
    if (length >= 1 && length < PRESCAN_MAX) {
        PrescanLength = length;
        PrescanStepX = AnzPixLine / length;
        // Lines per prescan line; at least 1 (short prescan lines can compute to 0).
        const double lines =
            std::trunc(EffectiveBinning() * Device.PixelSizeY / Device.PixelSizeX * PrescanStepX);
        int32_t stepY = std::isfinite(lines) && lines < 1e9 && lines > 0 ? int32_t(lines) : 0;
        stepY = stepY / EffectiveOvsFactor() / EffectiveInterpolation();
        PrescanStepY = stepY > 0 ? stepY : 1;
        if (DemoActive)
            PrescanDivisor = 256;
        else
            PrescanDivisor = Settings.ADC_Ovs <= 16 ? Settings.ADC_Ovs * 16 : Settings.ADC_Ovs * 8;
        if (PrescanDivisor <= 0) PrescanDivisor = 256;
        return 0;
    }
    PrescanLength = 0;
    PrescanStepX = 1;
    PrescanStepY = 1;
    PrescanDivisor = 256;
    return length >= PRESCAN_MAX ? -102 : 0;
}

void Imagefind::BuildPrescanLine() {
    const int length = AnzPixLine + 10;
    if (length <= 0 || PrescanLength <= 0 || PrescanLength >= PRESCAN_MAX) return;
    uint16_t* values = static_cast<uint16_t*>(std::calloc(size_t(length), sizeof(uint16_t)));
    if (!values) return;
    if (WTempfile) std::fflush(WTempfile);
    const int32_t y = Akt_Y - 1;
    for (int b = AnzBlocks - 1; b >= 0 && Blockbuffer[b].Y == y; --b) {
        const ScanBlock& block = Blockbuffer[b];
        const int lo = block.AnfX < 0 ? 0 : block.AnfX;
        const int hi = block.EndX < length ? block.EndX : length - 1;
        if (hi < lo) continue;
        ReadTemp(block.Offset + uint32_t(lo - block.AnfX) * 2, values + lo, hi - lo + 1);
    }
    const int divisor = PrescanDivisor > 0 ? PrescanDivisor : 256;
    uint8_t* out = PrescanRing[PrescanWrite];
    for (int k = 0; k < PrescanLength; ++k) {
        const int64_t position = int64_t(k) * PrescanStepX;
        const int value = position >= 0 && position < length ? values[position] : 0;
        out[k] = uint8_t(-(value / divisor));
    }
    std::free(values);
    PrescanWrite = (PrescanWrite + 1) % PRESCAN_LINES;
}

void Imagefind::GetPrescanLine(uint8_t* out) {
    const int length = PrescanLength > 0 && PrescanLength < PRESCAN_MAX ? PrescanLength : 0;
    if (PrescanWrite != PrescanRead) {
        std::memcpy(out, PrescanRing[PrescanRead], size_t(length));
        PrescanRead = (PrescanRead + 1) % PRESCAN_LINES;
    } else {
        std::memset(out, 0, size_t(length));
    }
}
