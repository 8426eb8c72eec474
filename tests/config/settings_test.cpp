// Get_Konfigpara: defaults, key rules, the IDPROM decision and realistic parameter sets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "config/get_konfigpara.h"
#include "config/scanner_settings.h"
#include "config/service_fixture.h"
#include "devicelink/prom_layout.h"
#include "platform/ini2.h"

namespace {

uint8_t IdpromImage[IDPROM_SIZE];

// A plausible IDPROM settings block (type 7, intra and extra plates).
void GoodIdprom(uint16_t features = 3) {
    std::memset(IdpromImage, 0xFF, sizeof IdpromImage);
    auto word = [](int offset, uint16_t v) {
        IdpromImage[offset] = uint8_t(v);
        IdpromImage[offset + 1] = uint8_t(v >> 8);
    };
    word(idprom::TYPE_ID, 7);
    word(idprom::FEATURES, features);
    word(idprom::REFLECTOR, 1273);
    word(idprom::SMOT_STEP, 625);
    IdpromImage[idprom::DIST_A] = 20;
    IdpromImage[idprom::DIST_B] = 68;
    IdpromImage[idprom::SOL_POS] = 30;
    IdpromImage[idprom::SCAN_RANGE] = 200;
    IdpromImage[idprom::LASER_ERR_TEMP] = 55;
    IdpromImage[idprom::LASER_WARN_TEMP] = 48;
    IdpromImage[idprom::SLOT_MASK] = 0x4F;
    IdpromImage[idprom::LASER_POWER] = 10;
}

class SettingsTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        Service("DeviceDir=devices\nScriptDir=scripts");
        dir.write("log.txt", "");
        std::memset(IdpromImage, 0xFF, sizeof IdpromImage);  // blank PROM: both plate kinds
    }
    // Runs Get_Konfigpara on the INI text; the results land in s, d, f and out.
    int Load(const std::string& ini, int set) {
        dir.write("log.txt", "");
        const std::string path = dir.write("lumora.ini", ini);
        config.load(path.c_str());
        KonfigInput in;
        in.config = &config;
        in.idprom = IdpromImage;
        in.secondModel = secondModel;
        in.demo = demo;
        in.promPmtVolts = promPmtVolts;
        out = KonfigOutput{};
        out.settings = &s;
        out.device = &d;
        out.filter = &f;
        return Get_Konfigpara(in, &out, set);
    }
    ini2 config;
    bool secondModel = false;
    bool demo = false;
    int32_t promPmtVolts = -1;
    ScannerSettings s{};
    DeviceRecord d{};
    FilterValues f = DEFAULT_FILTER_VALUES;
    KonfigOutput out;
};

