// The calibration-file reader on any file, for a device with a fixed serial number.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/scanner_settings.h"
#include "diagnostics/calibration.h"
#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::strcpy(Device.SerialId, "LS2026-000117");
    Device.PixelSizeX = 50e-6;
    const std::string path = InputFile(data, size, "scanner.kor");
    char serial[CALIB_SERIAL_SIZE + 16], date[CALIB_TOKEN_SIZE + 16];
    ReadCalibrationHeader(path.c_str(), serial, date);
    constexpr int kCount = 600;
    std::vector<double> gains(kCount, 1.0);
    const int r = LoadCalibrationFile(gains.data(), kCount, path.c_str());
    // Nothing changes unless the file was taken.
    if (r != 0)
        for (double g : gains)
            if (g != 1.0) std::abort();
    return 0;
}
