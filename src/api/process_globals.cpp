// Process-wide values of the driver, as they stand when the library is loaded.
#include "api/process_state.h"

extern "C" {
__attribute__((visibility("default"))) bool remote = true;
}
bool ApiInitialised = false;
ScannerApi* TheScannerApi = nullptr;
