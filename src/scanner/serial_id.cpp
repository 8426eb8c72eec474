// Serial number of the scanner and the IDPROM copy beside the configuration file.
#include <cstdio>
#include <cstring>

#include "diagnostics/device_memory.h"
#include "platform/tools.h"
#include "scanner/open_steps.h"

void ReadSerialId(char* out, size_t size) {
    size_t n = 0;
    while (n < 16 && n + 1 < size && IdpromImage[n] != 0x00 && IdpromImage[n] != 0xFF) {
        out[n] = char(IdpromImage[n]);
        n++;
    }
    out[n] = 0;
}

bool IdpromCopyPath(char* out, size_t size, const char* configFile, const char* serial) {
    char dir[1024] = "";
    if (configFile) {
        const char* slash = strrchr(configFile, '/');
        if (slash) {
            size_t len = size_t(slash - configFile) + 1;
            if (len >= sizeof dir) return false;
            memcpy(dir, configFile, len);
            dir[len] = 0;
        }
    }
    // The serial comes from the device: keep only characters that cannot leave the directory.
    char safe[64];
    size_t n = 0;
    for (const char* p = serial; *p && n + 1 < sizeof safe; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                  c == ' ' || c == '-' || c == '_' || c == '.';
        safe[n++] = ok ? char(c) : '_';
    }
    safe[n] = 0;
    int len = snprintf(out, size, "%sSave_%s.bin", dir, safe);
    return len > 0 && size_t(len) < size;
}

void SaveIdpromCopy(const char* configFile, const char* serial) {
    if (!serial || !serial[0]) return;
    char path[1200];
    if (!IdpromCopyPath(path, sizeof path, configFile, serial)) return;
    FILE* f = fopen(path, "wb");
    if (!f) return;
    fwrite(IdpromImage, 1, IDPROM_SIZE, f);
    fclose(f);
}
