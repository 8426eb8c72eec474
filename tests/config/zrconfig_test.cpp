// The configuration service plugin, reached through its wrapper as the driver reaches it.
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/service_fixture.h"
#include "config/zrconfigwr.h"

namespace {

class ZrconfigTest : public ServiceTest {
protected:
    int Dir(int selector, std::string& out) {
        char buf[ZRC_BUFFER];
        std::memset(buf, 'x', sizeof buf);
        int rc = ConfigService().ZRCGetDir(selector, buf, 0);
        out = buf;
        return rc;
    }
};

TEST_F(ZrconfigTest, AnswersEachSelectorRelativeToTheSettingsFolder) {
    dir.write("zrconfig.ini",
              "[Paths]\nConfig = lumora.ini ; the INI file\nDeviceDir=devices/\n"
              "ImageDir=/var/lib/lumora/images\nScriptDir=sub/scripts\n");
    zrconfigwr& service = ConfigService();
    char buf[ZRC_BUFFER];
    ASSERT_EQ(service.ZRCGetCfgPath(ZRC_CFG_INIFILE, buf, 0), 0);
    EXPECT_EQ(std::string(buf), dir.file("lumora.ini"));

    struct { int selector; std::string want; } cases[] = {
        {ZRC_DIR_DEVICES, dir.file("devices")},
        {ZRC_DIR_IMAGES, "/var/lib/lumora/images"},
        {ZRC_DIR_SCRIPTS, dir.file("sub/scripts")},
    };
    for (auto& c : cases) {
        std::string out;
        EXPECT_EQ(Dir(c.selector, out), 0) << c.selector;
        EXPECT_EQ(out, c.want) << c.selector;
    }
    std::string out;
    EXPECT_NE(Dir(3, out), 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(service.ZRCGetCfgPath(2, buf, 0), 0);
}

TEST_F(ZrconfigTest, MissingOrEmptyEntriesAnswerNonZero) {
    dir.write("zrconfig.ini", "[Paths]\nConfig=\nImageDir=   ; nothing\n[Log]\nTarget=stderr\n");
    std::string out;
    EXPECT_NE(Dir(ZRC_DIR_IMAGES, out), 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(Dir(ZRC_DIR_DEVICES, out), 0);
    EXPECT_NE(Dir(ZRC_DIR_SCRIPTS, out), 0);
    char buf[ZRC_BUFFER];
    EXPECT_NE(ConfigService().ZRCGetCfgPath(ZRC_CFG_INIFILE, buf, 0), 0);
    char target[ZRC_BUFFER], option[ZRC_BUFFER];
    int level = -1;
    EXPECT_NE(ConfigService().ZRCGetLogConfiguration(1, target, &level, option), 0)
        << "Level is missing";

    // A path longer than an answer is refused, not cut.
    dir.write("zrconfig.ini", "[Paths]\nImageDir=/" + std::string(1100, 'a') + "\n");
    EXPECT_NE(Dir(ZRC_DIR_IMAGES, out), 0);
    EXPECT_EQ(out, "");

    // No settings file at all.
    setenv("LUMORA_ZRCONFIG", dir.file("absent.ini").c_str(), 1);
    EXPECT_NE(Dir(ZRC_DIR_IMAGES, out), 0);
    EXPECT_NE(ConfigService().ZRCGetLogConfiguration(1, target, &level, option), 0);
}

TEST_F(ZrconfigTest, LogConfiguration) {
    struct { std::string log; int rc; std::string target; int level; std::string option; } cases[] = {
        {"Target=file:logs/lumora.log\nLevel=6\nOption=x", 0, "file:" + dir.file("logs/lumora.log"), 6, "x"},
        {"Target=file:/var/log/l.log\nLevel=3", 0, "file:/var/log/l.log", 3, ""},
        {"Target=udp://127.0.0.1:7447\nLevel= 8 ", 0, "udp://127.0.0.1:7447", 8, ""},
        {"Target=stderr\nLevel=verbose", 1, "", 0, ""},
        {"Level=5", 1, "", 0, ""},
    };
    for (auto& c : cases) {
        dir.write("zrconfig.ini", "[Log]\n" + c.log + "\n");
        char target[ZRC_BUFFER] = "old", option[ZRC_BUFFER] = "old";
        int level = -1;
        int rc = ConfigService().ZRCGetLogConfiguration(1, target, &level, option);
        EXPECT_EQ(rc != 0, c.rc != 0) << c.log;
        if (rc == 0) {
            EXPECT_EQ(std::string(target), c.target);
            EXPECT_EQ(level, c.level);
            EXPECT_EQ(std::string(option), c.option);
        }
    }
}

TEST_F(ZrconfigTest, FallsBackToXdgConfigHome) {
    unsetenv("LUMORA_ZRCONFIG");
    dir.write("xdg/lumora/zrconfig.ini", "[Paths]\nImageDir=img\n");
    std::string out;
    EXPECT_EQ(Dir(ZRC_DIR_IMAGES, out), 0);
    EXPECT_EQ(out, dir.file("xdg/lumora/img"));
}

TEST_F(ZrconfigTest, VersionAndUnusedFunctions) {
    zrconfigwr fresh;  // loads the plugin again, as the second process object does
    std::string version = fresh.ZRCGetVersion();
    EXPECT_NE(version, "zrconfig.dll not available");
    EXPECT_NE(version, "");
    EXPECT_STREQ(fresh.ZRCGetNamePart(), "");
    EXPECT_EQ(fresh.ZRCIndex2DeviceType(0), -1);
    EXPECT_EQ(fresh.ZRCGetDeviceTypeCount(), -1);
    EXPECT_EQ(fresh.ZRCGetDeviceTypeDesc(0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(fresh.ZRCReplaceTemplateWithCurrentChild(0), -1);
    EXPECT_EQ(fresh.ZRCDeleteChildren(0), -1);
    EXPECT_EQ(fresh.ZRCGetMethodIni(0, 0, 0), -1);
}

TEST_F(ZrconfigTest, MissingFunctionsAnswerWithoutACall) {
    const char* built = std::getenv("LUMORA_LIBDIR");
    const std::string libdir = built ? built : "";
    setenv("LUMORA_LIBDIR", LUMORA_PARTIAL_ZRCONFIG_DIR, 1);
    zrconfigwr partial;  // offers ZRCInit and ZRCGetDir only
    setenv("LUMORA_LIBDIR", libdir.c_str(), 1);

    EXPECT_STREQ(partial.ZRCGetVersion(), "zrconfig.dll not available");
    EXPECT_STREQ(partial.ZRCGetNamePart(), "");
    char path[ZRC_BUFFER] = "untouched";
    char option[ZRC_BUFFER] = "untouched";
    int level = -1;
    EXPECT_EQ(partial.ZRCGetCfgPath(ZRC_CFG_INIFILE, path, 0), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCGetLogConfiguration(ZRC_LOG_CHANNEL, path, &level, option), ZRC_MISSING);
    EXPECT_STREQ(path, "untouched");
    EXPECT_STREQ(option, "untouched");
    EXPECT_EQ(level, -1);
    EXPECT_EQ(partial.ZRCIndex2DeviceType(0), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCGetDeviceTypeCount(), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCGetDeviceTypeDesc(0, 0, 0, 0, 0, 0), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCReplaceTemplateWithCurrentChild(0), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCDeleteChildren(0), ZRC_MISSING);
    EXPECT_EQ(partial.ZRCGetMethodIni(0, 0, 0), ZRC_MISSING);
    // What is there is called, after exactly one ZRCInit.
    EXPECT_EQ(partial.ZRCGetDir(ZRC_DIR_IMAGES, path, 0), 0);
    EXPECT_STREQ(path, "/partial/4/1");
}

}  // namespace
