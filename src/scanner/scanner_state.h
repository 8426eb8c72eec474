// Process-wide state of the local scanner between calls, and the shared steps of open,
// scan cycle and close.
#pragma once
#include <cstdint>

class Imagefind;

// Flags of the local scanner.
extern bool ScannerOpen;     // Open_Scanner succeeded, Close_Scanner not yet called
extern bool ScannerActive;   // armed by Aktivate_Scanner
extern bool StatusCallBusy;  // a Get_Status call is running

// The device of an open scanner; null while the scanner is closed.
Imagefind* OpenScannerDevice();

// Scan cycle bookkeeping (kept between status calls).
extern bool CleanupPending;   // image data went to the image builder; plate not finished
extern int CleanupCounter;    // consecutive data chunks without a plate end
extern bool PlateStarted;     // demo mode: a plate start was seen
extern int PlateStartLine;    // demo mode: line count up to which demo lines were served

// The temporary file opened by the open sequence ("" when none); removed at close.
extern char TempFilePath[1024];

// Stops the hardware, removes the temporary file, frees and destroys ScannerDevice and clears
// ScannerOpen/ScannerActive. Without a device only the two flags are cleared.
void DeviceShutdown();

// Puts the scanner at rest: the shuttle stops; laser, high voltage, acquisition and slot
// lines go off.
void PutScannerAtRest(Imagefind* dev);

// Lets the scanner go, last step of the close and of DeviceShutdown: clears
// ScannerOpen/ScannerActive, destroys ScannerDevice (with its calibration factors) and releases
// the image folder and the device lock.
void ReleaseScannerDevice();

// Closes both temporary-file streams of the device and deletes the temporary file. A file
// that cannot be removed is logged at `failLevel`.
void RemoveTemporaryFile(int failLevel);

// Ambient light: 100 ADC readings; level = mean. 0, -10000 (too bright) or -4 while armed.
int MeasureLightLevel(int* level);

// True for the second scanner model.
bool IsCalyxa();
