#include "config/image_numbering.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/paths.h"
#include "platform/file_write.h"
#include "platform/log_channel.h"

int ReadNumberingFile(const char* directory) {
    char path[1200];
    if (std::snprintf(path, sizeof path, "%s/%s", directory, NUMBERING_FILE) >= int(sizeof path))
        return 0;
    FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    char text[16] = "";
    const size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[n] = '\0';
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || number < 1 || number > 999999) {
        LogPrint(LOG_WARNING, "numbering file %s ignored", path);
        return 0;
    }
    return int(number);
}

void WriteNumberingFile(const char* directory, int number) {
    char path[1200], fresh[1300];
    if (std::snprintf(path, sizeof path, "%s/%s", directory, NUMBERING_FILE) >= int(sizeof path) ||
        std::snprintf(fresh, sizeof fresh, "%s.new", path) >= int(sizeof fresh))
        return;
    int err = platform::InjectedWriteError(platform::WriteTarget::Numbering);
    if (err == 0) {
        errno = 0;
        FILE* file = std::fopen(fresh, "wb");
        bool ok = file && std::fprintf(file, "%i\n", number) > 0;
        if (file) ok = std::fclose(file) == 0 && ok;
        if (!ok || std::rename(fresh, path) != 0) err = errno ? errno : EIO;
    }
    if (err != 0) {
        std::remove(fresh);
        LogPrint(LOG_WARNING, "numbering file %s not written: %s", path, std::strerror(err));
    }
}

int HighestNumberUsed(const char* directory) {
    const int highest = GetHighestImageNumber(directory);
    const int kept = ReadNumberingFile(directory);
    return kept > highest ? kept : highest;
}
