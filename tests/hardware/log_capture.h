// Sends the process log to a file of a temporary directory for the life of the object.
#pragma once
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/log_lines.h"
#include "config/log_configuration.h"
#include "platform/log_channel.h"
#include "common/temp_dir.h"

class LogCapture {
public:
    LogCapture() {
        setenv("LUMORA_ZRCONFIG", dir_.file("zrconfig.ini").c_str(), 1);
        setenv("LUMORA_REGISTRY", dir_.file("registry.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir_.file("xdg").c_str(), 1);
        dir_.write("zrconfig.ini", "[Log]\nTarget=file:log.txt\nLevel=8\n");
        RebuildLogChannel();
    }
    ~LogCapture() {
        unsetenv("LUMORA_ZRCONFIG");
        unsetenv("LUMORA_REGISTRY");
        unsetenv("XDG_CONFIG_HOME");
        RebuildLogChannel();
    }
    // True when a line of that level ends in message.
    bool Logged(int level, const std::string& message) const {
        return LogHasLineEndingIn(TempDir::read(dir_.file("log.txt")), level, message);
    }

private:
    TempDir dir_;
};
