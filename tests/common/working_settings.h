// Settings and device record of a plain working scanner, for the tests, benchmarks and fuzz
// targets that drive the image finder without an open: no binning, oversampling or
// interpolation, 50 um pixels, the full 16-bit range, no mirroring, rotation or scripts.
// Callers change what their case needs afterwards.
#pragma once
#include "config/scanner_settings.h"
#include "imagefind/output_mode.h"

inline void UseWorkingSettings() {
    Settings = ScannerSettings{};
    Settings.Binning = 1;
    Settings.OvsFactor = 1;
    Settings.Interpolate_Y = 1;
    Settings.Scale = 1.0f;
    Settings.RangeHtyp = 255;
    Settings.MWindow_X = Settings.MWindow_Y = 80;
    Settings.Penta = 4000;
    Device = DeviceRecord{};
    Device.MaxImageRatio = 1000.0;
    Device.PixScale = 1.0;
    Device.MaxPixVal = 65535;
    Device.PixelSizeX = Device.PixelSizeY = 50e-6;
    LineWriteMode = 0;
    AtriumMode = false;
}
