// Process-wide state of the driver.
#pragma once
#include <cstddef>
#include <cstdint>

// The API object: its existence marks the library as initialised.
struct ScannerApi {
    ScannerApi();   // rebuilds the log channel
    ~ScannerApi();
};

extern "C" bool remote;                  // exported; true at load
extern bool ApiInitialised;              // ApiInit ran to its decision
extern ScannerApi* TheScannerApi;        // null until ApiInit

// The application's extra header, carried by every info file written afterwards.
extern uint8_t* ExtraHeaderBuffer;
extern size_t ExtraHeaderSize;

extern bool ScannerOpen;
extern bool ScannerActive;
extern bool StatusCallBusy;
extern bool AtriumMode;

// API semaphore around remote calls: 0 or -12003.
int LockMutex(const char* what);
// 0 when released, 1 otherwise.
int ReleaseApiMutex(const char* what);

extern "C" int ApiInit(void);
extern "C" void ApiExit(void);

// Driver version text.
#define LUMORA_DRIVER_VERSION "6.27.0.969 from '6.27'"
#define LUMORA_BUILD_STAMP " Oct  9 2019 09:09:34"
