// The library as an application loads it: dlopen of liblumora.so from LUMORA_LIBDIR and the
// exported names resolved with dlsym. Each scenario runs in a process of its own, so that the
// library's process state starts fresh, with a configuration of its own in a temporary folder.
#pragma once
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "lumora/lumora.h"

struct Lumora {
#define LUMORA_FN(name) decltype(&::name) name = nullptr
    LUMORA_FN(Open_Scanner);
    LUMORA_FN(Close_Scanner);
    LUMORA_FN(Aktivate_Scanner);
    LUMORA_FN(Get_Status);
    LUMORA_FN(ClearScanner);
    LUMORA_FN(Get_ImageName);
    LUMORA_FN(Get_FirstOldImageName);
    LUMORA_FN(Get_NextOldImageName);
    LUMORA_FN(Read_DiskImage);
    LUMORA_FN(Get_ImageValue);
    LUMORA_FN(Invert_Image);
    LUMORA_FN(Convert_Image8_16);
    LUMORA_FN(Get_ScannerDiag);
    LUMORA_FN(Get_ScannerFeatures);
    LUMORA_FN(Get_Serialnumber);
    LUMORA_FN(Get_Prescanline);
    LUMORA_FN(Set_Prescanmode);
    LUMORA_FN(Run_Beltdrive);
    LUMORA_FN(SetEraseMode);
    LUMORA_FN(Ext_ScannerCTRL);
    LUMORA_FN(Set_ImageFilterMode);
    LUMORA_FN(ATRIUM_Mode);
    LUMORA_FN(Get_Paramcount);
    LUMORA_FN(Get_Paramname);
    LUMORA_FN(Get_IniFileName);
    LUMORA_FN(Set_IniFileName);
    LUMORA_FN(Get_DriverVersion);
    LUMORA_FN(ApiInit);
    LUMORA_FN(ApiExit);
#undef LUMORA_FN
    bool* remote = nullptr;
    void* handle = nullptr;

    // Loads the library; false (with a test failure) when anything is missing.
    bool load() {
        const char* dir = std::getenv("LUMORA_LIBDIR");
        std::string path = std::string(dir && *dir ? dir : ".") + "/liblumora.so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            ADD_FAILURE() << "dlopen " << path << ": " << dlerror();
            return false;
        }
        bool ok = true;
        auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(handle, name));
            if (!slot) {
                ADD_FAILURE() << "not exported: " << name;
                ok = false;
            }
        };
#define LUMORA_BIND(name) bind(name, #name)
        LUMORA_BIND(Open_Scanner); LUMORA_BIND(Close_Scanner); LUMORA_BIND(Aktivate_Scanner);
        LUMORA_BIND(Get_Status); LUMORA_BIND(ClearScanner); LUMORA_BIND(Get_ImageName);
        LUMORA_BIND(Read_DiskImage); LUMORA_BIND(Get_ImageValue); LUMORA_BIND(Invert_Image);
        LUMORA_BIND(Convert_Image8_16); LUMORA_BIND(Get_ScannerDiag);
        LUMORA_BIND(Get_FirstOldImageName); LUMORA_BIND(Get_NextOldImageName);
        LUMORA_BIND(Get_ScannerFeatures); LUMORA_BIND(Get_Serialnumber);
        LUMORA_BIND(Get_Prescanline);
        LUMORA_BIND(Set_Prescanmode); LUMORA_BIND(Run_Beltdrive); LUMORA_BIND(SetEraseMode);
        LUMORA_BIND(Ext_ScannerCTRL); LUMORA_BIND(Set_ImageFilterMode); LUMORA_BIND(ATRIUM_Mode);
        LUMORA_BIND(Get_Paramcount); LUMORA_BIND(Get_Paramname); LUMORA_BIND(Get_IniFileName);
        LUMORA_BIND(Set_IniFileName); LUMORA_BIND(Get_DriverVersion); LUMORA_BIND(ApiInit);
        LUMORA_BIND(ApiExit); LUMORA_BIND(remote);
#undef LUMORA_BIND
        return ok;
    }
};

// One log line: its level and message.
struct LogLine {
    int level;
    std::string message;
};

class ApplicationTest : public ::testing::Test {
protected:
    // A configuration service naming lumora.ini, a device folder and an image folder of this
    // test, and a log file at level 8.
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        dir.write("zrconfig.ini",
                  "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=images\n"
                  "[Log]\nTarget=file:log.txt\nLevel=8\n");
        setenv("LUMORA_ZRCONFIG", dir.file("zrconfig.ini").c_str(), 1);
        setenv("LUMORA_REGISTRY", dir.file("registry.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("xdg").c_str(), 1);
    }

    std::string Ini() const { return dir.file("lumora.ini"); }

    // Runs the scenario in a child process that loads the library afresh.
    void InFreshProcess(const std::function<void(Lumora&)>& scenario) {
        std::fflush(nullptr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Lumora lumora;
            if (lumora.load()) scenario(lumora);
            std::fflush(nullptr);
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the scenario failed in its own process (see above), status " << status;
    }

    // The lines of the log file, in order. A line reads
    // "YYYY-MM-DD HH:MM:SS.mmm LEVEL LUMOR PID:TID MESSAGE".
    std::vector<LogLine> Log() const {
        std::vector<LogLine> lines;
        std::istringstream text(TempDir::read(dir.file("log.txt")));
        for (std::string s; std::getline(text, s);) {
            std::istringstream fields(s);
            std::string date, time, channel, ids;
            int level = 0;
            if (!(fields >> date >> time >> level >> channel >> ids) || channel != "LUMOR")
                continue;
            std::string message;
            std::getline(fields, message);
            if (!message.empty() && message[0] == ' ') message.erase(0, 1);
            lines.push_back({level, message});
        }
        return lines;
    }
    int Count(const std::string& message) const {
        int n = 0;
        for (const LogLine& l : Log()) n += l.message == message;
        return n;
    }

    TempDir dir;
};