TEST_F(SettingsTest, NoIniValuesAtAll) {
    ASSERT_EQ(Load("", 0), 0);
    EXPECT_EQ(s.Penta, 4000);
    EXPECT_EQ(s.Binning, 1);
    EXPECT_EQ(s.OvsFactor, 1);
    EXPECT_EQ(s.Interpolate_Y, 1);
    EXPECT_EQ(s.PMT_HV, 600);
    EXPECT_EQ(s.Scale, 1.0f);
    EXPECT_EQ(s.DeFlash, 5000);
    EXPECT_EQ(s.Laser, 8);
    EXPECT_EQ(s.MWindow_X, 80);
    EXPECT_EQ(s.MWindow_Y, 80);
    EXPECT_EQ(s.RangeLo, 0);
    EXPECT_EQ(s.RangeUp, 0);
    EXPECT_EQ(s.RangeHtyp, 255);
    EXPECT_EQ(s.LampOnTime, 12);
    EXPECT_EQ(s.EraseEnable, 1);
    EXPECT_EQ(s.LampMaxCycle, 40000);
    EXPECT_EQ(s.PentaPrismStandby, 0);
    EXPECT_EQ(s.LaserTempMax, 50);
    EXPECT_EQ(s.LaserTempWarn, 45);
    EXPECT_EQ(s.CheckLightlevel, 1);
    EXPECT_EQ(s.SMotReverse, 0);
    EXPECT_EQ(s.ImgTypeMask, 0xCF);
    EXPECT_STREQ(s.TypeScript, "");
    EXPECT_STREQ(s.ParamScript, "");
    EXPECT_EQ(d.SlotMask, 15);
    EXPECT_EQ(d.MaxImageRatio, 4.0);
    EXPECT_EQ(d.ImageType, 0);
    EXPECT_EQ(d.PixScale, 1.0);
    EXPECT_EQ(out.paramSetNumber, 0);
    EXPECT_EQ(f.AutoGrayType, -1);
    EXPECT_EQ(f.AutoGrayParam, 305419146);
    EXPECT_EQ(FilterSettingsCheckValue(f), 305419146u);
    // The default scan circle gives no oversampling at all: the guards keep the numbers finite.
    EXPECT_EQ(s.ADC_Ovs, 0);
    EXPECT_EQ(d.MaxPixVal, 0);
    EXPECT_EQ(out.minImagePixels, 0);
    for (const char* line : {"IDPROM settings disabled by INI", "ImgTypes lock disabled by Inifile",
                             "Erase Feature enabled", "PentaPrismStandby false"})
        EXPECT_TRUE(Logged(5, line)) << line;
    EXPECT_TRUE(Logged(4, "no value for PMT-HV, using default voltage= 600V"));

    secondModel = true;
    ASSERT_EQ(Load("[Scanner]\nBeamDeflectorTimeout=0\n", 0), 0);
    EXPECT_EQ(s.Penta, 6300);
    EXPECT_EQ(d.BleachingFeature, 1);
    EXPECT_TRUE(Logged(5, "EraseLampeTime = 12s"));
    EXPECT_TRUE(Logged(5, "PentaPrismStandby true"));
}

TEST_F(SettingsTest, KeyRules) {
    const std::string scanner = "[Scanner]\nAbtastkreis=0.1\n";
    struct Case {
        const char* set;
        int adc, binning, ovs, penta;
        float scale;
    } cases[] = {
        {"Res_X=167.55", 20, 2, 2, 4000, 1.0f},  // ADC_Ovs 40 halved
        {"Res_X=134.04", 32, 1, 1, 4000, 1.0f},  // exactly 32 kept
        {"Binning=5", 12, 2, 1, 4000, 1.0f},
        {"Binning=0", 12, 1, 1, 4000, 1.0f},
        {"Binning=-3", 12, 1, 1, 4000, 1.0f},
        {"Binning=2147483647", 12, 2, 1, 4000, 1.0f},
        {"Pentaspd=500", 24, 2, 2, 1000, 1.0f},  // 50 * 300 / (1000 * 0.1 * pi) = 47.7, halved
        {"Scale=0.5", 12, 1, 1, 4000, 2.0f},
        {"Scale=0.005", 12, 1, 1, 4000, 1.0f},
        {"Scale=25", 12, 1, 1, 4000, 10.0f},
        {"Scale=0.05", 12, 1, 1, 4000, 10.0f},
        {"Scale=0.01", 12, 1, 1, 4000, 1.0f},  // single-precision 0.01 lies below the limit
        {"Scale=0.0101", 12, 1, 1, 4000, 10.0f},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(scanner + "[Param_0]\n" + c.set + "\n", 0), 0) << c.set;
        EXPECT_EQ(s.ADC_Ovs, c.adc) << c.set;
        EXPECT_EQ(s.Binning, c.binning) << c.set;
        EXPECT_EQ(s.OvsFactor, c.ovs) << c.set;
        EXPECT_EQ(s.Penta, c.penta) << c.set;
        EXPECT_EQ(s.Scale, c.scale) << c.set;
    }
}

TEST_F(SettingsTest, Scale16Bit) {
    ASSERT_EQ(Load("[Scanner]\nAbtastkreis=0.1\nScale16Bit=1\n", 0), 0);
    EXPECT_EQ(d.MaxPixVal, 65535);
    EXPECT_DOUBLE_EQ(d.PixScale, 65535.0 / (12 * 4095));
    // No oversampling (white level 0): the factor stays 1 instead of dividing by zero.
    ASSERT_EQ(Load("[Scanner]\nScale16Bit=1\n", 0), 0);
    EXPECT_EQ(d.MaxPixVal, 65535);
    EXPECT_EQ(d.PixScale, 1.0);
    // Demo mode never scales.
    demo = true;
    ASSERT_EQ(Load("[Scanner]\nAbtastkreis=0.1\nScale16Bit=1\n", 0), 0);
    EXPECT_EQ(d.MaxPixVal, 12 * 4095);
    EXPECT_EQ(d.PixScale, 1.0);
}

