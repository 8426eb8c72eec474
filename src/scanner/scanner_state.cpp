#include "scanner/scanner_state.h"

#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

bool ScannerOpen = false;
bool ScannerActive = false;
bool StatusCallBusy = false;

Imagefind* OpenScannerDevice() { return ScannerOpen ? ScannerDevice : nullptr; }

bool CleanupPending = false;
int CleanupCounter = 0;
bool PlateStarted = false;
int PlateStartLine = 0;

bool IsCalyxa() { return Device.ScannerKind == SCANNER_KIND_CALYXA; }
char TempFilePath[1024] = "";
