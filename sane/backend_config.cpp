#include "backend_config.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#ifndef LUMORA_SANE_CONFIG_DIR
#define LUMORA_SANE_CONFIG_DIR "/etc/sane.d"
#endif

namespace {

constexpr size_t MAX_CONFIG_BYTES = 64 * 1024;

bool Number(const std::string& text, long lo, long hi, long* out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

std::vector<std::string> ConfigFolders() {
    std::vector<std::string> folders;
    const char* env = std::getenv("SANE_CONFIG_DIR");
    if (!env || !*env) return {LUMORA_SANE_CONFIG_DIR};
    std::string list = env;
    size_t start = 0;
    while (start <= list.size()) {
        size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        if (colon > start) folders.push_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    if (list.back() == ':') folders.push_back(LUMORA_SANE_CONFIG_DIR);
    return folders;
}

}  // namespace

BackendConfig ParseBackendConfig(const std::string& text) {
    BackendConfig config;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string key, value, extra;
        if (!(words >> key >> value) || (words >> extra)) continue;
        if (key == "library" && value.size() < PATH_MAX) {
            config.library = value;
        } else if (key == "poll-interval") {
            Number(value, 1, 10000, &config.pollIntervalMs);
        } else if (key == "plate-timeout") {
            Number(value, 0, 86400, &config.plateTimeoutS);
        } else if (key == "keep-images" && (value == "yes" || value == "no")) {
            config.keepImages = value == "yes";
        }
    }
    return config;
}

BackendConfig LoadBackendConfig() {
    for (const std::string& folder : ConfigFolders()) {
        std::ifstream in(folder + "/lumora.conf", std::ios::binary);
        if (!in) continue;
        std::string text(MAX_CONFIG_BYTES, '\0');
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(in.gcount()));
        return ParseBackendConfig(text);
    }
    return BackendConfig{};
}