TEST_F(SettingsTest, RangeParsing) {
    struct Case {
        const char* text;
        int lo, up, htyp;
    } cases[] = {
        {"lo=0x10,up=200", 16, 200, 255},
        {"HTYP=2 Lo=-5", -5, 0, 2},
        {"up=010,lo=3,up=9", 3, 8, 255},
        {"", 0, 0, 255},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(std::string("[Param_0]\nRange=") + c.text + "\n", 0), 0);
        EXPECT_EQ(s.RangeLo, c.lo) << c.text;
        EXPECT_EQ(s.RangeUp, c.up) << c.text;
        EXPECT_EQ(s.RangeHtyp, c.htyp) << c.text;
    }
}

TEST_F(SettingsTest, ScanRangeLimitsApplyToTheIniOnly) {
    const std::string base = "[Scanner]\nAbtastkreis=0.1\n";
    EXPECT_EQ(Load(base + "ScanRange=5\n", 0), 0);
    EXPECT_EQ(s.Anz_Pix, 347);  // 10 degrees at ADC_Ovs 12
    EXPECT_EQ(Load(base + "ScanRange=300\n", 0), 0);
    EXPECT_EQ(s.Anz_Pix, 9375);  // 270 degrees
    GoodIdprom();
    IdpromImage[idprom::REFLECTOR] = 0xE8;  // 1000: scan circle 0.1
    IdpromImage[idprom::REFLECTOR + 1] = 0x03;
    IdpromImage[idprom::SCAN_RANGE] = 5;
    EXPECT_EQ(Load(base, 1), 0);
    EXPECT_EQ(s.Anz_Pix, 174);  // 5 degrees
}

TEST_F(SettingsTest, PlateKindsAndTheLock) {
    struct Case {
        const char* name;
        uint16_t features;
        const char* ini;
        int result;
        uint8_t mask;
    } cases[] = {
        {"lock, Pano, intra feature only", 1, "[Scanner]\nImgTypesLock=1\n[Param_1]\nImgTypes=Pano\n", -9, 0x5A},
        {"lock, Intra", 3, "[Scanner]\nImgTypesLock=1\n[Param_1]\nImgTypes=intra\n", 0, 0x4F},
        {"lock, Ceph", 3, "[Scanner]\nImgTypesLock=1\n[Param_1]\nImgTypes=CEPH\n", 0, 0x8F},
        {"lock, no type", 3, "[Scanner]\nImgTypesLock=1\n", 0, 0xCF},
        {"no lock", 2, "[Param_1]\nImgTypes=Intra\n", 0, 0x8F},
        {"no features", 0, "", -9, 0x5A},
    };
    for (const Case& c : cases) {
        GoodIdprom(c.features);
        s.ImgTypeMask = 0x5A;
        s.LampOnTime = 99;
        EXPECT_EQ(Load(c.ini, 1), c.result) << c.name;
        EXPECT_EQ(s.ImgTypeMask, c.mask) << c.name;
        EXPECT_EQ(s.LampOnTime, c.result == 0 ? 12 : 99) << c.name;
    }
    EXPECT_TRUE(Logged(5, "ImgTypes lock disabled by Inifile"));
}

TEST_F(SettingsTest, SetValuesWinOverTheScannerSection) {
    const std::string scanner = "[Scanner]\nAbtastkreis=0.1\nMinBild=100\nMaxImageRatio=3\n";
    ASSERT_EQ(Load(scanner, 0), 0);
    EXPECT_EQ(d.MaxImageRatio, 3.0);
    const int32_t fromScanner = out.minImagePixels;
    EXPECT_EQ(fromScanner, int32_t(100e-6 / (d.PixelSizeY * d.PixelSizeX)));
    EXPECT_GT(fromScanner, 0);
    ASSERT_EQ(Load(scanner + "[Param_0]\nMinBild=50\nMaxImageRatio=2.5\n", 0), 0);
    EXPECT_EQ(d.MaxImageRatio, 2.5);
    EXPECT_EQ(out.minImagePixels, int32_t(50e-6 / (d.PixelSizeY * d.PixelSizeX)));
}

