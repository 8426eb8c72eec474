#include "platform/emulator_entry.h"

#include <mutex>

#include "platform/log_channel.h"
#include "platform/plugin_loader.h"

namespace platform {

namespace {

constexpr const char* kLibrary = "liblumoraemu.so";

bool Resolve(void* handle, EmulatorEntry* e) {
    return ResolveSymbol(handle, "lumora_emu_open", e->open) &
           ResolveSymbol(handle, "lumora_emu_request", e->request) &
           ResolveSymbol(handle, "lumora_emu_close", e->close) &
           ResolveSymbol(handle, "lumora_emu_wait_ms", e->wait_ms) &
           ResolveSymbol(handle, "lumora_emu_now_ms", e->now_ms) &
           ResolveSymbol(handle, "lumora_emu_i2c_start", e->i2c_start) &
           ResolveSymbol(handle, "lumora_emu_i2c_write", e->i2c_write) &
           ResolveSymbol(handle, "lumora_emu_i2c_read", e->i2c_read) &
           ResolveSymbol(handle, "lumora_emu_i2c_stop", e->i2c_stop) &
           ResolveSymbol(handle, "lumora_emu_motor_word", e->motor_word);
}

}  // namespace

const EmulatorEntry* Emulator() {
    static std::once_flag once;
    static EmulatorEntry entry{};
    static bool loaded = false;
    std::call_once(once, [] {
        void* handle = LoadPlugin(kLibrary);
        if (!handle) return;
        if (!Resolve(handle, &entry)) {
            LogPrint(LOG_ERROR, "emulator library lacks its driver entry");
            UnloadPlugin(handle);
            entry = EmulatorEntry{};
            return;
        }
        loaded = true;
    });
    return loaded ? &entry : nullptr;
}

}  // namespace platform
