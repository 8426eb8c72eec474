// Loading of the run-time libraries (libzrconfig.so, libzrip.so, liblumorausb.so,
// liblumoraemu.so): beside liblumora.so first, then on the normal library path.
#pragma once

namespace platform {

// Directory of the library (or executable) that holds this code, with a trailing '/'.
const char* OwnDirectory();
// dlopen of name beside OwnDirectory(), then by name. Null when not found.
void* LoadPlugin(const char* name);
void* PluginSymbol(void* handle, const char* name);
void UnloadPlugin(void* handle);

}  // namespace platform
