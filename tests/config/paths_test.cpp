// Image directory, temporary file, image numbers, image deletion, script path, PROM texts.
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "config/config_file.h"
#include "config/paths.h"
#include "config/service_fixture.h"

namespace {

class PathsTest : public ServiceTest {
protected:
    void Config(const std::string& text) { ConfigIni.load(dir.write("lumora.ini", text).c_str()); }
    std::string Pid() const { return std::to_string(getpid()); }
};

TEST_F(PathsTest, ImagePathPrefersTheServiceOverTheIniKey) {
    Service("ImageDir=/img");
    Config("[Scanner]\nImagePath=/from/ini\n");
    char out[260];
    EXPECT_EQ(GetImagePath(out, sizeof out), 0);
    EXPECT_STREQ(out, "/img");
    EXPECT_TRUE(Logged(6, "GetImagePath return 0 path /img size 260"));

    Service("DeviceDir=/dev");
    EXPECT_EQ(GetImagePath(out, sizeof out), 0);
    EXPECT_STREQ(out, "/from/ini");

    Config("[Scanner]\nTempFile=x.tmp\n");
    EXPECT_NE(GetImagePath(out, sizeof out), 0);
    EXPECT_TRUE(Logged(3, "GetImagePath return 1"));
}

// A folder longer than the service's answer buffer is refused, not swapped for the key.
TEST_F(PathsTest, ImageFolderTooLongForTheServiceIsRefused) {
    Service("ImageDir=/" + std::string(1100, 'd'));
    Config("[Scanner]\nImagePath=/from/ini\nTempFile=Lumora.tmp\n");
    char out[2048] = "x";
    EXPECT_EQ(GetImagePath(out, sizeof out), -6);
    EXPECT_STREQ(out, "x");
    EXPECT_EQ(GetTempFile(out, sizeof out), -6);
    EXPECT_STREQ(out, "x");
    EXPECT_TRUE(Logged(3, "image folder of the configuration service longer than 1023 characters"));
    EXPECT_TRUE(Logged(3, "GetImagePath return -6"));
    EXPECT_TRUE(Logged(3, "GetTempFile return -6"));
}

TEST_F(PathsTest, ImagePathBadArgumentsAndSmallBuffers) {
    Service("ImageDir=/images/of/the/clinic");
    Config("[Scanner]\nTempFile=Lumora.tmp\n");
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(GetImagePath(nullptr, 260), -2);
    EXPECT_EQ(GetImagePath(out, 0), -2);
    EXPECT_EQ(GetImagePath(out, sizeof out), -2);  // no cut path is handed out
    EXPECT_EQ(GetTempFile(nullptr, 260), -2);
    EXPECT_EQ(GetTempFile(out, 0), -2);
    EXPECT_EQ(GetTempFile(out, sizeof out), -2);
    EXPECT_TRUE(Logged(3, "GetTempFile return -2"));
}

TEST_F(PathsTest, TempFileNames) {
    struct { std::string service, tempFile, want; int rc; } cases[] = {
        {"ImageDir=/img", "Lumora.tmp", "/img/Lumora-" + Pid() + ".tmp", 0},
        {"ImageDir=/img", "/tmp/scan.dat", "/tmp/scan-" + Pid() + ".tmp", 0},
        {"ImageDir=/img.d", "raw", "/img.d/raw-" + Pid() + ".tmp", 0},
        {"DeviceDir=/dev", "scan.dat", "scan-" + Pid() + ".tmp", 0},
    };
    for (auto& c : cases) {
        Service(c.service);
        Config("[Scanner]\nTempFile=" + c.tempFile + "\n");
        char out[260] = "";
        EXPECT_EQ(GetTempFile(out, sizeof out), c.rc) << c.tempFile;
        EXPECT_EQ(std::string(out), c.want) << c.tempFile;
    }
    EXPECT_TRUE(Logged(6, "GetTempFile return 0 path /img/Lumora-" + Pid() + ".tmp size 260"));

    // TempFile missing or empty: the default name takes effect, with a warning.
    for (const char* config : {"[Scanner]\n", "[Scanner]\nTempFile=\n"}) {
        Service("ImageDir=/img");
        Config(config);
        char out[260] = "";
        EXPECT_EQ(GetTempFile(out, sizeof out), 0) << config;
        EXPECT_EQ(std::string(out), "/img/Lumora-" + Pid() + ".tmp") << config;
    }
    EXPECT_TRUE(Logged(4, "no key TempFile in section Scanner, using Lumora.tmp"));
    EXPECT_FALSE(Logged(3, "GetTempFile return 1"));
}

TEST_F(PathsTest, HighestImageNumber) {
    std::string images = dir.file("images");
    for (const char* name : {"LM000007.XYZ", "LM000012.txt", "LMnotes.doc", "lm000099.xyz",
                             "XLM000050.XYZ"})
        dir.write(std::string("images/") + name, "x");
    EXPECT_EQ(GetHighestImageNumber(images.c_str()), 12);
    EXPECT_EQ(GetHighestImageNumber((images + "/").c_str()), 12);
    std::filesystem::create_directory(dir.file("empty"));
    EXPECT_EQ(GetHighestImageNumber(dir.file("empty").c_str()), 0);
    EXPECT_EQ(GetHighestImageNumber(dir.file("missing").c_str()), 0);
    EXPECT_EQ(GetHighestImageNumber(nullptr), 0);
}

TEST_F(PathsTest, DeleteImageWithCompanion) {
    std::string image = dir.write("LM000001.XYZ", "img");
    dir.write("LM000001.txt", "info");
    EXPECT_EQ(DeleteImageFiles(image.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_FALSE(std::filesystem::exists(dir.file("LM000001.txt")));

    image = dir.write("LM000002.XYZ", "img");
    EXPECT_NE(DeleteImageFiles(image.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(image));

    dir.write("ab", "x");
    EXPECT_NE(DeleteImageFiles("ab"), 0);
    EXPECT_NE(DeleteImageFiles(""), 0);
    EXPECT_NE(DeleteImageFiles(nullptr), 0);
}

TEST_F(PathsTest, ScriptPathFromServiceRegistryOrName) {
    dir.write("registry.ini",
              "[HKEY_LOCAL_MACHINE\\Software\\Halvorn\\scripts]\nScriptDir=/opt/scripts\n");
    char out[1024];
    Service("ScriptDir=/srv/scripts");
    BuildScriptPath(out, "intra.ops");
    EXPECT_STREQ(out, "/srv/scripts/intra.ops");

    Service("ImageDir=/img");
    BuildScriptPath(out, "intra.ops");
    EXPECT_STREQ(out, "/opt/scripts/intra.ops");

    std::filesystem::remove(dir.file("registry.ini"));
    BuildScriptPath(out, "intra.ops");
    EXPECT_STREQ(out, "intra.ops");

    std::strcpy(out, "unchanged");
    BuildScriptPath(out, "");
    EXPECT_STREQ(out, "unchanged");

    std::string longName(1100, 'n');
    BuildScriptPath(out, longName.c_str());
    EXPECT_STREQ(out, "");
}

TEST(Paths, DateNumberIsTodayAsDecimalDigits) {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char want[16];
    strftime(want, sizeof want, "%Y%m%d", &local);
    EXPECT_EQ(std::to_string(GetDateNumber()), want);  // may race midnight once in a lifetime
}

TEST(Paths, PromTextsStopAtZeroAndFF) {
    const char ab[] = {'A', 'B', char(0xFF), 'C'};
    EXPECT_STREQ(PromText(ab, 4), "AB");
    const char zero[] = {'S', 'N', 0, '1'};
    EXPECT_STREQ(PromText(zero, 4), "SN");
    EXPECT_STREQ(PromText("ABCDEF", 3), "ABC");
    EXPECT_STREQ(PromText("ABC", 0), "");

    unsigned char prom[256];
    std::memset(prom, 'x', sizeof prom);
    std::memcpy(prom + 16, "LUM-0815\xff", 9);
    EXPECT_STREQ(PromTextAt(prom, 16, 20), "LUM-0815");
    EXPECT_EQ(std::strlen(PromTextAt(prom, 250, 200)), 6u);  // ends with the PROM image
}

}  // namespace