TEST_F(SettingsTest, ReasonsToIgnoreTheIdprom) {
    struct Case {
        const char* name;
        int offset, value, set;
        const char* ini;
        const char* message;
    } cases[] = {
        {"set 0", -1, 0, 0, "", "IDPROM settings disabled by INI"},
        {"IgnorePROM", -1, 0, 1, "[Scanner]\nIgnorePROM=1\n", "IDPROM settings disabled by INI"},
        {"motor step 0", idprom::SMOT_STEP, 0x0000, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"motor step FFFF", idprom::SMOT_STEP, 0xFFFF, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"SOLPos 0", idprom::SOL_POS, 0x00, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"SOLPos FF", idprom::SOL_POS, 0xFF, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"ScanRange 0", idprom::SCAN_RANGE, 0x00, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"ScanRange FF", idprom::SCAN_RANGE, 0xFF, 1, "", "IDPROM settings disabled by incorrect IDProm settings"},
        {"trusted", -1, 0, 1, "", "using IDPROM settings for this device. Type ID=7"},
    };
    for (const Case& c : cases) {
        GoodIdprom();
        if (c.offset == idprom::SMOT_STEP) {
            IdpromImage[c.offset] = uint8_t(c.value);
            IdpromImage[c.offset + 1] = uint8_t(c.value >> 8);
        } else if (c.offset >= 0) {
            IdpromImage[c.offset] = uint8_t(c.value);
        }
        ASSERT_EQ(Load(c.ini, c.set), 0) << c.name;
        EXPECT_TRUE(Logged(5, c.message)) << c.name;
        const bool trusted = std::string(c.name) == "trusted";
        EXPECT_EQ(s.LaserTempMax, trusted ? 55 : 50) << c.name;
        EXPECT_EQ(s.SMotReverse, trusted ? 1 : 0) << c.name;
        EXPECT_EQ(d.SlotMask, trusted ? 0x0F : 15) << c.name;
        // Features and identity come from the IDPROM either way.
        EXPECT_EQ(d.DeviceTypeId, 7) << c.name;
        EXPECT_EQ(d.LaserEmissionPower, 10) << c.name;
    }
    // A negative motor step in the INI reverses the motor.
    ASSERT_EQ(Load("[Scanner]\nSMotStep=-1e-6\n", 0), 0);
    EXPECT_EQ(s.SMotReverse, 1);
}

TEST_F(SettingsTest, PmtHighVoltageFromTheExtraOralDevice) {
    struct Case {
        int32_t hv;  // -1: the PROM could not be read
        const char* type;
        int expected;
    } cases[] = {
        {870, "Extra", 870},   {100, "Extra", 100},  {1200, "Extra", 1200}, {1201, "Extra", 1200},
        {1250, "Extra", 1200}, {1251, "Extra", 700}, {99, "Extra", 700},    {-1, "Extra", 700},
        {870, "Intra", 700},
    };
    for (const Case& c : cases) {
        dir.write("log.txt", "");
        promPmtVolts = c.hv;
        ASSERT_EQ(Load(std::string("[Param_0]\nPMT_HV=700\nImgTypes=") + c.type + "\n", 0), 0);
        EXPECT_EQ(s.PMT_HV, c.expected) << c.hv << " " << c.type;
        const bool fromProm = c.expected != 700;
        const std::string line =
            "getting PMT-HV out of EEPROM instead of Ini-file: using " + std::to_string(c.hv) + "V";
        EXPECT_EQ(Logged(5, line), fromProm) << c.hv;
        // The hardware takes at most 1200 V: more is clamped with a warning.
        const std::string clamp = "PMT-HV of " + std::to_string(c.hv) +
                                  "V from EEPROM above the limit of the hardware, using 1200V";
        EXPECT_EQ(Logged(4, clamp), fromProm && c.hv > 1200) << c.hv;
    }
}

