// The client's waits and its time limit per call. Tests and benchmarks may shorten them or
// move the pause before a status call outside the API lock; the wire traffic stays the same.
#pragma once
#include <cstdint>

struct ClientTimings {
    uint32_t statusPauseMs = 45;     // before each "scanner.status" call
    uint32_t retryPauseMs = 45;      // after each failed attempt
    uint32_t passPauseMs = 1;        // each pass of the status thread; Get_Status
    uint32_t lightPauseMs = 45;      // after each light-status attempt
    double callLimitSeconds = 10.0;  // one attempt
    bool statusPauseInsideLock = false;
};

ClientTimings CurrentClientTimings();
void SetClientTimings(const ClientTimings& timings);
// Sleeps ms on the caller's thread (real time, never an emulated clock).
void ClientSleepMs(uint32_t ms);
