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

// The application's extra header, carried by every info file written afterwards. The buffer
// is allocated with std::malloc; FreeExtraHeader frees and forgets it.
extern uint8_t* ExtraHeaderBuffer;
extern size_t ExtraHeaderSize;
void FreeExtraHeader();

extern bool ScannerOpen;
extern bool ScannerActive;
extern bool StatusCallBusy;
extern bool AtriumMode;

// API semaphore around remote calls: a counting semaphore of maximum 1, releasable from any
// thread. Created by ApiInit (a failure ends the process), closed by ApiExit.
void CreateApiSemaphore();
void CloseApiSemaphore();
// Takes it for the remote call `what`: three waits of 400 ms with 400 ms pauses; 0 or -12003.
int LockMutex(const char* what);
// 0 when released, 1 otherwise (no semaphore, or it is not taken).
int ReleaseApiMutex(const char* what);
// Number of callers waiting in LockMutex at this moment.
int ApiSemaphoreWaiters();

// Set once a local initialisation has registered ApiExit to run at unload.
extern bool ApiExitAtUnload;

extern "C" int ApiInit(void);
extern "C" void ApiExit(void);

// Driver version text.
#define LUMORA_DRIVER_VERSION "6.27.0.969 from '6.27'"
#define LUMORA_BUILD_STAMP " Oct  9 2019 09:09:34"
