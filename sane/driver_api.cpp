#include "driver_api.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/plugin_loader.h"

namespace {

template <typename F>
bool Bind(void* handle, const char* name, F*& out, std::string* missing) {
    if (platform::ResolveSymbol(handle, name, out)) return true;
    *missing = std::string("liblumora.so does not export ") + name;
    return false;
}

bool BindAll(void* h, DriverApi* d, std::string* e) {
    return Bind(h, "ApiInit", d->apiInit, e) && Bind(h, "ApiExit", d->apiExit, e) &&
           Bind(h, "Open_Scanner", d->open, e) && Bind(h, "Close_Scanner", d->close, e) &&
           Bind(h, "Aktivate_Scanner", d->arm, e) && Bind(h, "Deaktivate_Scanner", d->disarm, e) &&
           Bind(h, "Get_Status", d->status, e) && Bind(h, "Get_ImageName", d->imageName, e) &&
           Bind(h, "Delete_Image", d->deleteImage, e) &&
           Bind(h, "Get_Paramcount", d->paramCount, e) &&
           Bind(h, "Get_Paramname", d->paramName, e) &&
           Bind(h, "Get_IniFileName", d->iniFileName, e) &&
           Bind(h, "Get_Serialnumber", d->serialNumber, e) &&
           Bind(h, "Convert_Image16_8", d->convert16To8, e);
}

}  // namespace

const DriverApi* LoadDriver(const std::string& library, std::string* error) {
    static std::mutex lock;
    static DriverApi api;
    static void* handle = nullptr;
    std::lock_guard<std::mutex> hold(lock);
    if (handle) return &api;

    std::vector<std::string> candidates;
    if (!library.empty()) {
        candidates.push_back(library);
    } else {
        if (const char* dir = std::getenv("LUMORA_LIBDIR"); dir && *dir)
            candidates.push_back(std::string(dir) + "/liblumora.so");
        // Installed backends live in <libdir>/sane, the driver in <libdir>.
        candidates.push_back(std::string(platform::OwnDirectory()) + "../liblumora.so");
        candidates.push_back(std::string(platform::OwnDirectory()) + "liblumora.so");
        candidates.push_back("liblumora.so");
    }
    std::string reasons;
    for (const std::string& candidate : candidates) {
        void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!h) {
            const char* why = dlerror();
            reasons += (reasons.empty() ? "" : "; ") + std::string(why ? why : candidate.c_str());
            continue;
        }
        DriverApi bound;
        if (!BindAll(h, &bound, error)) {
            dlclose(h);
            return nullptr;
        }
        api = bound;
        handle = h;
        return &api;
    }
    *error = "cannot load liblumora.so: " + reasons;
    return nullptr;
}
