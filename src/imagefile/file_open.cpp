#include "imagefile/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenRegularFile(const char* path, const char* mode) {
    if (!path || !*path) return nullptr;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    // Back to blocking reads for the stream.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}
