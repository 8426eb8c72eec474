// The device shut-down flushes and closes the measurement file of the service procedures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/temp_dir.h"
#include "diagnostics/measurement_file.h"
#include "imagefind/imagefind.h"
#include "scanner/scanner_state.h"

namespace {

TEST(Shutdown, ClosesTheMeasurementFile) {
    TempDir dir;
    setenv("LUMORA_MEASUREMENT_FILE", dir.file("m/measurements.txt").c_str(), 1);
    MeasurementPrint("hv-wizard coarse %d/%d: %d V", 1, 5, 900);
    EXPECT_TRUE(MeasurementFileOpen());
    ScannerDevice = new Imagefind();  // no device handle: its hardware requests fail
    ScannerOpen = true;
    DeviceShutdown();
    EXPECT_FALSE(MeasurementFileOpen());
    EXPECT_EQ(nullptr, ScannerDevice);
    EXPECT_NE(std::string::npos,
              TempDir::read(dir.file("m/measurements.txt")).find(" hv-wizard coarse 1/5: 900 V\n"));
    unsetenv("LUMORA_MEASUREMENT_FILE");
}

}  // namespace
