// Handing finished images to the application, deleting them, and the old-image search.
#include <dirent.h>
#include <fnmatch.h>
#include <cstdio>
#include <cstring>

#include "lumora/lumora.h"
#include "scanner/local_scanner.h"
#include "platform/log_channel.h"
#include "scanner/scanner_state.h"
#include "config/paths.h"
#include "imagefind/imagefind.h"
#include "platform/tools.h"

namespace {

constexpr size_t NAME_SIZE = 1024;  // caller's name buffers

// The old-image search: one directory listing at a time.
DIR* searchHandle = nullptr;
char searchDir[NAME_SIZE] = "";

void EndSearch() {
    if (searchHandle) closedir(searchHandle);
    searchHandle = nullptr;
}

// Next "LM*.XYZ" in the running search into name (directory + file); 0 or -1.
int NextMatch(char* name) {
    while (searchHandle) {
        dirent* e = readdir(searchHandle);
        if (!e) break;
        if (fnmatch("LM*.XYZ", e->d_name, FNM_CASEFOLD) != 0) continue;
        if (snprintf(name, NAME_SIZE, "%s%s", searchDir, e->d_name) >= int(NAME_SIZE)) continue;
        return 0;
    }
    EndSearch();
    name[0] = 0;
    return LUMORA_E_NO_FILENAME;
}

}  // namespace

int Local_Get_ImageName(char* name) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    int n = dev->NextImageName(name);
    if (n >= 1) LogPrint(LOG_INFO, "Image: %s reported to application", name);
    return n;
}

int Local_Delete_Image(const char* name) {
    if (!name) return LUMORA_E_NOT_FOUND;
    int removed = remove(name);
    // Side file: the last three characters become "txt". A name too long for any path has
    // no side file that could be removed.
    char side[4096];
    if (ReplaceExtension(side, sizeof side, name, "txt")) remove(side);
    if (removed == 0) {
        LogPrint(LOG_INFO, "%s successfully deleted", name);
        return 0;
    }
    LogPrint(LOG_ERROR, "can't delete: %.1000s", name);
    return LUMORA_E_NOT_FOUND;
}

int Local_Get_FirstOldImageName(char* name) {
    if (ScannerOpen) return LUMORA_E_SCANNER_OPEN;
    name[0] = 0;
    int r = GetImagePath(name, int(NAME_SIZE));
    name[NAME_SIZE - 1] = 0;
    EndSearch();
    if (r != 0 || !name[0]) {
        name[0] = 0;
        return LUMORA_E_NO_FILENAME;
    }
    strxcpy(searchDir, name, sizeof searchDir);
    size_t len = strlen(searchDir);
    if (searchDir[len - 1] != '/' && len + 1 < sizeof searchDir) {
        searchDir[len] = '/';
        searchDir[len + 1] = 0;
    }
    searchHandle = opendir(searchDir);
    return NextMatch(name);
}

int Local_Get_NextOldImageName(char* name) {
    if (ScannerOpen) return LUMORA_E_SCANNER_OPEN;
    return NextMatch(name);
}
