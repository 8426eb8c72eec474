#include "platform/runtime_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

std::string RuntimeDir() {
    const char* dir = std::getenv("LUMORA_RUNTIME_DIR");
    if (!dir || !*dir) dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || !*dir) dir = "/tmp";
    return dir;
}

int OpenLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
}

bool TryExclusiveLock(int fd) {
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    return rc == 0;
}

int TakeRuntimeLock(const std::string& name, int* holder) {
    *holder = 0;
    const int fd = OpenLockFile(RuntimeDir() + "/" + name);
    if (fd < 0) return -1;
    if (!TryExclusiveLock(fd)) {
        const int err = errno;
        char text[16] = "";
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        if (n > 0) {
            text[n] = '\0';
            const long pid = std::strtol(text, nullptr, 10);
            *holder = pid > 0 && pid < 1 << 30 ? int(pid) : 0;
        }
        ::close(fd);
        errno = err;
        return -1;
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d\n", int(::getpid()));
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text, size_t(n), 0) != n) {
        // The lock holds without the id; a second process then names no holder.
    }
    return fd;
}

void ReleaseRuntimeLock(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace platform
