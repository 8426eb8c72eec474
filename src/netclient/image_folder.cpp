#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "netclient/image_folder.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

namespace {

std::mutex folderMutex;
std::string imageFolder;

std::string Resolve(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Splits name into its folder and last part; false when there is no last part.
bool Split(const std::string& name, std::string* folder, std::string* base) {
    size_t slash = name.rfind('/');
    if (slash == std::string::npos) return false;  // a relative name is not in the folder
    *folder = slash == 0 ? "/" : name.substr(0, slash);
    *base = name.substr(slash + 1);
    return !base->empty() && *base != "." && *base != "..";
}

// The resolved image folder and the file's last part, or false (logged) when name is not a
// plain file directly inside the image folder.
bool Check(const std::string& name, bool createFolder, std::string* folderOut, std::string* baseOut) {
    std::string folder = BoxImageFolder();
    std::string parent, base;
    bool ok = !folder.empty() && Split(name, &parent, &base);
    std::string resolvedFolder;
    if (ok) {
        resolvedFolder = Resolve(folder);
        if (resolvedFolder.empty() && createFolder && mkdir_ex(folder.c_str()) == 0)
            resolvedFolder = Resolve(folder);
        std::string resolvedParent = Resolve(parent);
        ok = !resolvedFolder.empty() && resolvedParent == resolvedFolder;
    }
    if (ok) {
        struct stat st {};
        std::string full = resolvedFolder + "/" + base;
        ok = lstat(full.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
    }
    if (!ok) {
        LogPrint(LOG_ERROR, "box named a file outside the image folder %s: %.1000s refused",
                 folder.c_str(), name.c_str());
        return false;
    }
    *folderOut = resolvedFolder;
    *baseOut = base;
    return true;
}

}  // namespace

std::string ImagePathOfConfiguration(const char* text, size_t size) {
    if (!text) return "";
    std::string all(text, strnlen(text, size));
    bool inScanner = false;
    std::string value;
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        line.erase(0, start);
        if (line[0] == '[') {
            size_t close = line.find(']');
            inScanner = close != std::string::npos &&
                        strcasecmp(line.substr(1, close - 1).c_str(), "Scanner") == 0;
            continue;
        }
        if (!inScanner || line[0] == ';' || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        if (strcasecmp(key.c_str(), "ImagePath") != 0) continue;
        value = line.substr(eq + 1);
        size_t first = value.find_first_not_of(" \t");
        value = first == std::string::npos ? "" : value.substr(first);
        return value;
    }
    return "";
}

void SetBoxImageFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(folderMutex);
    imageFolder = folder;
}

std::string BoxImageFolder() {
    std::lock_guard<std::mutex> lock(folderMutex);
    return imageFolder;
}

bool InsideImageFolder(const std::string& name) {
    std::string folder, base;
    return Check(name, true, &folder, &base);
}

FILE* OpenInImageFolder(const std::string& name) {
    std::string folder, base;
    if (!Check(name, true, &folder, &base)) return nullptr;
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return nullptr;
    int fd = openat(dir, base.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    close(dir);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) close(fd);
    return file;
}
