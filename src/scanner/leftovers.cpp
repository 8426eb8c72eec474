// Leftovers of sessions that ended without a close.
#include "scanner/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/log_channel.h"

namespace {

constexpr const char* kTempExtension = ".tmp";
constexpr const char* kPartialPrefix = ".LM";
constexpr const char* kPartialSuffix = ".part";
constexpr size_t kMaxPidDigits = 10;

int imageFolderLock = -1;  // descriptor of the image folder holding our shared lock

bool EndsWith(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// True when pid names no process any more. A process of another user is alive (EPERM).
bool ProcessGone(long pid) { return pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Remove(const std::string& path, const char* what, const char* whose) {
    if (unlink(path.c_str()) == 0)
        LogPrint(LOG_INFO, "%s %s of %s removed", what, path.c_str(), whose);
    else
        LogPrint(LOG_WARNING, "%s %s of %s NOT removed (system error %d: %s)", what, path.c_str(), whose,
                 errno, strerror(errno));
}

// The process id of a temporary file "<prefix><digits>.tmp"; 0 when the name is not one.
long TempFilePid(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() + std::strlen(kTempExtension) || name.compare(0, prefix.size(), prefix) != 0 ||
        !EndsWith(name, kTempExtension))
        return 0;
    std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - std::strlen(kTempExtension));
    if (digits.empty() || digits.size() > kMaxPidDigits ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::strtol(digits.c_str(), nullptr, 10);
}

// Temporary files of other processes beside ours: "<name>-<pid>.tmp" with the same name part.
void RemoveDeadTempFiles(const char* tempPath) {
    std::string path = tempPath ? tempPath : "";
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dash = base.rfind('-');
    if (dash == std::string::npos || !EndsWith(base, kTempExtension)) return;
    std::string prefix = base.substr(0, dash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        long pid = TempFilePid(name, prefix);
        if (pid == 0 || pid == long(getpid()) || !ProcessGone(pid)) continue;
        std::string file = (dir.back() == '/' ? dir : dir + "/") + name;
        if (!IsRegularFile(file)) continue;
        char whose[48];
        std::snprintf(whose, sizeof whose, "process %ld, which has ended,", pid);
        Remove(file, "temporary file", whose);
    }
    closedir(d);
}

// Partial image and info files, when no other live session holds the folder.
void RemovePartialImages(const char* imageDir) {
    ReleaseImageFolder();
    if (!imageDir || !*imageDir) return;
    int fd = open(imageDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    bool alone = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (alone) {
        if (DIR* d = opendir(imageDir)) {
            std::string dir = imageDir;
            if (dir.back() != '/') dir += "/";
            while (dirent* e = readdir(d)) {
                std::string name = e->d_name;
                if (name.compare(0, std::strlen(kPartialPrefix), kPartialPrefix) != 0 ||
                    !EndsWith(name, kPartialSuffix) || !IsRegularFile(dir + name))
                    continue;
                Remove(dir + name, "partial image file", "a session that has ended");
            }
            closedir(d);
        }
    } else {
        LogPrint(LOG_DETAIL, "image folder %s in use by another session: its partial files stay", imageDir);
    }
    // Ours from now on: held shared so that the next session sees a writer.
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    imageFolderLock = fd;
}

}  // namespace

void RemoveLeftovers(const char* imageDir, const char* tempPath) {
    RemoveDeadTempFiles(tempPath);
    RemovePartialImages(imageDir);
}

void ReleaseImageFolder() {
    if (imageFolderLock < 0) return;
    close(imageFolderLock);  // the lock goes with the descriptor
    imageFolderLock = -1;
}
