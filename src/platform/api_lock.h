// The API lock around remote calls: a counting semaphore of maximum 1, releasable from any
// thread. Created at initialisation (a failure ends the process), closed at its undoing.
#pragma once

void CreateApiSemaphore();
void CloseApiSemaphore();
// Closes the semaphore and frees what holds its handle: the last step of the library's unload
// routine (the handle is not a static object, so this is sound after the static objects of the
// library are gone, as at process end without dlclose).
void DestroyApiSemaphoreHandle();
// Takes it for the remote call `what`: three waits of 400 ms with 400 ms pauses; 0 or -12003.
int LockMutex(const char* what);
// 0 when released, 1 otherwise (no semaphore, or it is not taken).
int ReleaseApiMutex(const char* what);
// Number of callers waiting in LockMutex at this moment.
int ApiSemaphoreWaiters();
