// The backend's configuration file lumora.conf, found like every SANE backend's: in the
// folders of SANE_CONFIG_DIR (a trailing ':' adds the default folder), else in the default
// folder. Lines "key value"; '#' starts a comment.
//
//     library /usr/lib/x86_64-linux-gnu/liblumora.so   # the driver to load
//     poll-interval 20       # milliseconds between two status polls (1 ... 10000)
//     plate-timeout 0        # seconds sane_start waits for a plate; 0: until cancelled
//     keep-images yes        # keep the driver's image files after reading them
#pragma once
#include <string>

struct BackendConfig {
    std::string library;  // empty: LUMORA_LIBDIR, then beside the backend's folder, then by name
    long pollIntervalMs = 20;
    long plateTimeoutS = 0;
    bool keepImages = true;
};

// Reads the configuration text; unknown keys and bad values are ignored (the defaults stay).
BackendConfig ParseBackendConfig(const std::string& text);
// The configuration from the first lumora.conf found, else the defaults.
BackendConfig LoadBackendConfig();
