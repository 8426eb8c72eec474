// Process-wide values of the driver, as they stand when the library is loaded.
#include "api/process_state.h"

extern "C" {
__attribute__((visibility("default"))) bool remote = true;
}
bool ApiInitialised = false;
ScannerApi* TheScannerApi = nullptr;
uint8_t* ExtraHeaderBuffer = nullptr;
size_t ExtraHeaderSize = 0;
bool ScannerOpen = false;
bool ScannerActive = false;
bool StatusCallBusy = false;
bool AtriumMode = false;
