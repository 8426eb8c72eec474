// liblumora.so as the box loads it: dlopen after the box has named its own configuration
// service settings, then the exported functions by name.
#pragma once
#include <string>

#include "lumora/lumora.h"

struct DriverLibrary {
    decltype(&::ApiInit) ApiInit = nullptr;
    decltype(&::ApiExit) ApiExit = nullptr;
    decltype(&::Open_Scanner) Open_Scanner = nullptr;
    decltype(&::Close_Scanner) Close_Scanner = nullptr;
    decltype(&::Aktivate_Scanner) Aktivate_Scanner = nullptr;
    decltype(&::Deaktivate_Scanner) Deaktivate_Scanner = nullptr;
    decltype(&::Get_Status) Get_Status = nullptr;
    decltype(&::Get_LightStatus) Get_LightStatus = nullptr;
    decltype(&::ClearScanner) ClearScanner = nullptr;
    decltype(&::Get_ImageName) Get_ImageName = nullptr;
    decltype(&::Delete_Image) Delete_Image = nullptr;
    decltype(&::Set_ImageExtraHeader) Set_ImageExtraHeader = nullptr;
    decltype(&::Get_Prescanline) Get_Prescanline = nullptr;
    decltype(&::Set_Prescanmode) Set_Prescanmode = nullptr;
    decltype(&::Get_ScannerDiag) Get_ScannerDiag = nullptr;
    decltype(&::Get_ScannerFeatures) Get_ScannerFeatures = nullptr;
    decltype(&::Get_Serialnumber) Get_Serialnumber = nullptr;
    decltype(&::Run_BeltdriveEx) Run_BeltdriveEx = nullptr;
    decltype(&::SetEraseMode) SetEraseMode = nullptr;
    decltype(&::Ext_ScannerCTRL) Ext_ScannerCTRL = nullptr;
    decltype(&::ATRIUM_Mode) ATRIUM_Mode = nullptr;
    decltype(&::Get_IniFileName) Get_IniFileName = nullptr;
    bool* remote = nullptr;

    // Loads the library (beside the executable in ../lib, then LUMORA_LIBDIR, then the library
    // path) and resolves every function; false with a message in *error.
    bool Load(std::string* error);
    ~DriverLibrary();

private:
    void* handle_ = nullptr;
};
