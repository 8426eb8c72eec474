// Gates and helpers shared by the exported functions.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/log_channel.h"
#include "api/process_state.h"
#include "lumora/lumora.h"

#define LUMORA_EXPORT extern "C" LUMORA_API

// The API exists while the ScannerApi object exists.
inline bool ApiExists() { return TheScannerApi != nullptr; }

// Open gate: -4 while the API does not exist; ApiInit is not called.
inline int OpenGate() { return ApiExists() ? 0 : LUMORA_E_NOT_OPEN; }

// Init gate: ApiInit's result.
inline int InitGate() { return ApiInit(); }

// Image gate: initialise when needed; -1001 when the API still does not exist.
inline int ImageGate() {
    if (!ApiExists()) ApiInit();
    return ApiExists() ? 0 : LUMORA_E_INIT;
}

// An output argument the operation fills: -2 when the application passed none.
inline int OutArgument(const void* out) { return out ? 0 : LUMORA_E_NOT_FOUND; }

// A caller's text for a log line: at most `size` characters (the buffer size the interface
// documents), so an unterminated buffer is never read past its end.
inline std::string Shown(const char* text, size_t size = 1024) {
    if (!text) return "(null)";
    return std::string(text, strnlen(text, size));
}
