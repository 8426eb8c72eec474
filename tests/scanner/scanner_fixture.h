// A scanner of its own for each test: the emulator described by a file in a temporary
// directory, the example configuration with the keys a test changes, and a log at level 8.
// The library is used through its exported functions only, as an application uses it.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <strings.h>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_lines.h"
#include "common/temp_dir.h"
#include "lumora/lumora.h"
#include "lumora_emu/emulator.h"

#ifndef LUMORA_SOURCE_DIR
#error "LUMORA_SOURCE_DIR must name the source tree"
#endif

// Sets key=value in [section] of an INI text (added when missing).
inline std::string SetIniKey(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& value) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    auto lower = [](std::string s) {
        for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string want = lower("[" + section + "]");
    int secStart = -1, secEnd = int(lines.size());
    for (int i = 0; i < int(lines.size()); i++) {
        std::string t = lower(lines[size_t(i)]);
        if (!t.empty() && t[0] == '[') {
            if (secStart >= 0) {
                secEnd = i;
                break;
            }
            if (t.rfind(want, 0) == 0) secStart = i;
        }
    }
    if (secStart < 0) {
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    } else {
        bool done = false;
        for (int i = secStart + 1; i < secEnd && !done; i++) {
            std::string t = lower(lines[size_t(i)]);
            if (t.rfind(lower(key) + "=", 0) == 0) {
                lines[size_t(i)] = key + "=" + value;
                done = true;
            }
        }
        if (!done) lines.insert(lines.begin() + secEnd, key + "=" + value);
    }
    std::string out;
    for (auto& l : lines) out += l + "\n";
    return out;
}

// Reads key from [section] of an INI text ("" when missing).
inline std::string GetIniKey(const std::string& text, const std::string& section,
                             const std::string& key) {
    std::istringstream in(text);
    bool inside = false;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l[0] == '[') {
            inside = strncasecmp(l.c_str(), ("[" + section + "]").c_str(), section.size() + 2) == 0;
            continue;
        }
        if (inside && strncasecmp(l.c_str(), (key + "=").c_str(), key.size() + 1) == 0) {
            std::string v = l.substr(key.size() + 1);
            while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
            return v;
        }
    }
    return "";
}

struct IniKey {
    std::string section, key, value;
};

class ScannerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        std::error_code ec;
        std::filesystem::remove_all(dir.file("images"), ec);
        std::filesystem::remove(dir.file("log.txt"), ec);
        setenv("LUMORA_ZRCONFIG", dir.file("zrconfig.ini").c_str(), 1);
        setenv("LUMORA_REGISTRY", dir.file("registry.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("xdg").c_str(), 1);
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        setenv("LUMORA_EMULATOR", dir.file("emulator.ini").c_str(), 1);
        // The USB scanner's cross-process lock of our own: other test processes keep theirs.
        setenv("LUMORA_RUNTIME_DIR", dir.path().c_str(), 1);
        unsetenv("LUMORA_FAKE_DISKFREE");
        dir.write("zrconfig.ini",
                  "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=images\n"
                  "ScriptDir=scripts\n[Log]\nTarget=file:log.txt\nLevel=8\n");
        // Three firmware files with different contents, so a test can tell which was loaded.
        dir.write("devices/Lumora.mcs", ":0400000001020304F2\n:00000001FF\n");
        dir.write("devices/LumoraUSB.mcs", ":0400000011121314B2\n:00000001FF\n");
        dir.write("devices/Calyxa.mcs", ":040000002122232472\n:00000001FF\n");
        Config({});
        Emulator("");
    }

    void TearDown() override {
        if (HasFailure() && getenv("LUMORA_TEST_SHOW_LOG")) {
            std::string log = Log();
            fprintf(stderr, "---- log ----\n%s\n", log.substr(log.size() > 6000 ? log.size() - 6000 : 0).c_str());
        }
        Close_Scanner();
        ApiExit();  // the next test initialises afresh, with its own configuration and log
        unsetenv("LUMORA_FAKE_DISKFREE");
    }

    // The example configuration with these keys changed.
    void Config(const std::vector<IniKey>& keys) {
        std::string text = TempDir::read(std::string(LUMORA_SOURCE_DIR) + "/examples/lumora.ini");
        ASSERT_FALSE(text.empty()) << "examples/lumora.ini missing";
        for (const IniKey& k : keys) text = SetIniKey(text, k.section, k.key, k.value);
        dir.write("lumora.ini", text);
    }
    std::string ConfigValue(const std::string& section, const std::string& key) const {
        return GetIniKey(TempDir::read(dir.file("lumora.ini")), section, key);
    }

    // The emulated device: stepped clock plus the given description text.
    void Emulator(const std::string& text) {
        dir.write("emulator.ini", "[Clock]\nMode=stepped\n" + text);
        Emu().Reset(true);
    }
    static lumora_emu::Device& Emu() { return lumora_emu::TheDevice(); }

    std::string ImageDir() const { return dir.file("images"); }
    std::string Log() const { return TempDir::read(dir.file("log.txt")); }

    // True when the log holds a line of that level ending in message.
    bool Logged(int level, const std::string& message) const {
        return LogHasLineEndingIn(Log(), level, message);
    }
    // True when the log holds a line of that level containing text.
    bool LoggedContaining(int level, const std::string& text) const {
        return LogHasLineContaining(Log(), level, text);
    }
    int CountLogged(const std::string& message) const {
        std::istringstream log(Log());
        int n = 0;
        for (std::string line; std::getline(log, line);)
            if (line.find(message) != std::string::npos) n++;
        return n;
    }

    // Polls Get_Status until `images` names were fetched or `maxPolls` polls passed; the
    // names are appended to names. Returns the last status word or error.
    int ScanImages(int images, std::vector<std::string>* names, long maxPolls = 2000000) {
        int st = 0;
        for (long i = 0; i < maxPolls && int(names->size()) < images; i++) {
            st = Get_Status();
            if (st < 0) return st;
            if ((st & 0xFF) == 0) continue;
            char name[1024];
            while (Get_ImageName(name) > 0) names->push_back(name);
        }
        return st;
    }

    TempDir dir;
};
