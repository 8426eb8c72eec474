// Locating the configuration file and counting and naming its parameter sets.
#include <string>

#include "config/config_file.h"
#include "config/service_fixture.h"

namespace {

class ConfigFileTest : public ServiceTest {
protected:
    void Load(const std::string& text) { ConfigIni.load(dir.write("lumora.ini", text).c_str()); }
};

TEST_F(ConfigFileTest, IniFileLoadsTheServicesFileAndLogs) {
    Service("Config=lumora.ini");
    dir.write("lumora.ini", "[Param_1]\nParamName=Intra\n");
    char path[CONFIG_PATH_MAX] = "garbage";
    EXPECT_EQ(IniFileName(path), 0);
    EXPECT_EQ(std::string(path), dir.file("lumora.ini"));
    EXPECT_EQ(CountParamSets(), 1);
    EXPECT_TRUE(Logged(5, "Get_IniFileName entry"));
    EXPECT_TRUE(Logged(5, "Ini_file entry"));
    EXPECT_TRUE(Logged(7, "Ini_file: loading " + dir.file("lumora.ini")));
    EXPECT_TRUE(Logged(5, "Get_IniFileName ret=0 " + dir.file("lumora.ini")));

    char current[CONFIG_PATH_MAX];
    EXPECT_EQ(CurrentIniFileName(current), 0);
    EXPECT_EQ(std::string(current), dir.file("lumora.ini"));
    EXPECT_TRUE(Logged(7, "\tIniFileName=" + dir.file("lumora.ini")));
}

TEST_F(ConfigFileTest, MissingFileOrServiceAnswer) {
    Service("Config=absent.ini");
    char path[CONFIG_PATH_MAX] = "garbage";
    EXPECT_EQ(Ini_file(path), -11);
    EXPECT_EQ(ConfigIni.getSize(), 0u);
    EXPECT_TRUE(Logged(3, "Unable to open ini file " + dir.file("absent.ini")));
    EXPECT_EQ(IniFileName(path), 1);
    EXPECT_EQ(std::string(path), "");
    EXPECT_TRUE(Logged(5, "Get_IniFileName ret=1 "));
    EXPECT_EQ(CountParamSets(), 0);
    char current[CONFIG_PATH_MAX];
    EXPECT_EQ(CurrentIniFileName(current), 1);

    Service("ImageDir=/img");
    EXPECT_EQ(Ini_file(nullptr), -11);
    EXPECT_TRUE(Logged(3, "Ini_file failed"));
}

TEST_F(ConfigFileTest, CountFollowsModelDemoModeAndGaps) {
    const std::string two = "[Param_1]\nParamName=Intra HR\n[Param_2]\nParamName=Pano\n";
    struct { std::string text; int count; } cases[] = {
        {"[Scanner]\nScannerType=calyxa\n" + two, 0},
        {"[Scanner]\nScannerType=Lumora\n" + two, 2},
        {two, 2},
        {"[Scanner]\nScannerType=CALYXA\n[calyxparam_1]\nparamname=a\n[CalyxParam_2]\nParamName=b\n", 2},
        {"[Interface]\nDemoMode=1\n[Demo_Param_1]\nParamName=Demo\n" + two, 1},
        {"[Scanner]\nScannerType=Calyxa\n[Interface]\nDemoMode=1\n[Demo_Param_1]\nParamName=Demo\n", 1},
        {two + "[Param_4]\nParamName=Ceph\n", 2},
        {"[Param_1]\nParamName=a\n[Param_2]\nPentaspd=4000\n[Param_3]\nParamName=c\n", 1},
        {"[Param_1]\nParamName=\n", 1},
        {"[Scanner]\nScannerType=Lumora\n", 0},
    };
    for (auto& c : cases) {
        Load(c.text);
        EXPECT_EQ(CountParamSets(), c.count) << c.text;
    }
}

TEST_F(ConfigFileTest, ParamNamesAndSectionNames) {
    Load("[Param_1]\nParamName = Intra-oral high resolution\n[Param_2]\nRes_X=25\n");
    char name[CONFIG_PATH_MAX] = "";
    EXPECT_EQ(ReadParamName(name, 1), 0);
    EXPECT_STREQ(name, "Intra-oral high resolution");
    EXPECT_NE(ReadParamName(name, 2), 0);
    EXPECT_NE(ReadParamName(name, 0), 0);

    char section[64];
    EXPECT_STREQ(ParamSectionName(section, 3), "Param_3");
    Load("[Scanner]\nScannerType=Calyxa\n");
    EXPECT_STREQ(ParamSectionName(section, 3), "CalyxParam_3");
    Load("[Scanner]\nScannerType=Calyxa\n[Interface]\nDemoMode=2\n");
    EXPECT_STREQ(ParamSectionName(section, 12), "Demo_Param_12");
}

}  // namespace
