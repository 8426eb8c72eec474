// Words shared by the client operations and the status thread. Each is read and written whole.
#pragma once
#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> ClientStatus;     // last status word, or the retry/error values
extern std::atomic<int32_t> ClientOpened;     // 1 while the scanner is open on the box
extern std::atomic<int32_t> ClientStarted;    // 1 while the scanner is started on the box
extern std::atomic<int32_t> PrescanTaken;     // clear the prescan bit in the next status
extern std::atomic<int32_t> StatusThreadRun;  // 1 run, 0 stop requested, -1 ended

// The application's remote/local switch, handed in by the API layer (null: always remote).
void SetRemoteSwitch(const bool* remoteFlag);
bool RemoteSwitchOn();
