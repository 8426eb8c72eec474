#include "platform/library_search.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace platform {

std::string ExtraLibraryDirectory() {
    const char* dir = std::getenv("LUMORA_LIBDIR");
    return dir && *dir ? std::string(dir) + "/" : std::string();
}

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    const std::string path(buffer, size_t(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void* OpenFirstLibrary(const std::vector<std::string>& candidates, int extraFlags,
                       std::string* reasons, std::string* loaded) {
    reasons->clear();
    for (const std::string& candidate : candidates) {
        if (void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags)) {
            if (loaded) *loaded = candidate;
            return handle;
        }
        const char* why = dlerror();
        *reasons += (reasons->empty() ? "" : "; ") + std::string(why ? why : candidate);
    }
    return nullptr;
}

std::vector<std::string> ProgramDriverCandidates() {
    std::vector<std::string> candidates;
    if (const std::string own = ExecutableDirectory(); !own.empty())
        candidates.push_back(own + "../lib/" + DRIVER_LIBRARY);
    if (const std::string extra = ExtraLibraryDirectory(); !extra.empty())
        candidates.push_back(extra + DRIVER_LIBRARY);
    candidates.push_back(DRIVER_LIBRARY);
    return candidates;
}

void* OpenDriverLibrary(const std::vector<std::string>& candidates, int extraFlags,
                        std::string* error, std::string* loaded) {
    std::string reasons;
    void* handle = OpenFirstLibrary(candidates, extraFlags, &reasons, loaded);
    if (!handle) *error = std::string("cannot load ") + DRIVER_LIBRARY + ": " + reasons;
    return handle;
}

}  // namespace platform
