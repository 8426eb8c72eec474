// Get_Konfigpara: the working numbers of the scanner from the parameter set, the Scanner
// section and (when trusted) the IDPROM settings block.
#include "config/scanner_settings.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log_channel.h"
#include "config/config_file.h"
#include "config/paths.h"
#include "config/zrconfigwr.h"
#include "diagnostics/device_memory.h"
#include "imagefile/zrip_wrapper.h"
#include "imagefind/imagefind.h"
#include "platform/tools.h"

namespace {

constexpr double PI = 3.1415926535;
constexpr double K_SMOT = 6.0e13f;            // single-precision constant
constexpr double MICRO = 1e-6f;               // single-precision constant (9.99999997e-07)
constexpr double RES_TOLERANCE = 0.1f;        // single-precision constant

// Whole part of v as a 64-bit number; NaN gives 0, infinities the nearest end.
int64_t Trunc64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return INT64_C(9200000000000000000);
    if (v <= -9.2e18) return -INT64_C(9200000000000000000);
    return static_cast<int64_t>(v);
}

// Whole part of v limited to the 32-bit signed range.
int32_t Trunc32(double v) {
    int64_t t = Trunc64(v);
    if (t > INT32_MAX) return INT32_MAX;
    if (t < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(t);
}

// T: add 0.5, drop the fraction, keep the low 16 bits.
uint16_t RoundT(double v) { return static_cast<uint16_t>(Trunc64(v + 0.5) & 0xFFFF); }

long GetLong(const char* section, const char* key, long def) {
    long v = def;
    ConfigIni.get(section, key, &v, def);
    return v;
}

double GetDouble(const char* section, const char* key, double def) {
    double v = def;
    ConfigIni.get(section, key, &v, def);
    return v;
}

void GetText(const char* section, const char* key, char* out, size_t size, const char* def) {
    strxcpy(out, def, size);
    ConfigIni.get(section, key, out, def, size);
    out[size - 1] = '\0';
}

// Looks up key in the set; when the set lacks it, in the Scanner section.
double SetElseScanner(const char* set, const char* key, double setDefault, double scannerDefault) {
    double v = setDefault;
    if (ConfigIni.get(set, key, &v, setDefault) != 0) {
        v = scannerDefault;
        ConfigIni.get("Scanner", key, &v, scannerDefault);
    }
    return v;
}

// The number behind the first occurrence of tag in text (C strtol, base 0), or def.
int32_t RangeValue(const char* text, const char* tag, int32_t def) {
    const char* p = std::strstr(text, tag);
    if (!p) return def;
    return static_cast<int32_t>(std::strtol(p + std::strlen(tag), nullptr, 0));
}

const char* TypeSection(int type) {
    static const char* const names[] = {"NULL", "Intra", "Extra", "Pano", "Ceph"};
    return type >= 0 && type <= 4 ? names[type] : names[0];
}

const char* FilterSection(int type) {
    static const char* const names[] = {"NULL", "IntraStd", "ExtraStd", "PanoStd", "CephStd"};
    return type >= 0 && type <= 4 ? names[type] : names[0];
}

struct Geometry {
    double motorStep;
    double scanCircle;
    double abstA;
    double abstB;
    double scanRange;
    double solPos;
    long slots;
};

void GeometryFromIdprom(ScannerSettings* s, Geometry* g) {
    LogPrint(LOG_INFO, "using IDPROM settings for this device. Type ID=%u",
             unsigned(IdpromWord(idprom::TYPE_ID)));
    s->SMotReverse = 1;
    g->motorStep = static_cast<float>(IdpromWord(idprom::SMOT_STEP)) * 1e-9f;
    g->scanCircle = IdpromWord(idprom::REFLECTOR) * 0.0001;
    g->abstA = IdpromImage[idprom::DIST_A] * 0.001;
    g->abstB = IdpromImage[idprom::DIST_B] * 0.001;
    s->LaserTempMax = IdpromImage[idprom::LASER_ERR_TEMP];
    s->LaserTempWarn = IdpromImage[idprom::LASER_WARN_TEMP];
    g->solPos = IdpromImage[idprom::SOL_POS];
    g->scanRange = IdpromImage[idprom::SCAN_RANGE];
    g->slots = IdpromImage[idprom::SLOT_MASK];
}

void GeometryFromIni(ScannerSettings* s, Geometry* g) {
    g->motorStep = GetDouble("Scanner", "SMotStep", 1e-06);
    s->SMotReverse = 0;
    if (g->motorStep < 0) {
        g->motorStep = -g->motorStep;
        s->SMotReverse = 1;
    }
    g->scanCircle = GetDouble("Scanner", "Abtastkreis", 10.0);
    g->abstA = GetDouble("Scanner", "Abst_A", 0.01);
    g->abstB = GetDouble("Scanner", "Abst_B", 0.07);
    s->LaserTempMax = static_cast<uint8_t>(GetLong("Scanner", "LaserTempMax", 50));
    s->LaserTempWarn = static_cast<uint8_t>(GetLong("Scanner", "LaserTempWarn", 45));
    g->scanRange = GetDouble("Scanner", "ScanRange", 180.0);
    if (g->scanRange < 10) g->scanRange = 10;
    if (g->scanRange > 270) g->scanRange = 270;
    g->solPos = GetDouble("Scanner", "SOLPos", 10.0);
    g->slots = static_cast<uint8_t>(GetLong("Scanner", "Slots", 15));
}

bool IdpromTrusted(int setNumber) {
    if (GetLong("Scanner", "IgnorePROM", 0) != 0 || setNumber == 0) {
        LogPrint(LOG_INFO, "IDPROM settings disabled by INI");
        return false;
    }
    uint16_t step = IdpromWord(idprom::SMOT_STEP);
    uint8_t sol = IdpromImage[idprom::SOL_POS];
    uint8_t range = IdpromImage[idprom::SCAN_RANGE];
    if (step == 0 || step == 0xFFFF || sol == 0 || sol == 0xFF || range == 0 || range == 0xFF) {
        LogPrint(LOG_INFO, "IDPROM settings disabled by incorrect IDProm settings");
        return false;
    }
    return true;
}

void LoadDemoImage(const char* set, ScannerSettings* s) {
    char name[1024];
    GetText(set, "DemoImage", name, sizeof name, "Demo.XYZ");
    char dir[ZRC_BUFFER] = "";
    int r = ConfigService().ZRCGetDir(ZRC_DIR_DEVICES, dir, 0);
    if (r != 0) {
        LogTagged(LOG_ERROR, "Get_Konfigpara",
                  "Unable to retrieve ZRCD_DEVCIES via zrConfig. Errorcode %i", r);
        return;
    }
    dir[sizeof dir - 1] = '\0';
    char path[1024];
    strxcpy(path, dir, sizeof path);
    strxcat(path, "/", sizeof path);
    strxcat(path, name, sizeof path);
    ImageDesc* image = &ScannerDevice->DemoImage;
    if (image->pixels) Zrip().Destroy_Image(image);
    *image = ImageDesc{};
    r = Zrip().Read_Image(path, image);
    if (r == 0) {
        LogPrint(LOG_INFO, "demo image %s successfully loaded: Imagesize %ux%u", name,
                 unsigned(image->width), unsigned(image->height));
        s->PMT_HV = 0;
    } else {
        *image = ImageDesc{};
        LogPrint(LOG_ERROR, "loading demo image %s failed. Error %d", name, r);
        ScannerDevice->DemoActive = 0;
        LogPrint(LOG_INFO, "Demo mode disabled");
    }
}

}  // namespace

