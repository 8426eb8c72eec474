// liblumora.so loaded exactly as an application loads it: dlopen, then dlsym of the exported
// names. Searched beside the tool (../lib), then in LUMORA_LIBDIR, then on the normal library
// path.
#pragma once
#include <string>

#include "lumora/lumora.h"
#include "platform/plugin_loader.h"

class Library {
public:
    ~Library();
    // Loads the library; false with a message in error() when it cannot be loaded.
    bool load();
    const std::string& error() const { return error_; }
    // The file that was loaded and its folder (with a trailing '/').
    const std::string& path() const { return path_; }
    std::string directory() const;

    // An exported function with its declared type, or null (with error() set).
    template <typename F>
    F* function(const char* name) {
        F* found = nullptr;
        if (!platform::ResolveSymbol(handle_, name, found)) missing(name);
        return found;
    }

private:
    void missing(const char* name);

    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

// Resolves the exported function of the same name with its declared type, e.g.
// LUMORA_FUNCTION(library, Get_DriverVersion) gives a decltype(&Get_DriverVersion) or null.
#define LUMORA_FUNCTION(library, name) (library).function<decltype(::name)>(#name)
