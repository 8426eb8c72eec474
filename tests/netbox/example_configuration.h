// The example configuration of the driver written for a test, with chosen keys set in place
// (appending a section again would not do: the first occurrence of a key counts).
#pragma once
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/ini2.h"

#ifndef LUMORA_SOURCE_DIR
#error "LUMORA_SOURCE_DIR must name the source tree"
#endif

struct IniKey {
    std::string section, key, value;
};

// Writes the example configuration as name in dir with keys set; its path.
inline std::string WriteExampleConfiguration(const TempDir& dir, const std::string& name,
                                             const std::vector<IniKey>& keys) {
    const std::string path =
        dir.write(name, TempDir::read(std::string(LUMORA_SOURCE_DIR) + "/examples/lumora.ini"));
    ini2 config;
    config.load(path.c_str());
    for (const IniKey& k : keys) config.set(k.section.c_str(), k.key.c_str(), k.value.c_str());
    config.write();
    return path;
}
