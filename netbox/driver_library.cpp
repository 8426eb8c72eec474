#include "driver_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/plugin_loader.h"

namespace {

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

DriverLibrary::~DriverLibrary() {
    if (handle_) dlclose(handle_);
}

bool DriverLibrary::Load(std::string* error) {
    std::vector<std::string> candidates;
    if (std::string own = ExecutableDirectory(); !own.empty())
        candidates.push_back(own + "../lib/liblumora.so");
    if (const char* dir = std::getenv("LUMORA_LIBDIR"); dir && *dir)
        candidates.push_back(std::string(dir) + "/liblumora.so");
    candidates.push_back("liblumora.so");
    std::string reasons;
    for (const std::string& candidate : candidates) {
        handle_ = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) break;
        const char* why = dlerror();
        reasons += (reasons.empty() ? "" : "; ") + std::string(why ? why : candidate);
    }
    if (!handle_) {
        *error = "cannot load liblumora.so: " + reasons;
        return false;
    }
    bool ok = true;
    auto need = [&](auto*& fn, const char* name) {
        if (!platform::ResolveSymbol(handle_, name, fn)) {
            ok = false;
            *error += std::string(error->empty() ? "" : ", ") + "missing " + name;
        }
    };
#define LUMORA_NEED(name) need(name, #name)
    LUMORA_NEED(ApiInit);
    LUMORA_NEED(ApiExit);
    LUMORA_NEED(Open_Scanner);
    LUMORA_NEED(Close_Scanner);
    LUMORA_NEED(Aktivate_Scanner);
    LUMORA_NEED(Deaktivate_Scanner);
    LUMORA_NEED(Get_Status);
    LUMORA_NEED(Get_LightStatus);
    LUMORA_NEED(ClearScanner);
    LUMORA_NEED(Get_ImageName);
    LUMORA_NEED(Delete_Image);
    LUMORA_NEED(Set_ImageExtraHeader);
    LUMORA_NEED(Get_Prescanline);
    LUMORA_NEED(Set_Prescanmode);
    LUMORA_NEED(Get_ScannerDiag);
    LUMORA_NEED(Get_ScannerFeatures);
    LUMORA_NEED(Get_Serialnumber);
    LUMORA_NEED(Run_BeltdriveEx);
    LUMORA_NEED(SetEraseMode);
    LUMORA_NEED(Ext_ScannerCTRL);
    LUMORA_NEED(ATRIUM_Mode);
    LUMORA_NEED(Get_IniFileName);
#undef LUMORA_NEED
    remote = static_cast<bool*>(dlsym(handle_, "remote"));
    if (!remote) {
        ok = false;
        *error += std::string(error->empty() ? "" : ", ") + "missing remote";
    }
    return ok;
}
