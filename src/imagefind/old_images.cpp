// Enumeration of image files left in a directory ("LM*.XYZ").
#include <fnmatch.h>

#include <cstdio>
#include <cstring>

#include "lumora/lumora.h"
#include "imagefind/imagefind.h"

namespace {
constexpr size_t OLD_PATH = 260;  // the caller's path buffer
}

int Imagefind::FindOldImage(char* path, bool first) {
    if (first) {
        if (OldImageSearch) closedir(OldImageSearch);
        OldImageSearch = nullptr;
        const size_t length = strnlen(path, OLD_PATH - 1);
        const bool slash = length > 0 && path[length - 1] == '/';
        std::snprintf(OldImageDir, sizeof OldImageDir, "%.*s%s", int(length), path, slash ? "" : "/");
        OldImageSearch = opendir(OldImageDir);
    }
    while (OldImageSearch) {
        const dirent* entry = readdir(OldImageSearch);
        if (!entry) break;
        if (fnmatch("LM*.XYZ", entry->d_name, FNM_CASEFOLD) != 0) continue;
        const int n = std::snprintf(path, OLD_PATH, "%s%s", OldImageDir, entry->d_name);
        if (n < 0 || size_t(n) >= OLD_PATH) continue;  // a name that does not fit is skipped
        return 0;
    }
    if (OldImageSearch) closedir(OldImageSearch);
    OldImageSearch = nullptr;
    path[0] = '\0';
    return LUMORA_E_NO_FILENAME;
}
