#include "driver_library.h"

#include <dlfcn.h>

#include "platform/library_search.h"
#include "platform/plugin_loader.h"

DriverLibrary::~DriverLibrary() {
    if (handle_) dlclose(handle_);
}

bool DriverLibrary::Load(std::string* error) {
    handle_ = platform::OpenDriverLibrary(platform::ProgramDriverCandidates(), 0, error);
    if (!handle_) return false;
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
