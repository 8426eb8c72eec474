// Get_Konfigpara, step by step: geometry, device features, scan line, feed, grey range,
// laser and high voltage, scan window, image acceptance, plate kinds, erase lamp.
#include "config/get_konfigpara.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/konfig_reader.h"
#include "config/paths.h"
#include "devicelink/prom_layout.h"
#include "lumora/lumora.h"
#include "platform/log_channel.h"
#include "platform/tools.h"

namespace {

constexpr double PI = 3.1415926535;
constexpr double K_SMOT = 6.0e13f;      // single-precision constant
constexpr double MICRO = 1e-6f;         // single-precision constant (9.99999997e-07)
constexpr double RES_TOLERANCE = 0.1f;  // single-precision constant
constexpr unsigned PROM_PMT_MIN = 100, PROM_PMT_MAX = 1250;

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

// Everything one run works on.
struct Run {
    const KonfigReader& ini;
    const KonfigInput& in;
    ScannerSettings* s;
    DeviceRecord* d;
    KonfigOutput* out;
    char set[64];
    uint16_t PromWord(int offset) const {
        return uint16_t(in.idprom[offset] | (in.idprom[offset + 1] << 8));
    }
};

struct Geometry {
    double motorStep;
    double scanCircle;
    double abstA;
    double abstB;
    double scanRange;
    double solPos;
    long slots;
};

// Steps 2-4: the geometry from the trusted PROM, else from the Scanner section.
bool IdpromTrusted(const Run& r, int setNumber) {
    if (r.ini.Long("Scanner", "IgnorePROM", 0) != 0 || setNumber == 0) {
        LogPrint(LOG_INFO, "IDPROM settings disabled by INI");
        return false;
    }
    uint16_t step = r.PromWord(idprom::SMOT_STEP);
    uint8_t sol = r.in.idprom[idprom::SOL_POS];
    uint8_t range = r.in.idprom[idprom::SCAN_RANGE];
    if (step == 0 || step == 0xFFFF || sol == 0 || sol == 0xFF || range == 0 || range == 0xFF) {
        LogPrint(LOG_INFO, "IDPROM settings disabled by incorrect IDProm settings");
        return false;
    }
    return true;
}

Geometry GeometryFromIdprom(const Run& r) {
    const uint8_t* prom = r.in.idprom;
    LogPrint(LOG_INFO, "using IDPROM settings for this device. Type ID=%u",
             unsigned(r.PromWord(idprom::TYPE_ID)));
    Geometry g{};
    r.s->SMotReverse = 1;
    g.motorStep = static_cast<float>(r.PromWord(idprom::SMOT_STEP)) * 1e-9f;
    g.scanCircle = r.PromWord(idprom::REFLECTOR) * 0.0001;
    g.abstA = prom[idprom::DIST_A] * 0.001;
    g.abstB = prom[idprom::DIST_B] * 0.001;
    r.s->LaserTempMax = prom[idprom::LASER_ERR_TEMP];
    r.s->LaserTempWarn = prom[idprom::LASER_WARN_TEMP];
    g.solPos = prom[idprom::SOL_POS];
    g.scanRange = prom[idprom::SCAN_RANGE];
    g.slots = prom[idprom::SLOT_MASK];
    return g;
}

Geometry GeometryFromIni(const Run& r) {
    const KonfigReader& ini = r.ini;
    Geometry g{};
    g.motorStep = ini.Double("Scanner", "SMotStep", 1e-06);
    r.s->SMotReverse = 0;
    if (g.motorStep < 0) {
        g.motorStep = -g.motorStep;
        r.s->SMotReverse = 1;
    }
    g.scanCircle = ini.Double("Scanner", "Abtastkreis", 10.0);
    g.abstA = ini.Double("Scanner", "Abst_A", 0.01);
    g.abstB = ini.Double("Scanner", "Abst_B", 0.07);
    r.s->LaserTempMax = static_cast<uint8_t>(ini.Long("Scanner", "LaserTempMax", 50));
    r.s->LaserTempWarn = static_cast<uint8_t>(ini.Long("Scanner", "LaserTempWarn", 45));
    g.scanRange = ini.Double("Scanner", "ScanRange", 180.0);
    if (g.scanRange < 10) g.scanRange = 10;
    if (g.scanRange > 270) g.scanRange = 270;
    g.solPos = ini.Double("Scanner", "SOLPos", 10.0);
    g.slots = static_cast<uint8_t>(ini.Long("Scanner", "Slots", 15));
    return g;
}

// Step 6: the device's features from the PROM.
void DeviceFeatures(const Run& r) {
    const uint16_t features = r.PromWord(idprom::FEATURES);
    r.d->IntraFeature = features & 1;
    r.d->ExtraFeature = (features >> 1) & 1;
    r.d->BleachingFeature = r.in.secondModel ? 1 : ((features & 0x10) == 0 ? 1 : 0);
    r.d->DeviceTypeId = r.PromWord(idprom::TYPE_ID);
    r.d->LaserEmissionPower = r.in.idprom[idprom::LASER_POWER];
}

// Steps 7-9: pentaprism, window start, oversampling, pixel sizes, feed and feed distances.
void ScanLineAndFeed(const Run& r, const Geometry& g) {
    ScannerSettings* s = r.s;
    DeviceRecord* d = r.d;
    s->Penta = static_cast<uint16_t>(r.ini.Long(r.set, "Pentaspd", r.in.secondModel ? 6300 : 4000));
    if (s->Penta < 1000) s->Penta = 1000;
    s->Strt_Pix = RoundR(g.solPos * 1.0e7 / (s->Penta * 6));
    const double resX = r.ini.Double(r.set, "Res_X", 50.0);
    const double resY = r.ini.Double(r.set, "Res_Y", 50.0);
    const int64_t binning = int64_t(static_cast<int32_t>(r.ini.Long(r.set, "Binning", 0))) + 1;
    s->Binning = binning > 2 ? 2 : binning < 1 ? 1 : int32_t(binning);
    const long interpolate = r.ini.Long(r.set, "Interpolate_Y", 1);
    s->Interpolate_Y = static_cast<int32_t>(interpolate);
    if (s->Interpolate_Y < 1) s->Interpolate_Y = 1;
    s->OvsFactor = 1;
    KonfigInputs& raw = r.out->inputs;
    raw.motorStep = g.motorStep;
    raw.scanCircle = g.scanCircle;
    raw.abstA = g.abstA;
    raw.abstB = g.abstB;
    raw.scanRange = g.scanRange;
    raw.resX = resX;
    raw.resY = resY;
    raw.interpolateY = interpolate;
    raw.adcOvsRaw = resX * 300.0 / (s->Penta * g.scanCircle * PI);
    s->ADC_Ovs = RoundR(raw.adcOvsRaw);
    if (s->ADC_Ovs > 32) {
        s->ADC_Ovs /= 2;
        s->Binning = 2;
        s->OvsFactor = 2;
    }
    d->PixelSizeX = s->ADC_Ovs * MICRO * s->Penta * g.scanCircle * PI / 300.0 * s->OvsFactor;

    if (std::fabs(resX - resY) < RES_TOLERANCE)
        raw.smotRaw = g.motorStep * K_SMOT * s->Binning /
                      (d->PixelSizeX * 1.0e6 * s->Penta * s->Interpolate_Y);
    else
        raw.smotRaw = g.motorStep * K_SMOT * s->Binning / (s->Penta * resY * s->Interpolate_Y);
    s->SMOT = RoundR(raw.smotRaw);
    const int64_t feedDenominator = int64_t(s->SMOT) * s->Penta * s->Interpolate_Y;
    d->PixelSizeY = g.motorStep * 6.0e7 * s->Binning / double(feedDenominator);

    if (r.out->fastDemo) {
        const double step = 2 * g.motorStep;
        raw.stepsARaw = g.abstA / step;
        raw.stepsABRaw = g.abstB / step;
        s->StepsA = RoundR(raw.stepsARaw);
        s->StepsAB = RoundR(raw.stepsABRaw);
        s->StepsPre = RoundR((g.abstA - 0.015) / step);
    } else {
        const double step = g.motorStep;
        raw.stepsARaw = (g.abstA + 0.005) / step;
        raw.stepsABRaw = (g.abstB + g.abstA + 0.01) / step;
        s->StepsA = RoundT(raw.stepsARaw);
        s->StepsAB = RoundT(raw.stepsABRaw);
        s->StepsPre = RoundR((g.abstA - 0.015) / step);
    }
    s->AbstALines = Trunc32(g.abstA * 1.0e6 / resY);
}

// Steps 10-12: threshold, grey range, laser, high voltage, rotation, scale, scan window.
void LevelsAndWindow(const Run& r, const Geometry& g) {
    ScannerSettings* s = r.s;
    DeviceRecord* d = r.d;
    s->ADC_SW = static_cast<uint16_t>(r.ini.Long(r.set, "Schwellwert", 0));
    d->MaxPixVal = s->ADC_Ovs <= 16 ? uint16_t(s->ADC_Ovs * 4095) : uint16_t(s->ADC_Ovs * 2047);
    if (r.ini.Long("Scanner", "Scale16Bit", 0) != 0 && !r.in.demo) {
        d->PixScale = d->MaxPixVal ? 65535.0 / d->MaxPixVal : 1.0;
        d->MaxPixVal = 65535;
    } else {
        d->PixScale = 1.0;
    }

    s->CheckLightlevel = r.ini.Long("Scanner", "CheckLightlevel", 1) != 0 ? 1 : 0;
    s->Laser = static_cast<uint16_t>(r.ini.Long(r.set, "Laser", 8));
    s->PMT_HV = static_cast<uint16_t>(r.ini.Long(r.set, "PMT_HV", 0));
    if (s->PMT_HV == 0) {
        LogPrint(LOG_WARNING, "no value for PMT-HV, using default voltage= 600V");
        s->PMT_HV = 600;
    }
    s->Rotation = static_cast<int32_t>(r.ini.Long(r.set, "Rotation", 0));
    // The value is held in single precision and compared with the double limits (a stored
    // 0.01 lies just below 0.01 and so counts as unset).
    float scale = static_cast<float>(r.ini.Double(r.set, "Scale", 1.0));
    if (!(double(scale) >= 0.01)) scale = 1.0f;
    if (scale < 1.0f) scale = 1.0f / scale;
    if (double(scale) < 0.1) scale = 0.1f;
    if (double(scale) > 10.0) scale = 10.0f;
    s->Scale = scale;

    const double windowDivisor = double(int64_t(s->ADC_Ovs) * s->Penta * 6);
    r.out->inputs.anzPixRaw = g.scanRange * 1.0e7 / windowDivisor;
    s->Anz_Pix = RoundR(r.out->inputs.anzPixRaw);
    s->Blk_Pix = RoundR((360.0 - g.scanRange - g.solPos) * 1.0e7 / windowDivisor);
    for (int i = 0; i < 7; ++i) d->AngleTable[i] = RoundR(i * 45 / g.scanRange * s->Anz_Pix);
}

// Step 13, first part: image acceptance, grey default, image type and its voltage.
void ImageAcceptance(const Run& r) {
    ScannerSettings* s = r.s;
    DeviceRecord* d = r.d;
    const double minBild = r.ini.SetElseScanner(r.set, "MinBild", 65535.0, 0.0);
    r.out->minImagePixels =
        Trunc32(Trunc32(minBild * 1e-06 / (d->PixelSizeY * d->PixelSizeX)) * double(s->OvsFactor));
    d->MaxImageRatio = r.ini.SetElseScanner(r.set, "MaxImageRatio", 65535.0, 4.0);
    const double defPercent = r.ini.Double("Scanner", "DefPixelValue", 0.0);
    int64_t defPix = Trunc64(defPercent / 100 * d->MaxPixVal);
    d->DefPixVal = static_cast<uint16_t>(defPix < 0 ? 0 : defPix > 65535 ? 65535 : defPix);
    s->Mirror = r.ini.Long(r.set, "Mirror", 0) != 0 ? 1 : 0;
    s->DeFlash = static_cast<uint16_t>(r.ini.Long(r.set, "DeFlash", 5000));

    char text[1024];
    r.ini.Text(r.set, "ImgTypes", text, sizeof text, "");
    d->ImageType = 0;
    for (int t = 1; t <= 4; ++t)
        if (strcasecmp(text, TypeSection(t)) == 0) d->ImageType = t;

    if (d->ImageType == 2 && r.in.promPmtVolts >= 0) {
        const unsigned volts = unsigned(r.in.promPmtVolts);
        if (volts >= PROM_PMT_MIN && volts <= PROM_PMT_MAX) {
            s->PMT_HV = static_cast<uint16_t>(volts);
            LogPrint(LOG_INFO, "getting PMT-HV out of EEPROM instead of Ini-file: using %uV",
                     volts);
            if (volts > unsigned(PMT_HV_MAX)) {
                s->PMT_HV = uint16_t(PMT_HV_MAX);
                LogPrint(LOG_WARNING, "PMT-HV of %uV from EEPROM above the limit of the hardware, using %uV",
                         volts, unsigned(PMT_HV_MAX));
            }
        }
    }
}

// Step 13, second part: scripts, filter values, measuring windows, greyscale range.
void ScriptsAndFilters(const Run& r) {
    ScannerSettings* s = r.s;
    const char* typeSection = TypeSection(r.d->ImageType);
    long storeMode = 0;
    if (!r.ini.Has(typeSection, "StoreMode", &storeMode))
        storeMode = r.ini.Long("Extra", "StoreMode", 0);
    s->StoreMode = static_cast<int32_t>(storeMode);

    char text[1024];
    if (!r.ini.HasText(typeSection, "Script", text, sizeof text))
        r.ini.Text("Extra", "Script", text, sizeof text, "");
    s->TypeScript[0] = '\0';
    BuildScriptPath(s->TypeScript, text);
    r.ini.Text(r.set, "Script", text, sizeof text, "");
    s->ParamScript[0] = '\0';
    BuildScriptPath(s->ParamScript, text);

    FilterValues* f = r.out->filter;
    const long filter = r.ini.Long(FilterSection(r.d->ImageType), "Filter", 0);
    char filterSection[64];
    std::snprintf(filterSection, sizeof filterSection, "Filter_#%i", int(filter));
    r.ini.Text(filterSection, "Filtertype1", f->Filtertype1, sizeof f->Filtertype1, "");
    r.ini.Text(filterSection, "Filtertype2", f->Filtertype2, sizeof f->Filtertype2, "");
    f->AutoGrayLow = static_cast<int32_t>(r.ini.Long(filterSection, "AutoGrayLow", 0));
    f->AutoGrayHigh = static_cast<int32_t>(r.ini.Long(filterSection, "AutoGrayHigh", 0));
    f->AutoGrayType = static_cast<int32_t>(r.ini.Long(filterSection, "AutoGrayType", -1));
    f->AutoGrayParam = static_cast<int32_t>(r.ini.Long(filterSection, "AutoGrayParam", 305419146));

    s->MWindow_X = static_cast<uint8_t>(r.ini.Long("Scanner", "MWindow_X", 80));
    s->MWindow_Y = static_cast<uint8_t>(r.ini.Long("Scanner", "MWindow_Y", 80));

    r.ini.Text(r.set, "Range", text, sizeof text, "");
    for (char* p = text; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    s->RangeLo = RangeValue(text, "LO=", 0);
    s->RangeUp = RangeValue(text, "UP=", 0);
    s->RangeHtyp = RangeValue(text, "HTYP=", 255);
}

// Step 14: the plate kinds the inlet accepts; false when none.
bool PlateKinds(const Run& r) {
    const DeviceRecord* d = r.d;
    uint8_t mask = d->SlotMask & 0x0F;
    if (r.ini.Long("Scanner", "ImgTypesLock", 0) != 0) {
        LogPrint(LOG_INFO, "ImgTypes lock enabled");
        if (d->ImageType == 1 && d->IntraFeature) mask |= 0x40;
        if (d->ImageType >= 2 && d->ImageType <= 4 && d->ExtraFeature) mask |= 0x80;
        if (d->ImageType == 0) {
            if (d->IntraFeature) mask |= 0x40;
            if (d->ExtraFeature) mask |= 0x80;
        }
    } else {
        LogPrint(LOG_INFO, "ImgTypes lock disabled by Inifile");
        if (d->IntraFeature) mask |= 0x40;
        if (d->ExtraFeature) mask |= 0x80;
    }
    if ((mask & 0xC0) == 0) return false;
    r.s->ImgTypeMask = mask;
    return true;
}

// Step 16: erase lamp and pentaprism standby.
void EraseAndStandby(const Run& r) {
    ScannerSettings* s = r.s;
    s->LampOnTime = static_cast<uint8_t>(r.ini.Long(r.set, "LampOnTime", 12));
    s->EraseEnable = r.ini.Long(r.set, "EraseEnable", 1) != 0 ? 1 : 0;
    if (s->EraseEnable) {
        if (r.in.secondModel)
            LogPrint(LOG_INFO, "EraseLampeTime = %us", unsigned(s->LampOnTime));
        else
            LogPrint(LOG_INFO, "Erase Feature enabled");
    } else {
        LogPrint(LOG_INFO, "Erase Feature disabled by Inifile");
    }
    s->LampMaxCycle = static_cast<int32_t>(r.ini.Long("Scanner", "LampMaxCycle", 40000));
    if (r.ini.Long("Scanner", "BeamDeflectorTimeout", -1) >= 0) {
        s->PentaPrismStandby = 1;
        LogPrint(LOG_INFO, "PentaPrismStandby true");
    } else {
        s->PentaPrismStandby = 0;
        LogPrint(LOG_INFO, "PentaPrismStandby false");
    }
}

}  // namespace

int Get_Konfigpara(const KonfigInput& in, KonfigOutput* out, int setNumber) {
    const KonfigReader ini(*in.config);
    Run r{ini, in, out->settings, out->device, out, {}};

    // 1. Parameter-set section.
    out->paramSetNumber = static_cast<uint8_t>(setNumber);
    char scannerType[1024];
    ini.Text("Scanner", "ScannerType", scannerType, sizeof scannerType, "Lumora");
    const char* pattern = in.demo ? "Demo_Param_#"
                          : strcasecmp(scannerType, "CALYXA") == 0 ? "CalyxParam_#"
                                                                    : "Param_#";
    ini2::index(r.set, sizeof r.set, pattern, setNumber);

    // 2.-4. Geometry.
    out->inputs.geometryFromIdprom = IdpromTrusted(r, setNumber);
    Geometry g = out->inputs.geometryFromIdprom ? GeometryFromIdprom(r) : GeometryFromIni(r);
    out->device->SlotMask = static_cast<uint8_t>(g.slots & 0x3F);

    // 5. Fast demo.
    out->fastDemo = in.demo && ini.Long(r.set, "FastDemo", 0) != 0;
    if (out->fastDemo) {
        LogPrint(LOG_INFO, "FastDemo enabled");
        g.motorStep /= 2;
    }

    DeviceFeatures(r);          // 6
    ScanLineAndFeed(r, g);      // 7-9
    LevelsAndWindow(r, g);      // 10-12
    ImageAcceptance(r);         // 13
    ScriptsAndFilters(r);
    if (!PlateKinds(r)) return LUMORA_E_NO_PLATE_TYPE;  // 14

    // 15. Demo image: named here, loaded by the open sequence.
    out->demoImage[0] = '\0';
    if (in.demo) ini.Text(r.set, "DemoImage", out->demoImage, sizeof out->demoImage, "Demo.XYZ");

    EraseAndStandby(r);         // 16
    return 0;
}
