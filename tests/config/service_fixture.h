// A configuration of its own for each test: a settings file for the configuration service,
// a registry file and a log file, all in a temporary directory, named through the environment.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "common/log_lines.h"
#include "config/log_configuration.h"
#include "platform/log_channel.h"
#include "common/temp_dir.h"

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        setenv("LUMORA_ZRCONFIG", dir.file("zrconfig.ini").c_str(), 1);
        setenv("LUMORA_REGISTRY", dir.file("registry.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("xdg").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("LUMORA_ZRCONFIG");
        unsetenv("LUMORA_REGISTRY");
        unsetenv("XDG_CONFIG_HOME");
        RebuildLogChannel();  // back to the initial channel, away from our log file
    }

    // Writes the service settings; a log channel to log.txt at level 8 comes with them.
    void Service(const std::string& paths) {
        dir.write("zrconfig.ini", "[Paths]\n" + paths + "\n[Log]\nTarget=file:log.txt\nLevel=8\n");
        RebuildLogChannel();
    }

    // True when the log holds a line of that level ending in message.
    bool Logged(int level, const std::string& message) const {
        return LogHasLineEndingIn(TempDir::read(dir.file("log.txt")), level, message);
    }

    TempDir dir;
};
