// Opt_GreyscaleLim: clips the darkest and brightest per-mille of the pixels and stretches the
// rest over 0 ... 65535 with a linear, square-root or logarithmic curve.
#include <cmath>
#include <cstring>
#include <vector>

#include "zrip_lib.h"

int16_t GreyscaleLim(const ImageDesc& source, const ImageDesc& destination, int32_t lo,
                     int32_t up, int32_t htyp) {
    if (htyp != 0 && htyp != 1 && htyp != 2 && htyp != 255) return ZRIP_E_UNKNOWN;
    if (!source.pixels || !destination.pixels || source.width != destination.width ||
        source.height != destination.height)
        return ZRIP_E_ARGUMENT;
    if (lo < 0 || up < 0 || int64_t(lo) + up >= 1000) return ZRIP_E_MALFORMED;
    const size_t n = size_t(source.width) * source.height;
    if (htyp == 255 || n == 0) {
        if (source.pixels != destination.pixels)
            std::memmove(destination.pixels, source.pixels, n * sizeof(uint16_t));
        return ZRIP_OK;
    }
    std::vector<uint64_t> histogram(65536, 0);
    for (size_t i = 0; i < n; ++i) ++histogram[source.pixels[i]];
    // L: lowest value with more than lo per mille of the pixels at or below it;
    // U: highest value with more than up per mille at or above it.
    const uint64_t lowCount = uint64_t(lo) * n / 1000, highCount = uint64_t(up) * n / 1000;
    int L = 0, U = 65535;
    uint64_t sum = 0;
    for (int v = 0; v < 65536; ++v)
        if ((sum += histogram[v]) > lowCount) { L = v; break; }
    sum = 0;
    for (int v = 65535; v >= 0; --v)
        if ((sum += histogram[v]) > highCount) { U = v; break; }

    if (U <= L) {  // a single grey value: nothing to stretch
        if (source.pixels != destination.pixels)
            std::memmove(destination.pixels, source.pixels, n * sizeof(uint16_t));
        return ZRIP_OK;
    }
    std::vector<uint16_t> table(65536);
    for (int v = 0; v < 65536; ++v) {
        double t = double(v - L) / double(U - L);
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
        if (htyp == 1) t = std::sqrt(t);
        if (htyp == 2) t = std::log1p(255.0 * t) / std::log(256.0);
        table[v] = uint16_t(t * 65535.0 + 0.5);
    }
    for (size_t i = 0; i < n; ++i) destination.pixels[i] = table[source.pixels[i]];
    return ZRIP_OK;
}