TEST_F(SettingsTest, ScriptsFiltersAndTypeSections) {
    const std::string ini =
        "[Param_0]\nImgTypes=Pano\nScript=set.imo\n"
        "[Extra]\nStoreMode=3\nScript=extra.imo\n"
        "[Pano]\nStoreMode=2\n"
        "[PanoStd]\nFilter=2\n"
        "[Filter_#2]\nFiltertype1=ab\nFiltertype2=\xC3\xA9\nAutoGrayLow=5\nAutoGrayHigh=7\n"
        "AutoGrayType=1\nAutoGrayParam=12\n";
    ASSERT_EQ(Load(ini, 0), 0);
    EXPECT_EQ(s.StoreMode, 2);
    EXPECT_EQ(std::string(s.TypeScript), dir.path() + "/scripts/extra.imo");
    EXPECT_EQ(std::string(s.ParamScript), dir.path() + "/scripts/set.imo");
    EXPECT_STREQ(f.Filtertype1, "ab");
    EXPECT_EQ(f.AutoGrayLow, 5);
    EXPECT_EQ(f.AutoGrayHigh, 7);
    EXPECT_EQ(f.AutoGrayType, 1);
    EXPECT_EQ(f.AutoGrayParam, 12);
    // (7 ^ 0x12345678) + (1 ^ 0x32F) + (5 ^ 0x42) + 'a' + 'b' + (int8)0xC3 + (int8)0xA9
    const uint32_t expected = (7u ^ 0x12345678u) + (1u ^ 0x32Fu) + (5u ^ 0x42u) + 97u + 98u +
                              uint32_t(-61) + uint32_t(-87);
    EXPECT_EQ(FilterSettingsCheckValue(f), expected);

    // A parameter set without scripts clears the previous paths.
    ASSERT_EQ(Load("[Param_0]\nImgTypes=Intra\n", 0), 0);
    EXPECT_STREQ(s.TypeScript, "");
    EXPECT_STREQ(s.ParamScript, "");
    EXPECT_EQ(s.StoreMode, 0);
}

TEST_F(SettingsTest, DemoMode) {
    demo = true;
    ASSERT_EQ(Load("[Demo_Param_1]\nFastDemo=1\nPMT_HV=650\n[Param_1]\nPMT_HV=700\n", 1), 0);
    EXPECT_TRUE(out.fastDemo);
    EXPECT_EQ(s.PMT_HV, 650);  // the demo set, not the plain one
    EXPECT_STREQ(out.demoImage, "Demo.XYZ");
    EXPECT_TRUE(Logged(5, "FastDemo enabled"));

    ASSERT_EQ(Load("[Demo_Param_1]\nDemoImage=ramp.XYZ\n", 1), 0);
    EXPECT_FALSE(out.fastDemo);
    EXPECT_STREQ(out.demoImage, "ramp.XYZ");

    // Without demo mode FastDemo and the demo image mean nothing.
    demo = false;
    ASSERT_EQ(Load("[Param_1]\nFastDemo=1\nDemoImage=ramp.XYZ\n", 1), 0);
    EXPECT_FALSE(out.fastDemo);
    EXPECT_STREQ(out.demoImage, "");
}

