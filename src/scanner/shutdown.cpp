// The one device shut-down routine, run on every failed open step after the device exists.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diagnostics/measurement_file.h"
#include "platform/log_channel.h"
#include "scanner/device_lock.h"
#include "scanner/scanner_state.h"
#include "platform/tools.h"
#include "imagefind/imagefind.h"
#include "scanner/leftovers.h"

void RemoveTemporaryFile(int failLevel) {
    Imagefind* dev = ScannerDevice;
    if (!dev) return;
    if (dev->RTempfile) {
        fclose(dev->RTempfile);
        dev->RTempfile = nullptr;
    }
    if (!dev->WTempfile) return;
    fclose(dev->WTempfile);
    dev->WTempfile = nullptr;

    char path[sizeof TempFilePath];
    strxcpy(path, TempFilePath, sizeof path);
    TempFilePath[0] = 0;
    if (path[0] && remove(path) == 0) {
        LogPrint(LOG_INFO, "temporary file %s removed", path);
    } else {
        int err = path[0] ? errno : ENOENT;
        LogPrint(failLevel, "temporary file NOT removed (system error %d: %s)", err, strerror(err));
    }
}

void DeviceShutdown() {
    Imagefind* dev = ScannerDevice;
    if (dev) {
        PutScannerAtRest(dev);
        RemoveTemporaryFile(LOG_INFO);
        dev->Free_Interface();
        CloseMeasurementFile();
    }
    ReleaseScannerDevice();
}

void PutScannerAtRest(Imagefind* dev) {
    dev->ShuttleCommand(4);
    dev->SetLaserMode(0);
    dev->SetHighVoltageEnable(0);
    dev->SetAcquisition(0);
    dev->SetSlotLines(0);
}

void ReleaseScannerDevice() {
    ScannerOpen = false;
    ScannerActive = false;
    Imagefind* dev = ScannerDevice;
    ScannerDevice = nullptr;
    delete dev;  // its destructor frees the calibration factors
    ReleaseImageFolder();
    UnlockEppDevice();
}
