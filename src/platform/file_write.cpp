#include "platform/file_write.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {

int WriteAt(int fd, const void* data, size_t size, int64_t offset) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, p + done, size - done, off_t(offset + int64_t(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno ? errno : EIO;
        }
        if (n == 0) return EIO;
        done += size_t(n);
    }
    return 0;
}

int InjectedWriteError(WriteTarget target) {
    const char* setting = std::getenv("LUMORA_FAKE_WRITE_ERROR");
    if (!setting || !*setting) return 0;
    const char* name = target == WriteTarget::Temporary ? "temp"
                       : target == WriteTarget::Image   ? "image"
                       : target == WriteTarget::Info    ? "info"
                                                        : "numbering";
    const size_t length = std::strlen(name);
    for (const char* p = setting; *p;) {
        if (std::strncmp(p, name, length) == 0 && p[length] == '=') {
            const long e = std::strtol(p + length + 1, nullptr, 10);
            return e > 0 && e < 4096 ? int(e) : EIO;
        }
        const char* comma = std::strchr(p, ',');
        if (!comma) break;
        p = comma + 1;
    }
    return 0;
}

}  // namespace platform
