#include "diagnostics/calibration_maker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "config/scanner_settings.h"
#include "imagefile/file_open.h"
#include "imagefile/image_utilities.h"
#include "imagefile/xyz_format.h"
#include "lumora/lumora.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

namespace {

constexpr double MIN_LINE_COVER = 0.7;
constexpr double MIN_LENGTH_M = 0.1;
constexpr uint32_t MIN_PIXEL_NM = 95000, MAX_PIXEL_NM = 105000;
constexpr int MAX_MEAN = 60000, MIN_MEAN = 4915;
constexpr int HISTOGRAM_BINS = 65536;
constexpr char EXTENSION[] = "kor";

struct Measured {
    std::vector<double> columns;  // column sums by scan-line position
    uint16_t mean = 0;
    int lo = 0, hi = 0;           // grey values below and above which a tenth of the values lie
};

// Column sums of the measured area (columns from W/20 for 9W/10, rows from H/4 for H/2) at
// their scan-line positions, the mean and the tenth percentiles.
Measured Measure(const uint16_t* pixels, const ImageInfo& info, int firstColumn, int columns,
                 int firstRow, int rows) {
    Measured m;
    m.columns.assign(CALIB_MAX_COLUMNS, 0.0);
    std::vector<uint32_t> histogram(HISTOGRAM_BINS, 0);
    uint64_t total = 0;
    for (int c = firstColumn; c < firstColumn + columns; ++c) {
        uint64_t sum = 0;
        for (int r = firstRow; r < firstRow + rows; ++r) {
            const uint16_t v = pixels[size_t(r) * info.width + size_t(c)];
            sum += v;
            ++histogram[v];
        }
        m.columns[size_t(c + info.startX)] = double(sum);
        total += sum;
    }
    const uint64_t count = uint64_t(rows) * uint64_t(columns);
    m.mean = uint16_t(total / count);
    const uint64_t tenth = count / 10;
    uint64_t seen = 0;
    for (int g = 0; g < HISTOGRAM_BINS; ++g) {
        seen += histogram[size_t(g)];
        if (seen >= tenth) {
            m.lo = g;
            break;
        }
    }
    seen = 0;
    for (int g = HISTOGRAM_BINS - 1; g >= 0; --g) {
        seen += histogram[size_t(g)];
        if (seen >= tenth) {
            m.hi = g;
            break;
        }
    }
    return m;
}

}  // namespace

int MakeCalibrationFile(const char* imagePath) {
    if (!imagePath) return LUMORA_E_RANGE;
    const size_t pathLength = strnlen(imagePath, CALIB_PATH_SIZE);
    if (pathLength >= CALIB_PATH_SIZE || pathLength < sizeof EXTENSION - 1) {
        LogPrint(LOG_ERROR, "calibration: reference image path too long or too short");
        return LUMORA_E_RANGE;
    }
    ImageInfo info{};
    int r = Local_Get_ImageInfo(&info, imagePath);
    if (r != 0) return r;
    if (std::strcmp(info.text, Device.SerialId) != 0) {
        LogPrint(LOG_ERROR, "calibration: reference image of scanner %s, not %s", info.text,
                 Device.SerialId);
        return LUMORA_E_SERIAL;
    }

    const int W = int(info.width), H = int(info.height);
    const uint32_t px = info.pixelSizeX, py = info.pixelSizeY;
    const double line = Settings.Anz_Pix * Device.PixelSizeX;
    if (double(W) * px * 1e-9 < MIN_LINE_COVER * line || double(H) * py * 1e-9 < MIN_LENGTH_M)
        return LUMORA_E_REF_SIZE;
    if (px < MIN_PIXEL_NM || px > MAX_PIXEL_NM) return LUMORA_E_REF_PIXEL;
    const int firstColumn = W / 20, columns = 9 * W / 10;
    const int firstRow = H / 4, rows = H / 2;
    if (columns < 1 || rows < 1) return LUMORA_E_REF_SIZE;
    const double n = 1 + line / (px * 1e-9);
    const int64_t lastPosition = int64_t(info.startX) + firstColumn + columns - 1;
    if (n > CALIB_MAX_COLUMNS || lastPosition >= CALIB_MAX_COLUMNS) {
        LogPrint(LOG_ERROR, "calibration: more than %d correction values needed",
                 CALIB_MAX_COLUMNS);
        return LUMORA_E_RANGE;
    }
    const int count = int(n);

    FILE* file = OpenRegularFile(imagePath, "rb");
    if (!file) return LUMORA_E_FILE;
    uint16_t* raw = nullptr;
    uint16_t fileWidth = 0, fileHeight = 0;
    r = LoadXyzImage(file, &raw, &fileWidth, &fileHeight);
    std::fclose(file);
    if (r != 0) return r;
    std::unique_ptr<uint16_t, decltype(&std::free)> pixels(raw, &std::free);
    if (fileWidth != W || fileHeight != H) {
        LogPrint(LOG_ERROR, "calibration: image %ux%u, its info file says %ix%i", fileWidth,
                 fileHeight, W, H);
        return LUMORA_E_FILE;
    }

    Measured m = Measure(pixels.get(), info, firstColumn, columns, firstRow, rows);
    if (m.mean > MAX_MEAN) return LUMORA_E_REF_BRIGHT;
    if (m.mean < MIN_MEAN) return LUMORA_E_REF_DARK;
    if ((m.hi - 1) - (m.lo + 1) > m.mean / 3) return LUMORA_E_REF_UNIFORM;

    const int first = info.startX + firstColumn, last = int(lastPosition);
    for (int i = 0; i < first; ++i) m.columns[size_t(i)] = m.columns[size_t(first)];
    for (int i = last + 1; i < count; ++i) m.columns[size_t(i)] = m.columns[size_t(last)];
    for (int i = 0; i < count; ++i)
        if (m.columns[size_t(i)] <= 0) return LUMORA_E_REF_UNIFORM;  // a dead column

    char outPath[CALIB_PATH_SIZE];
    std::memcpy(outPath, imagePath, pathLength + 1);
    std::memcpy(outPath + pathLength - (sizeof EXTENSION - 1), EXTENSION, sizeof EXTENSION);
    FILE* out = std::fopen(outPath, "wt");
    if (!out) {
        LogPrint(LOG_ERROR, "calibration file %s cannot be created", outPath);
        return LUMORA_E_FILE;
    }
    std::fprintf(out, "%s\n", Device.SerialId);
    std::fprintf(out, "%i\n", int(Settings.Strt_Pix));
    std::fprintf(out, "%i\n", count);
    std::fprintf(out, "%i\n", int(px));
    std::fprintf(out, "%i:%i:%i\n", info.day, info.month, info.year);
    std::fprintf(out, "%i:%i:%i\n", info.hour, info.minute, info.second);
    std::fprintf(out, "%i\n", int(m.mean));
    std::fprintf(out, "****************\n");
    for (int i = 0; i < count; ++i)
        std::fprintf(out, "%f\n", double(m.mean) * rows / m.columns[size_t(i)]);
    const bool written = !std::ferror(out);
    if (std::fclose(out) != 0 || !written) {
        LogPrint(LOG_ERROR, "calibration file %s cannot be written", outPath);
        return LUMORA_E_FILE;
    }
    LogPrint(LOG_INFO, "calibration file %s written: %i values, mean %i", outPath, count,
             int(m.mean));
    return 0;
}
