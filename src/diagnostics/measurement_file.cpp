#include "diagnostics/measurement_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

namespace {

constexpr const char* MEASUREMENT_ENV = "LUMORA_MEASUREMENT_FILE";
constexpr size_t LINE_MAX = 512;

FILE* measurementFile = nullptr;
bool openFailed = false;  // tried once in this session and failed: not tried again

FILE* MeasurementStream() {
    if (measurementFile || openFailed) return measurementFile;
    const char* path = std::getenv(MEASUREMENT_ENV);
    if (!path || !path[0]) return nullptr;
    measurementFile = fopen_ex(path, "at");
    if (!measurementFile) {
        openFailed = true;
        LogPrint(LOG_WARNING, "measurement file %s cannot be opened", path);
    }
    return measurementFile;
}

}  // namespace

void MeasurementPrint(const char* format, ...) {
    char line[LINE_MAX];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    LogPrint(LOG_DETAIL, "%s", line);
    FILE* f = MeasurementStream();
    if (!f) return;
    std::fprintf(f, "%9.3f %s\n", double(platform::NowMs()) / 1000.0, line);
    std::fflush(f);
}

void CloseMeasurementFile() {
    openFailed = false;
    if (!measurementFile) return;
    std::fflush(measurementFile);
    std::fclose(measurementFile);
    measurementFile = nullptr;
}

bool MeasurementFileOpen() { return measurementFile != nullptr; }
