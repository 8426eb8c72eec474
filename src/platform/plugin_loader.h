// Loading of the run-time libraries (libzrconfig.so, libzrip.so, liblumorausb.so,
// liblumoraemu.so): beside liblumora.so first, then on the normal library path.
#pragma once
#include <dlfcn.h>

#include <type_traits>

namespace platform {

// Directory of the library (or executable) that holds this code, with a trailing '/'.
const char* OwnDirectory();
// dlopen of name beside OwnDirectory(), then by name. Null when not found.
void* LoadPlugin(const char* name);
void UnloadPlugin(void* handle);

// The function `name` of a loaded library as a pointer of its declared type; false, with out
// null, when the handle is null or the library lacks it.
template <typename Fn>
bool ResolveSymbol(void* handle, const char* name, Fn*& out) {
    static_assert(std::is_function_v<Fn>, "ResolveSymbol resolves functions");
    out = handle ? reinterpret_cast<Fn*>(dlsym(handle, name)) : nullptr;
    return out != nullptr;
}

}  // namespace platform
