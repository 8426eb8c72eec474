// Registry values from an INI-style file: the section is the key path as written
// ("[HKEY_LOCAL_MACHINE\Software\Halvorn\scripts]"), the key is the value name.
#include <cstdlib>
#include <string>

#include "platform/ini2.h"
#include "platform/tools.h"

namespace {
constexpr const char* kDefaultRegistry = "/etc/lumora/registry.ini";
}

int Get_RegStr(const char* root, const char* subkey, const char* valueName, char* out,
               size_t size) {
    if (!out || size == 0) return -1;
    out[0] = '\0';
    if (!root || !subkey || !valueName) return -1;
    const char* file = std::getenv("LUMORA_REGISTRY");
    if (!file || !*file) file = kDefaultRegistry;
    ini2 registry;
    if (registry.load(file) != 0) return -1;
    std::string section = std::string(root) + "\\" + subkey;
    return registry.get(section.c_str(), valueName, out, "", size);
}