uint16_t RoundR(double v) {
    double sum = v + 0.5;
    if (std::isnan(sum)) return 0;
    if (sum > 65535) return 65535;
    if (sum < 0) return 0;
    return static_cast<uint16_t>(sum);
}

uint32_t FilterSettingsCheckValue() {
    uint32_t value = (uint32_t(AutoGrayHigh) ^ 0x12345678u) + (uint32_t(AutoGrayType) ^ 0x32Fu) +
                     (uint32_t(AutoGrayLow) ^ 0x42u);
    for (const char* p = Filtertype1; *p; ++p) value += uint32_t(int32_t(int8_t(*p)));
    for (const char* p = Filtertype2; *p; ++p) value += uint32_t(int32_t(int8_t(*p)));
    return value;
}

int Get_Konfigpara(ScannerSettings* s, int setNumber) {
    const bool calyxa = Device.ScannerKind == SCANNER_KIND_CALYXA;
    const bool demo = ScannerDevice && ScannerDevice->DemoActive;

    // 1. Parameter-set section.
    ParamSetNumber = static_cast<uint8_t>(setNumber);
    char scannerType[1024];
    GetText("Scanner", "ScannerType", scannerType, sizeof scannerType, "Lumora");
    const char* pattern = demo ? "Demo_Param_#"
                          : strcasecmp(scannerType, "CALYXA") == 0 ? "CalyxParam_#"
                                                                    : "Param_#";
    char set[64];
    ini2::index(set, pattern, setNumber);

    // 2.-4. Geometry.
    Geometry g{};
    if (IdpromTrusted(setNumber))
        GeometryFromIdprom(s, &g);
    else
        GeometryFromIni(s, &g);
    Device.SlotMask = static_cast<uint8_t>(g.slots & 0x3F);

    // 5. Fast demo.
    bool fastDemo = false;
    if (demo) {
        if (GetLong(set, "FastDemo", 0) != 0) {
            ScannerDevice->FastDemo = 1;
            LogPrint(LOG_INFO, "FastDemo enabled");
            fastDemo = true;
        } else {
            ScannerDevice->FastDemo = 0;
        }
    }
    if (fastDemo) g.motorStep /= 2;

    // 6. Device features.
    const uint16_t features = IdpromWord(idprom::FEATURES);
    Device.IntraFeature = features & 1;
    Device.ExtraFeature = (features >> 1) & 1;
    Device.BleachingFeature = calyxa ? 1 : ((features & 0x10) == 0 ? 1 : 0);
    Device.DeviceTypeId = IdpromWord(idprom::TYPE_ID);
    Device.LaserEmissionPower = IdpromImage[idprom::LASER_POWER];

    // 7. Scan line: pentaprism, window start, oversampling, pixel size along the line.
    s->Penta = static_cast<uint16_t>(GetLong(set, "Pentaspd", calyxa ? 6300 : 4000));
    if (s->Penta < 1000) s->Penta = 1000;
    s->Strt_Pix = RoundR(g.solPos * 1.0e7 / (s->Penta * 6));
    const double resX = GetDouble(set, "Res_X", 50.0);
    const double resY = GetDouble(set, "Res_Y", 50.0);
    const int64_t binning = int64_t(static_cast<int32_t>(GetLong(set, "Binning", 0))) + 1;
    s->Binning = binning > 2 ? 2 : binning < 1 ? 1 : int32_t(binning);
    s->Interpolate_Y = static_cast<int32_t>(GetLong(set, "Interpolate_Y", 1));
    if (s->Interpolate_Y < 1) s->Interpolate_Y = 1;
    s->OvsFactor = 1;
    s->ADC_Ovs = RoundR(resX * 300.0 / (s->Penta * g.scanCircle * PI));
    if (s->ADC_Ovs > 32) {
        s->ADC_Ovs /= 2;
        s->Binning = 2;
        s->OvsFactor = 2;
    }
    Device.PixelSizeX = s->ADC_Ovs * MICRO * s->Penta * g.scanCircle * PI / 300.0 * s->OvsFactor;

    // 8. Feed direction.
    if (std::fabs(resX - resY) < RES_TOLERANCE)
        s->SMOT = RoundR(g.motorStep * K_SMOT * s->Binning /
                         (Device.PixelSizeX * 1.0e6 * s->Penta * s->Interpolate_Y));
    else
        s->SMOT = RoundR(g.motorStep * K_SMOT * s->Binning / (s->Penta * resY * s->Interpolate_Y));
    const int64_t feedDenominator = int64_t(s->SMOT) * s->Penta * s->Interpolate_Y;
    Device.PixelSizeY = g.motorStep * 6.0e7 * s->Binning / double(feedDenominator);

    // 9. Feed distances.
    if (fastDemo) {
        const double step = 2 * g.motorStep;
        s->StepsA = RoundR(g.abstA / step);
        s->StepsAB = RoundR(g.abstB / step);
        s->StepsPre = RoundR((g.abstA - 0.015) / step);
    } else {
        const double step = g.motorStep;
        s->StepsA = RoundT((g.abstA + 0.005) / step);
        s->StepsAB = RoundT((g.abstB + g.abstA + 0.01) / step);
        s->StepsPre = RoundR((g.abstA - 0.015) / step);
    }
    s->AbstALines = Trunc32(g.abstA * 1.0e6 / resY);

    // 10. Threshold and grey-value range.
    s->ADC_SW = static_cast<uint16_t>(GetLong(set, "Schwellwert", 0));
    Device.MaxPixVal = s->ADC_Ovs <= 16 ? uint16_t(s->ADC_Ovs * 4095) : uint16_t(s->ADC_Ovs * 2047);
    if (GetLong("Scanner", "Scale16Bit", 0) != 0 && !demo) {
        Device.PixScale = Device.MaxPixVal ? 65535.0 / Device.MaxPixVal : 1.0;
        Device.MaxPixVal = 65535;
    } else {
        Device.PixScale = 1.0;
    }

    // 11. Laser, high voltage, rotation, scale.
    s->CheckLightlevel = GetLong("Scanner", "CheckLightlevel", 1) != 0 ? 1 : 0;
    s->Laser = static_cast<uint16_t>(GetLong(set, "Laser", 8));
    s->PMT_HV = static_cast<uint16_t>(GetLong(set, "PMT_HV", 0));
    if (s->PMT_HV == 0) {
        LogPrint(LOG_WARNING, "no value for PMT-HV, using default voltage= 600V");
        s->PMT_HV = 600;
    }
    s->Rotation = static_cast<int32_t>(GetLong(set, "Rotation", 0));
    // The value is held in single precision and compared with the double limits (a stored
    // 0.01 lies just below 0.01 and so counts as unset).
    float scale = static_cast<float>(GetDouble(set, "Scale", 1.0));
    if (!(double(scale) >= 0.01)) scale = 1.0f;
    if (scale < 1.0f) scale = 1.0f / scale;
    if (double(scale) < 0.1) scale = 0.1f;
    if (double(scale) > 10.0) scale = 10.0f;
    s->Scale = scale;

    // 12. Scan window.
    const double windowDivisor = double(int64_t(s->ADC_Ovs) * s->Penta * 6);
    s->Anz_Pix = RoundR(g.scanRange * 1.0e7 / windowDivisor);
    s->Blk_Pix = RoundR((360.0 - g.scanRange - g.solPos) * 1.0e7 / windowDivisor);
    for (int i = 0; i < 7; ++i) Device.AngleTable[i] = RoundR(i * 45 / g.scanRange * s->Anz_Pix);

    // 13. Image acceptance, image type, scripts, filters, windows, grey range.
    const double minBild = SetElseScanner(set, "MinBild", 65535.0, 0.0);
    const int32_t minPixels =
        Trunc32(Trunc32(minBild * 1e-06 / (Device.PixelSizeY * Device.PixelSizeX)) *
                double(s->OvsFactor));
    if (ScannerDevice) ScannerDevice->MinImagePixels = minPixels;
    Device.MaxImageRatio = SetElseScanner(set, "MaxImageRatio", 65535.0, 4.0);
    const double defPercent = GetDouble("Scanner", "DefPixelValue", 0.0);
    int64_t defPix = Trunc64(defPercent / 100 * Device.MaxPixVal);
    Device.DefPixVal = static_cast<uint16_t>(defPix < 0 ? 0 : defPix > 65535 ? 65535 : defPix);
    s->Mirror = GetLong(set, "Mirror", 0) != 0 ? 1 : 0;
    s->DeFlash = static_cast<uint16_t>(GetLong(set, "DeFlash", 5000));

    char text[1024];
    GetText(set, "ImgTypes", text, sizeof text, "");
    Device.ImageType = 0;
    for (int t = 1; t <= 4; ++t)
        if (strcasecmp(text, TypeSection(t)) == 0) Device.ImageType = t;

    if (Device.ImageType == 2 && ScannerDevice) {
        uint8_t hv[2] = {0, 0};
        if (ScannerDevice->I2C_PROM_read(hv, 0xA8, idprom::PMT_HV, idprom::PMT_HV + 1) == 0) {
            const unsigned volts = hv[0] | (hv[1] << 8);
            if (volts >= 100 && volts <= 1250) {
                s->PMT_HV = static_cast<uint16_t>(volts);
                LogPrint(LOG_INFO, "getting PMT-HV out of EEPROM instead of Ini-file: using %uV",
                         volts);
            }
        }
    }

    const char* typeSection = TypeSection(Device.ImageType);
    long storeMode = 0;
    if (ConfigIni.get(typeSection, "StoreMode", &storeMode, 0) != 0)
        storeMode = GetLong("Extra", "StoreMode", 0);
    s->StoreMode = static_cast<int32_t>(storeMode);

    text[0] = '\0';
    if (ConfigIni.get(typeSection, "Script", text, "", sizeof text) != 0)
        GetText("Extra", "Script", text, sizeof text, "");
    text[sizeof text - 1] = '\0';
    s->TypeScript[0] = '\0';
    BuildScriptPath(s->TypeScript, text);
    GetText(set, "Script", text, sizeof text, "");
    s->ParamScript[0] = '\0';
    BuildScriptPath(s->ParamScript, text);

    const long filter = GetLong(FilterSection(Device.ImageType), "Filter", 0);
    char filterSection[64];
    std::snprintf(filterSection, sizeof filterSection, "Filter_#%i", int(filter));
    GetText(filterSection, "Filtertype1", Filtertype1, sizeof Filtertype1, "");
    GetText(filterSection, "Filtertype2", Filtertype2, sizeof Filtertype2, "");
    AutoGrayLow = static_cast<int32_t>(GetLong(filterSection, "AutoGrayLow", 0));
    AutoGrayHigh = static_cast<int32_t>(GetLong(filterSection, "AutoGrayHigh", 0));
    AutoGrayType = static_cast<int32_t>(GetLong(filterSection, "AutoGrayType", -1));
    AutoGrayParam = static_cast<int32_t>(GetLong(filterSection, "AutoGrayParam", 305419146));

    s->MWindow_X = static_cast<uint8_t>(GetLong("Scanner", "MWindow_X", 80));
    s->MWindow_Y = static_cast<uint8_t>(GetLong("Scanner", "MWindow_Y", 80));

    GetText(set, "Range", text, sizeof text, "");
    for (char* p = text; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    s->RangeLo = RangeValue(text, "LO=", 0);
    s->RangeUp = RangeValue(text, "UP=", 0);
    s->RangeHtyp = RangeValue(text, "HTYP=", 255);

    // 14. Plate kinds accepted.
    uint8_t mask = Device.SlotMask & 0x0F;
    if (GetLong("Scanner", "ImgTypesLock", 0) != 0) {
        LogPrint(LOG_INFO, "ImgTypes lock enabled");
        if (Device.ImageType == 1 && Device.IntraFeature) mask |= 0x40;
        if (Device.ImageType >= 2 && Device.ImageType <= 4 && Device.ExtraFeature) mask |= 0x80;
        if (Device.ImageType == 0) {
            if (Device.IntraFeature) mask |= 0x40;
            if (Device.ExtraFeature) mask |= 0x80;
        }
    } else {
        LogPrint(LOG_INFO, "ImgTypes lock disabled by Inifile");
        if (Device.IntraFeature) mask |= 0x40;
        if (Device.ExtraFeature) mask |= 0x80;
    }
    if ((mask & 0xC0) == 0) return -9;
    s->ImgTypeMask = mask;

    // 15. Demo image.
    if (demo) LoadDemoImage(set, s);

    // 16. Erase lamp and pentaprism standby.
    s->LampOnTime = static_cast<uint8_t>(GetLong(set, "LampOnTime", 12));
    s->EraseEnable = GetLong(set, "EraseEnable", 1) != 0 ? 1 : 0;
    if (s->EraseEnable) {
        if (calyxa)
            LogPrint(LOG_INFO, "EraseLampeTime = %us", unsigned(s->LampOnTime));
        else
            LogPrint(LOG_INFO, "Erase Feature enabled");
    } else {
        LogPrint(LOG_INFO, "Erase Feature disabled by Inifile");
    }
    s->LampMaxCycle = static_cast<int32_t>(GetLong("Scanner", "LampMaxCycle", 40000));
    if (GetLong("Scanner", "BeamDeflectorTimeout", -1) >= 0) {
        s->PentaPrismStandby = 1;
        LogPrint(LOG_INFO, "PentaPrismStandby true");
    } else {
        s->PentaPrismStandby = 0;
        LogPrint(LOG_INFO, "PentaPrismStandby false");
    }
    return 0;
}
