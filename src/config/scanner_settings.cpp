// Helpers of the settings records.
#include "config/scanner_settings.h"

#include <cmath>

uint16_t RoundR(double v) {
    double sum = v + 0.5;
    if (std::isnan(sum)) return 0;
    if (sum > 65535) return 65535;
    if (sum < 0) return 0;
    return static_cast<uint16_t>(sum);
}

uint32_t FilterSettingsCheckValue(const FilterValues& f) {
    uint32_t value = (uint32_t(f.AutoGrayHigh) ^ 0x12345678u) + (uint32_t(f.AutoGrayType) ^ 0x32Fu) +
                     (uint32_t(f.AutoGrayLow) ^ 0x42u);
    for (const char* p = f.Filtertype1; *p; ++p) value += uint32_t(int32_t(int8_t(*p)));
    for (const char* p = f.Filtertype2; *p; ++p) value += uint32_t(int32_t(int8_t(*p)));
    return value;
}
