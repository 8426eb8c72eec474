// Cross-process locks of a scanner: an exclusive flock on a lock file in the runtime folder.
// The kernel drops a lock with the last descriptor, so a process that dies never leaves one.
#pragma once
#include <string>

namespace platform {

// The folder of the lock files: LUMORA_RUNTIME_DIR, else XDG_RUNTIME_DIR, else /tmp.
std::string RuntimeDir();

// Opens (creates when missing) the lock file at path for reading and writing; -1 with errno.
int OpenLockFile(const std::string& path);
// Tries the exclusive lock on the open lock file without waiting; false when another holds it.
bool TryExclusiveLock(int fd);

// Takes the lock of the file name in the runtime folder without waiting and writes this
// process's id into it. The descriptor that holds the lock, or -1: then *holder is the id
// written by the process that holds it (0 when unknown) and errno tells why.
int TakeRuntimeLock(const std::string& name, int* holder);

// Gives the lock up (closes the descriptor; -1 is ignored).
void ReleaseRuntimeLock(int fd);

}  // namespace platform
