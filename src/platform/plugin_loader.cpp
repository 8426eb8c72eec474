#include "platform/plugin_loader.h"

#include <dlfcn.h>

#include <string>

#include "platform/library_search.h"

namespace platform {

const char* OwnDirectory() {
    static std::string directory = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&OwnDirectory), &info) && info.dli_fname) {
            std::string path = info.dli_fname;
            size_t slash = path.rfind('/');
            if (slash != std::string::npos) return path.substr(0, slash + 1);
        }
        return std::string();
    }();
    return directory.c_str();
}

void* LoadPlugin(const char* name) {
    // LUMORA_LIBDIR names an extra folder to search first (the build tree in tests).
    if (const std::string dir = ExtraLibraryDirectory(); !dir.empty()) {
        std::string path = dir + name;
        if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    std::string beside = std::string(OwnDirectory()) + name;
    if (!beside.empty() && beside != name) {
        if (void* h = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void UnloadPlugin(void* handle) {
    if (handle) dlclose(handle);
}

}  // namespace platform
