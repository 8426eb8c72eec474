// SC_Filter_Image: Gaussian smoothing, median and unsharp mask on 16-bit images.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>
#include <vector>

#include "zrip_lib.h"

namespace {

constexpr size_t MAX_TEXT = 255;

// Numbers of the parameter text always have a decimal point, whatever locale the application
// has set for itself.
class NumberReader {
public:
    NumberReader() : c_(newlocale(LC_NUMERIC_MASK, "C", locale_t(0))) {}
    ~NumberReader() {
        if (c_) freelocale(c_);
    }
    double operator()(const char* text, char** end) const {
        return c_ ? strtod_l(text, end, c_) : std::strtod(text, end);
    }

private:
    locale_t c_;
};

struct Param {
    const char* key;
    double low, high;  // accepted range, inclusive
    bool integer;
    double value = 0;
    bool seen = false;
};

struct Operation {
    const char* name;
    int paramCount;
    Param params[2];
};

// Parses "NAME KEY=VALUE ..." (blank separated, case ignored) against the known operations.
// ZRIP_OK with op filled, or ZRIP_E_UNKNOWN / ZRIP_E_MALFORMED.
int16_t Parse(const char* text, Operation* op) {
    static const Operation OPERATIONS[] = {
        {"GAUSS", 1, {{"SIGMA", 0.1, 20.0, false}}},
        {"MEDIAN", 1, {{"RADIUS", 1, 5, true}}},
        {"UNSHARP", 2, {{"SIGMA", 0.1, 20.0, false}, {"AMOUNT", 0.0, 10.0, false}}},
    };
    const size_t length = strnlen(text, MAX_TEXT + 1);
    if (length > MAX_TEXT) return ZRIP_E_MALFORMED;
    char buffer[MAX_TEXT + 1];
    for (size_t i = 0; i <= length; ++i)
        buffer[i] = char(std::toupper(static_cast<unsigned char>(text[i])));

    char* save = nullptr;
    char* word = strtok_r(buffer, " \t", &save);
    if (!word) return ZRIP_E_UNKNOWN;
    const Operation* known = nullptr;
    for (const Operation& o : OPERATIONS)
        if (std::strcmp(word, o.name) == 0) known = &o;
    if (!known) return ZRIP_E_UNKNOWN;
    *op = *known;

    while ((word = strtok_r(nullptr, " \t", &save)) != nullptr) {
        char* equals = std::strchr(word, '=');
        if (!equals || equals == word || equals[1] == '\0') return ZRIP_E_MALFORMED;
        *equals = '\0';
        Param* param = nullptr;
        for (int i = 0; i < op->paramCount; ++i)
            if (std::strcmp(word, op->params[i].key) == 0) param = &op->params[i];
        if (!param || param->seen) return ZRIP_E_MALFORMED;
        char* end = nullptr;
        static const NumberReader readNumber;
        const double value = readNumber(equals + 1, &end);
        if (*end != '\0' || !std::isfinite(value) || value < param->low || value > param->high)
            return ZRIP_E_MALFORMED;
        if (param->integer && value != std::floor(value)) return ZRIP_E_MALFORMED;
        param->value = value;
        param->seen = true;
    }
    for (int i = 0; i < op->paramCount; ++i)
        if (!op->params[i].seen) return ZRIP_E_MALFORMED;
    return ZRIP_OK;
}

uint16_t Round16(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 65535.0) return 65535;
    return uint16_t(v + 0.5);
}

// Separable Gaussian with replicated borders into out (width x height doubles).
bool Gauss(const uint16_t* in, size_t width, size_t height, double sigma, std::vector<double>& out) {
    const int radius = int(std::ceil(3.0 * sigma));
    std::vector<double> kernel(size_t(2 * radius + 1));
    double total = 0;
    for (int k = -radius; k <= radius; ++k) total += kernel[size_t(k + radius)] = std::exp(-0.5 * k * k / (sigma * sigma));
    for (double& w : kernel) w /= total;
    std::vector<double> rows;
    try {
        rows.resize(width * height);
        out.resize(width * height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto clampIndex = [](long i, size_t n) { return size_t(i < 0 ? 0 : (size_t(i) >= n ? n - 1 : size_t(i))); };
    for (size_t y = 0; y < height; ++y) {
        const uint16_t* row = in + y * width;
        for (size_t x = 0; x < width; ++x) {
            double sum = 0;
            for (int k = -radius; k <= radius; ++k) sum += kernel[size_t(k + radius)] * row[clampIndex(long(x) + k, width)];
            rows[y * width + x] = sum;
        }
    }
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            double sum = 0;
            for (int k = -radius; k <= radius; ++k) sum += kernel[size_t(k + radius)] * rows[clampIndex(long(y) + k, height) * width + x];
            out[y * width + x] = sum;
        }
    }
    return true;
}

// Median over the (2r+1) x (2r+1) square with replicated borders.
void Median(const uint16_t* in, uint16_t* out, size_t width, size_t height, int radius) {
    std::vector<uint16_t> window;
    window.reserve(size_t((2 * radius + 1) * (2 * radius + 1)));
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            window.clear();
            for (int dy = -radius; dy <= radius; ++dy) {
                const long yy = std::clamp(long(y) + dy, 0L, long(height) - 1);
                for (int dx = -radius; dx <= radius; ++dx) {
                    const long xx = std::clamp(long(x) + dx, 0L, long(width) - 1);
                    window.push_back(in[size_t(yy) * width + size_t(xx)]);
                }
            }
            auto middle = window.begin() + long(window.size() / 2);
            std::nth_element(window.begin(), middle, window.end());
            out[y * width + x] = *middle;
        }
    }
}

}  // namespace

int16_t FilterImage(const ImageDesc& source, const ImageDesc& destination, const char* parameter) {
    if (!parameter) return ZRIP_E_MALFORMED;
    Operation op;
    if (int16_t r = Parse(parameter, &op); r != ZRIP_OK) return r;
    if (!source.pixels || !destination.pixels || source.width == 0 || source.height == 0 ||
        source.width != destination.width || source.height != destination.height)
        return ZRIP_E_ARGUMENT;
    const size_t width = source.width, height = source.height, n = width * height;

    // Work from a copy, so that source and destination may be the same image.
    uint16_t* input = new (std::nothrow) uint16_t[n];
    if (!input) return ZRIP_E_MEMORY;
    std::memcpy(input, source.pixels, n * sizeof(uint16_t));
    int16_t result = ZRIP_OK;
    if (std::strcmp(op.name, "MEDIAN") == 0) {
        Median(input, destination.pixels, width, height, int(op.params[0].value));
    } else {
        std::vector<double> blurred;
        if (!Gauss(input, width, height, op.params[0].value, blurred)) {
            result = ZRIP_E_MEMORY;
        } else if (std::strcmp(op.name, "GAUSS") == 0) {
            for (size_t i = 0; i < n; ++i) destination.pixels[i] = Round16(blurred[i]);
        } else {  // UNSHARP
            const double amount = op.params[1].value;
            for (size_t i = 0; i < n; ++i)
                destination.pixels[i] = Round16(input[i] + amount * (input[i] - blurred[i]));
        }
    }
    delete[] input;
    return result;
}
