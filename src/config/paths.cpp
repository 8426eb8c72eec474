// Image directory, temporary file, image numbers, script path and device-memory texts.
#include "config/paths.h"
#include "lumora/lumora.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/log_channel.h"
#include "config/config_file.h"
#include "config/zrconfigwr.h"
#include "platform/tools.h"

namespace {

constexpr const char* kDefaultTempFile = "Lumora.tmp";
constexpr const char* kScriptKey = "Software\\Halvorn\\scripts";

// Copies text into out when it fits completely (a cut path is never handed out).
bool CopyWhole(char* out, int size, const std::string& text) {
    if (text.size() >= size_t(size)) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

int Fail(const char* name, int result) {
    LogPrint(LOG_ERROR, "%s return %d", name, result);
    return result;
}

// A configured image folder the service cannot hand over whole: refused, since another
// folder in its place would put the images where nobody looks for them.
int TooLong(const char* name) {
    LogPrint(LOG_ERROR, "image folder of the configuration service longer than %d characters",
             ZRC_BUFFER - 1);
    return Fail(name, ZRC_TOO_LONG);
}

}  // namespace

int GetImagePath(char* out, int size) {
    if (!out || size <= 0) return Fail("GetImagePath", -2);
    char path[ZRC_BUFFER] = "";
    const int service = ConfigService().ZRCGetDir(ZRC_DIR_IMAGES, path, 0);
    if (service == ZRC_TOO_LONG) return TooLong("GetImagePath");
    if (service == 0) {
        path[sizeof path - 1] = '\0';
    } else {
        int missing = ConfigIni.get("Scanner", "ImagePath", path, nullptr, sizeof path);
        if (missing != 0) return Fail("GetImagePath", missing);
    }
    if (!CopyWhole(out, size, path)) return Fail("GetImagePath", -2);
    LogPrint(LOG_CALL, "%s return %d path %s size %d", "GetImagePath", 0, out, size);
    return 0;
}

int GetTempFile(char* out, int size) {
    if (!out || size <= 0) return Fail("GetTempFile", -2);
    char directory[ZRC_BUFFER] = "";
    const int service = ConfigService().ZRCGetDir(ZRC_DIR_IMAGES, directory, 0);
    if (service == ZRC_TOO_LONG) return TooLong("GetTempFile");
    bool haveDirectory = service == 0;
    directory[sizeof directory - 1] = '\0';
    char name[ZRC_BUFFER];
    if (ConfigIni.get("Scanner", "TempFile", name, kDefaultTempFile, sizeof name) != 0 || !name[0]) {
        LogPrint(LOG_WARNING, "no key TempFile in section Scanner, using %s", kDefaultTempFile);
        strxcpy(name, kDefaultTempFile, sizeof name);
    }

    std::string path;
    if (haveDirectory && name[0] != '/')  // an absolute name is used without the directory
        path = std::string(directory) + "/" + name;
    else
        path = name;

    // Cut the extension of the file name (a '.' in a directory name is no extension).
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    path += "-" + std::to_string(getpid()) + ".tmp";
    if (!CopyWhole(out, size, path)) return Fail("GetTempFile", -2);
    LogPrint(LOG_CALL, "%s return %d path %s size %d", "GetTempFile", 0, out, size);
    return 0;
}

int GetHighestImageNumber(const char* directory) {
    if (!directory || !*directory) return 0;
    DIR* dir = opendir(directory);
    if (!dir) return 0;
    bool found = false;
    long highest = 0;
    while (dirent* entry = readdir(dir)) {
        // The names "LM*.*": every entry whose name starts with "LM".
        if (std::strncmp(entry->d_name, "LM", 2) != 0) continue;
        long number = std::strtol(entry->d_name + 2, nullptr, 10);
        if (number > INT_MAX) number = INT_MAX;
        if (number < INT_MIN) number = INT_MIN;
        if (!found || number > highest) highest = number;
        found = true;
    }
    closedir(dir);
    return found ? int(highest) : 0;
}

int DeleteImageFiles(const char* imagePath) {
    if (!imagePath) return LUMORA_E_FILE;
    char companion[PATH_MAX];
    if (!ReplaceExtension(companion, sizeof companion, imagePath, "txt")) return LUMORA_E_FILE;
    int image = std::remove(imagePath);
    int info = std::remove(companion);
    return image | info;
}

void BuildScriptPath(char* out, const char* name) {
    if (!out || !name || !*name) return;
    out[0] = '\0';
    if (ConfigService().ZRCGetDir(ZRC_DIR_SCRIPTS, out, 0) != 0) {
        out[0] = '\0';
        Get_RegStr(HKEY_LOCAL_MACHINE, kScriptKey, "ScriptDir", out, ZRC_BUFFER);
    }
    out[ZRC_BUFFER - 1] = '\0';
    std::string path = out;
    if (!path.empty()) path += "/";
    path += name;
    if (path.size() >= ZRC_BUFFER) {
        // A cut name would point at another file: hand out no path at all.
        LogPrint(LOG_ERROR, "%s: script path too long for %s", "BuildScriptPath", name);
        out[0] = '\0';
        return;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
}

int GetDateNumber() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return ((local.tm_year + 1900) * 100 + local.tm_mon + 1) * 100 + local.tm_mday;
}

namespace {
// Copies up to length bytes, stopping before 0x00 or 0xFF; text holds 256 characters.
const char* CopyPromText(char* text, const unsigned char* from, size_t length) {
    size_t n = 0;
    if (from)
        while (n < length && from[n] != 0x00 && from[n] != 0xFF) {
            text[n] = char(from[n]);
            ++n;
        }
    text[n] = '\0';
    return text;
}
}  // namespace

const char* PromText(const char* field, unsigned char length) {
    static char text[256];
    return CopyPromText(text, reinterpret_cast<const unsigned char*>(field), length);
}

const char* PromTextAt(const unsigned char* memory, unsigned char offset, unsigned char length) {
    // memory is a 256-byte PROM image: a field never reads beyond its end.
    static char text[256];
    size_t room = 256u - offset;
    return CopyPromText(text, memory ? memory + offset : nullptr, length < room ? length : room);
}

bool ReplaceExtension(char* out, size_t size, const char* path, const char* ext) {
    if (!out || size == 0) return false;
    out[0] = '\0';
    if (!path || !ext) return false;
    size_t len = std::strlen(path);
    if (len < 3) return false;
    std::string result = std::string(path, len - 3) + ext;
    if (result.size() >= size) return false;
    std::memcpy(out, result.c_str(), result.size() + 1);
    return true;
}