// Realistic sets through the IDPROM (reflector 1273, motor step 625 nm, A 20 mm, B 68 mm,
// SOLPos 30, ScanRange 200). Expected numbers computed outside the code by a separate Python
// evaluation of the formulas (float32 constants emulated with struct.pack('f')):
// R(v) = floor(v + 0.5) limited to 0 ... 65535, T(v) = int(v + 0.5) & 0xFFFF.
TEST_F(SettingsTest, RealisticSetsForEachImageType) {
    struct Case {
        const char* type;
        int adc, smot;
        double psx, psy;
        uint32_t stepsA, stepsAB, stepsPre;
        int strt, anz, blk;
        uint32_t angles[7];
        int32_t minPixels;
        int maxPix, defPix, binning, ovs, abstALines;
    } cases[] = {
        {"Intra", 5, 352, 2.6661649585389142e-05, 2.663352205445335e-05, 40000u, 25728u, 8000u, 12500, 16667, 10833, {0u, 3750u, 7500u, 11250u, 15000u, 18750u, 22500u}, 281652, 20475, 511, 1, 1, 800},
        {"Extra", 8, 141, 5.3323299170778284e-05, 5.319148801797208e-05, 40000u, 25728u, 8000u, 10000, 8333, 5417, {0u, 1875u, 3750u, 5625u, 7500u, 9375u, 11250u}, 141026, 32760, 819, 1, 1, 400},
        {"Pano", 19, 93, 0.00020262853684895743, 0.00020161289813263613, 40000u, 25728u, 8000u, 12500, 4386, 2851, {0u, 987u, 1974u, 2961u, 3947u, 4934u, 5921u}, 48956, 38893, 972, 2, 2, 100},
        {"Ceph", 20, 125, 7.998494875616742e-05, 9.999999747378752e-05, 40000u, 25728u, 8000u, 16667, 5556, 3611, {0u, 1250u, 2500u, 3750u, 5000u, 6251u, 7501u}, 250047, 40940, 1023, 2, 1, 200},
    };
    const char* sets[] = {
        "[Param_1]\nImgTypes=Intra\nRes_X=25\nRes_Y=25\nPentaspd=4000\nMinBild=200\n",
        "[Param_2]\nImgTypes=Extra\nRes_X=50\nRes_Y=50\nPentaspd=5000\nMinBild=400\nPMT_HV=650\n",
        "[Param_3]\nImgTypes=Pano\nRes_X=200\nRes_Y=200\nPentaspd=4000\nMinBild=1000\n",
        "[Param_4]\nImgTypes=Ceph\nRes_X=80\nRes_Y=100\nPentaspd=3000\nBinning=1\nInterpolate_Y=2\nMinBild=2000\n",
    };
    promPmtVolts = 910;
    for (int i = 0; i < 4; ++i) {
        const Case& c = cases[i];
        GoodIdprom();
        ASSERT_EQ(Load(std::string("[Scanner]\nDefPixelValue=2.5\n") + sets[i], i + 1), 0) << c.type;
            EXPECT_EQ(d.ImageType, i + 1);
        EXPECT_EQ(s.ADC_Ovs, c.adc) << c.type;
        EXPECT_EQ(s.SMOT, c.smot) << c.type;
        EXPECT_DOUBLE_EQ(d.PixelSizeX, c.psx) << c.type;
        EXPECT_DOUBLE_EQ(d.PixelSizeY, c.psy) << c.type;
        EXPECT_EQ(s.StepsA, c.stepsA) << c.type;
        EXPECT_EQ(s.StepsAB, c.stepsAB) << c.type;
        EXPECT_EQ(s.StepsPre, c.stepsPre) << c.type;
        EXPECT_EQ(s.Strt_Pix, c.strt) << c.type;
        EXPECT_EQ(s.Anz_Pix, c.anz) << c.type;
        EXPECT_EQ(s.Blk_Pix, c.blk) << c.type;
        for (int k = 0; k < 7; ++k) EXPECT_EQ(d.AngleTable[k], c.angles[k]) << c.type << k;
        EXPECT_EQ(out.minImagePixels, c.minPixels) << c.type;
        EXPECT_EQ(d.MaxPixVal, c.maxPix) << c.type;
        EXPECT_EQ(d.DefPixVal, c.defPix) << c.type;
        EXPECT_EQ(s.Binning, c.binning) << c.type;
        EXPECT_EQ(s.OvsFactor, c.ovs) << c.type;
        EXPECT_EQ(s.AbstALines, c.abstALines) << c.type;
        EXPECT_EQ(s.SMotReverse, 1) << c.type;
        EXPECT_EQ(s.LaserTempMax, 55) << c.type;
        EXPECT_EQ(s.LaserTempWarn, 48) << c.type;
        EXPECT_EQ(d.SlotMask, 0x0F) << c.type;
        EXPECT_EQ(s.PMT_HV, i == 1 ? 910 : 600) << c.type;
        EXPECT_EQ(Logged(5, "getting PMT-HV out of EEPROM instead of Ini-file: using 910V"), i == 1);
    }
}

}  // namespace
