#include "platform/tools.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

int mkdir_ex(const char* path) {
    if (!path || !*path) return -1;
    std::string p = path;
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return -1;
        }
    }
    struct stat st{};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

FILE* fopen_ex(const char* path, const char* mode) {
    if (!path || !*path || !mode) return nullptr;
    if (std::strpbrk(mode, "wa")) {
        std::string p = path;
        size_t slash = p.rfind('/');
        if (slash != std::string::npos && slash > 0) mkdir_ex(p.substr(0, slash).c_str());
    }
    return std::fopen(path, mode);
}

int64_t DiskFree(const char* path) {
    if (const char* fake = std::getenv("LUMORA_FAKE_DISKFREE"); fake && *fake)
        return std::strtoll(fake, nullptr, 10);
    struct statvfs st{};
    if (!path || statvfs(path, &st) != 0) return -1;
    return int64_t(st.f_bavail) * int64_t(st.f_frsize);
}

char* strxcat(char* dst, const char* src, size_t size) {
    if (!dst || size == 0) return dst;
    size_t used = strnlen(dst, size);
    if (used >= size) {  // not terminated within size: terminate, append nothing
        dst[size - 1] = '\0';
        return dst;
    }
    if (!src) return dst;
    size_t room = size - used - 1;
    size_t n = strnlen(src, room);
    std::memcpy(dst + used, src, n);
    dst[used + n] = '\0';
    return dst;
}

char* strxcpy(char* dst, const char* src, size_t size) {
    if (!dst || size == 0) return dst;
    dst[0] = '\0';
    return strxcat(dst, src, size);
}

uint32_t SwapEndian(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

const char* localtime_ex() {
    static thread_local char text[32];
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}
