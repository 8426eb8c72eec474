// The example configuration is complete and consistent: every key the driver reads is there,
// the parameter sets count for each model, and every filter section passes its check value.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/config_file.h"
#include "config/zrconfigwr.h"

namespace {

const std::string kExamples = LUMORA_SOURCE_DIR "/examples";

class ExamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_ZRCONFIG", (kExamples + "/zrconfig.ini").c_str(), 1);
        char path[CONFIG_PATH_MAX];
        ASSERT_EQ(Ini_file(path), 0);
        ASSERT_EQ(std::string(path), kExamples + "/lumora.ini");
    }
    void TearDown() override { unsetenv("LUMORA_ZRCONFIG"); }

    static bool Has(const char* section, const char* key) {
        char value[1024];
        return ConfigIni.get(section, key, value, nullptr) == 0;
    }
    static std::string Text(const char* section, const char* key) {
        char value[1024];
        ConfigIni.get(section, key, value, "");
        return value;
    }
    static long Number(const char* section, const char* key) {
        long value = 0;
        ConfigIni.get(section, key, &value, 0);
        return value;
    }
};

TEST_F(ExamplesTest, ServiceNamesTheExampleFolders) {
    char dir[ZRC_BUFFER];
    ASSERT_EQ(ConfigService().ZRCGetDir(ZRC_DIR_IMAGES, dir, 0), 0);
    EXPECT_EQ(std::string(dir), kExamples + "/images");
    ASSERT_EQ(ConfigService().ZRCGetDir(ZRC_DIR_DEVICES, dir, 0), 0);
    EXPECT_EQ(std::string(dir), kExamples + "/devices");
    ASSERT_EQ(ConfigService().ZRCGetDir(ZRC_DIR_SCRIPTS, dir, 0), 0);
    EXPECT_EQ(std::string(dir), kExamples + "/scripts");
    char target[ZRC_BUFFER], option[ZRC_BUFFER];
    int level = 0;
    ASSERT_EQ(ConfigService().ZRCGetLogConfiguration(1, target, &level, option), 0);
    EXPECT_EQ(std::string(target), "file:" + kExamples + "/lumora.log");
}

TEST_F(ExamplesTest, EveryKeyIsPresent) {
    for (const char* key :
         {"ScannerType", "Firmware", "FirmwareUSB", "FirmwareCalyx", "ImagePath", "TempFile",
          "ImageWriteMode", "CheckTempImage", "CheckFIFO", "HalteFPGA", "FPGABootOnce",
          "ScannerAutodetect", "SerialNumber", "Kalibrierdaten", "LampCheckDate", "IgnorePROM",
          "SMotStep", "Abtastkreis", "Abst_A", "Abst_B", "LaserTempMax", "LaserTempWarn",
          "ScanRange", "SOLPos", "Slots", "Scale16Bit", "CheckLightlevel", "DefPixelValue",
          "MWindow_X", "MWindow_Y", "ImgTypesLock", "LampMaxCycle", "BeamDeflectorTimeout",
          "MinBild", "MaxImageRatio"})
        EXPECT_TRUE(Has("Scanner", key)) << key;
    for (const char* key : {"Network", "Server", "Type", "Retry", "DemoMode"})
        EXPECT_TRUE(Has("Interface", key)) << key;

    const char* sets[] = {"Param_1", "Param_2", "Param_3", "Param_4", "Param_5",
                          "CalyxParam_1", "CalyxParam_2", "CalyxParam_3",
                          "Demo_Param_1", "Demo_Param_2"};
    for (const char* set : sets) {
        for (const char* key :
             {"ParamName", "Pentaspd", "Res_X", "Res_Y", "Binning", "Interpolate_Y",
              "Schwellwert", "Laser", "PMT_HV", "Rotation", "Scale", "Mirror", "DeFlash",
              "ImgTypes", "Script", "Range", "LampOnTime", "EraseEnable"})
            EXPECT_TRUE(Has(set, key)) << set << " " << key;
        EXPECT_GE(Number(set, "Pentaspd"), 1000) << set;
    }
    for (const char* set : {"Demo_Param_1", "Demo_Param_2"}) {
        EXPECT_TRUE(Has(set, "DemoImage")) << set;
        EXPECT_TRUE(Has(set, "FastDemo")) << set;
    }
    for (const char* type : {"Intra", "Extra", "Pano", "Ceph"}) {
        EXPECT_TRUE(Has(type, "StoreMode")) << type;
        EXPECT_FALSE(Text(type, "Script").empty()) << type;
    }
}

TEST_F(ExamplesTest, ParameterSetsOfEachModelAndDemoMode) {
    EXPECT_EQ(CountParamSets(), 5);
    ConfigIni.set("Scanner", "ScannerType", "Calyxa");  // in memory only
    EXPECT_EQ(CountParamSets(), 3);
    ConfigIni.set("Interface", "DemoMode", 1L);
    EXPECT_EQ(CountParamSets(), 2);
}

TEST_F(ExamplesTest, FilterSectionsPassTheirCheckValue) {
    auto sum = [](const std::string& s) {
        uint32_t v = 0;
        for (char c : s) v += uint32_t(int32_t(int8_t(c)));
        return v;
    };
    for (const char* type : {"IntraStd", "ExtraStd", "PanoStd", "CephStd"}) {
        long n = Number(type, "Filter");
        ASSERT_GT(n, 0) << type;
        std::string section = "Filter_#" + std::to_string(n);
        const char* s = section.c_str();
        ASSERT_TRUE(Has(s, "AutoGrayParam")) << s;
        uint32_t check = (uint32_t(Number(s, "AutoGrayHigh")) ^ 0x12345678u) +
                         (uint32_t(Number(s, "AutoGrayType")) ^ 0x32Fu) +
                         (uint32_t(Number(s, "AutoGrayLow")) ^ 0x42u) +
                         sum(Text(s, "Filtertype1")) + sum(Text(s, "Filtertype2"));
        EXPECT_EQ(int32_t(check), int32_t(Number(s, "AutoGrayParam"))) << s;
    }
}

}  // namespace
