// The client status thread: polls "scanner.status" as the box's state calls for and keeps
// the answer in ClientStatus for Get_Status.
#pragma once
#include <functional>

// Starts the thread (an earlier one is stopped first).
void StartStatusThread();
// Stops it: the thread notices the stop between two attempts of a call and during its
// pauses, and a call in flight is cut short, so this returns within about one attempt's
// set-up time even when the box is unreachable.
void StopStatusThread();

// Called at the end of every pass with whether the pass polled (tests count the pattern).
void SetStatusPassObserver(std::function<void(bool polled)> observer);
