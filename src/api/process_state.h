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

// Set once a local initialisation has registered ApiExit to run at unload.
extern bool ApiExitAtUnload;

extern "C" int ApiInit(void);
extern "C" void ApiExit(void);
