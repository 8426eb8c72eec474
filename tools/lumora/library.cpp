#include "library.h"

#include <dlfcn.h>

#include <cstdlib>

#include "platform/library_search.h"

Library::~Library() {
    if (handle_) dlclose(handle_);
}

bool Library::load() {
    std::string candidate;
    handle_ =
        platform::OpenDriverLibrary(platform::ProgramDriverCandidates(), 0, &error_, &candidate);
    if (!handle_) return false;
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

std::string Library::directory() const {
    size_t slash = path_.rfind('/');
    return slash == std::string::npos ? "" : path_.substr(0, slash + 1);
}

void Library::missing(const char* name) {
    error_ = std::string("liblumora.so does not export ") + name;
}
