#include "library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

// Folder of the running executable, with a trailing '/'.
std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

Library::~Library() {
    if (handle_) dlclose(handle_);
}

bool Library::load() {
    std::vector<std::string> candidates;
    std::string own = ExecutableDirectory();
    if (!own.empty()) candidates.push_back(own + "../lib/liblumora.so");
    if (const char* dir = std::getenv("LUMORA_LIBDIR"); dir && *dir)
        candidates.push_back(std::string(dir) + "/liblumora.so");
    candidates.push_back("liblumora.so");
    std::string reasons;
    for (const std::string& candidate : candidates) {
        handle_ = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            // The file actually loaded (the last candidate is found on the library path).
            Dl_info info{};
            void* any = dlsym(handle_, "Get_DriverVersion");
            path_ = any && dladdr(any, &info) && info.dli_fname ? info.dli_fname : candidate;
            if (char* real = realpath(path_.c_str(), nullptr)) {
                path_ = real;
                std::free(real);
            }
            return true;
        }
        const char* why = dlerror();
        reasons += (reasons.empty() ? "" : "; ") + std::string(why ? why : candidate);
    }
    error_ = "cannot load liblumora.so: " + reasons;
    return false;
}

std::string Library::directory() const {
    size_t slash = path_.rfind('/');
    return slash == std::string::npos ? "" : path_.substr(0, slash + 1);
}

void Library::missing(const char* name) {
    error_ = std::string("liblumora.so does not export ") + name;
}
