// liblumora.so loaded as an application loads it: dlopen, then the exported functions by
// name. It stays loaded for the life of the process.
#pragma once
#include <string>

#include "lumora/lumora.h"

struct DriverApi {
    decltype(&::ApiInit) apiInit = nullptr;
    decltype(&::ApiExit) apiExit = nullptr;
    decltype(&::Open_Scanner) open = nullptr;
    decltype(&::Close_Scanner) close = nullptr;
    decltype(&::Aktivate_Scanner) arm = nullptr;
    decltype(&::Deaktivate_Scanner) disarm = nullptr;
    decltype(&::Get_Status) status = nullptr;
    decltype(&::Get_ImageName) imageName = nullptr;
    decltype(&::Delete_Image) deleteImage = nullptr;
    decltype(&::Get_Paramcount) paramCount = nullptr;
    decltype(&::Get_Paramname) paramName = nullptr;
    decltype(&::Get_IniFileName) iniFileName = nullptr;
    decltype(&::Get_Serialnumber) serialNumber = nullptr;
    decltype(&::Convert_Image16_8) convert16To8 = nullptr;
};

// Loads the library (library: a path, or empty for LUMORA_LIBDIR, the folder above the
// backend's, then the library path) once per process. Null with *error set when it cannot
// be loaded or lacks a function.
const DriverApi* LoadDriver(const std::string& library, std::string* error);
