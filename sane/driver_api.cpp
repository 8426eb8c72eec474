#include "driver_api.h"

#include <dlfcn.h>

#include <mutex>
#include <vector>

#include "platform/library_search.h"
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
        if (const std::string dir = platform::ExtraLibraryDirectory(); !dir.empty())
            candidates.push_back(dir + platform::DRIVER_LIBRARY);
        // Installed backends live in <libdir>/sane, the driver in <libdir>.
        const std::string own = platform::OwnDirectory();
        candidates.push_back(own + "../" + platform::DRIVER_LIBRARY);
        candidates.push_back(own + platform::DRIVER_LIBRARY);
        candidates.push_back(platform::DRIVER_LIBRARY);
    }
    void* h = platform::OpenDriverLibrary(candidates, RTLD_NODELETE, error);
    if (!h) return nullptr;
    DriverApi bound;
    if (!BindAll(h, &bound, error)) {
        dlclose(h);
        return nullptr;
    }
    api = bound;
    handle = h;
    return &api;
}
