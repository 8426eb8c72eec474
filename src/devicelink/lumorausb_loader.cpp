#include <mutex>

#include "platform/log_channel.h"
#include "devicelink/lumorausb.h"
#include "platform/plugin_loader.h"

namespace platform {

namespace {

// One function of the library, with a log line when it is missing.
template <typename Fn>
bool Resolve(void* handle, const char* name, Fn*& out) {
    if (ResolveSymbol(handle, name, out)) return true;
    LogPrint(LOG_ERROR, "%s: function %s missing", LUMORAUSB_LIBRARY, name);
    return false;
}

const LumoraUsbLibrary* Load() {
    void* handle = LoadPlugin(LUMORAUSB_LIBRARY);
    if (!handle) {
        LogPrint(LOG_ERROR, "can't load %s", LUMORAUSB_LIBRARY);
        return nullptr;
    }
    static LumoraUsbLibrary lib;
    bool ok = Resolve(handle, "Init_Interface", lib.Init_Interface) &
              Resolve(handle, "Free_Interface", lib.Free_Interface) &
              Resolve(handle, "SetUsbTimeout", lib.SetUsbTimeout) &
              Resolve(handle, "GetLastLumoraError", lib.GetLastLumoraError) &
              Resolve(handle, "RegRead", lib.RegRead) &
              Resolve(handle, "RegReadShort", lib.RegReadShort) &
              Resolve(handle, "RegReadLong", lib.RegReadLong) &
              Resolve(handle, "RegWrite", lib.RegWrite) &
              Resolve(handle, "RegWriteShort", lib.RegWriteShort) &
              Resolve(handle, "RegWriteLong", lib.RegWriteLong) &
              Resolve(handle, "ReadBlock", lib.ReadBlock) &
              Resolve(handle, "GetScanStatus", lib.GetScanStatus) &
              Resolve(handle, "Anz_ScanLine", lib.Anz_ScanLine) &
              Resolve(handle, "I2C_ADCread", lib.I2C_ADCread) &
              Resolve(handle, "I2C_DACout", lib.I2C_DACout) &
              Resolve(handle, "I2C_TEMPinit", lib.I2C_TEMPinit) &
              Resolve(handle, "I2C_TEMPread", lib.I2C_TEMPread) &
              Resolve(handle, "I2C_PROM_read", lib.I2C_PROM_read) &
              Resolve(handle, "I2C_PROM_write", lib.I2C_PROM_write) &
              Resolve(handle, "Init_Firmware", lib.Init_Firmware) &
              Resolve(handle, "Pentamotor_init", lib.Pentamotor_init);
    if (!ok) {
        UnloadPlugin(handle);
        return nullptr;
    }
    return &lib;
}

}  // namespace

const LumoraUsbLibrary* LumoraUsb() {
    static std::once_flag once;
    static const LumoraUsbLibrary* library = nullptr;
    std::call_once(once, [] { library = Load(); });
    return library;
}

}  // namespace platform
