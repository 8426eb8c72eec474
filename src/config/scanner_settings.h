// Working numbers of the scanner, derived from the parameter set, the Scanner section and the
// identification PROM (Get_Konfigpara), the record of the attached device and the filter values.
#pragma once
#include <cstdint>
#include "devicelink/hw_records.h"

#define SCANNER_KIND_LUMORA 0
#define SCANNER_KIND_CALYXA 0x8000

struct ScannerSettings {
    uint16_t ADC_Ovs;
    uint16_t ADC_SW;
    uint16_t SMOT;
    uint32_t StepsAB;        // also the value for register 0xA2 (divided by 2048)
    uint8_t SMotReverse;     // the shuttle-direction flag of the register set-up
    uint8_t CheckLightlevel;
    uint8_t Mirror;
    uint16_t DeFlash;
    uint32_t StepsA;         // also the value for register 0xA6 (divided by 2048)
    uint32_t StepsPre;       // also the value for register 0xA7 (divided by 2048)
    uint16_t Penta;
    uint16_t Laser;
    uint8_t ImgTypeMask;     // written to register 0xA4
    uint16_t PMT_HV;
    uint16_t Strt_Pix;
    uint16_t Anz_Pix;
    uint16_t Blk_Pix;
    uint8_t LaserTempMax;
    uint8_t LaserTempWarn;
    int32_t Binning;
    int32_t OvsFactor;
    int32_t Interpolate_Y;
    uint8_t MWindow_X;
    uint8_t MWindow_Y;
    int32_t Rotation;
    float Scale;
    int32_t StoreMode;
    char TypeScript[1024];
    char ParamScript[1024];
    int32_t RangeLo;
    int32_t RangeUp;
    int32_t RangeHtyp;
    int32_t AbstALines;
    uint8_t LampOnTime;
    uint8_t EraseEnable;
    int32_t LampMaxCycle;
    uint8_t PentaPrismStandby;
};

struct DeviceRecord {
    double PixelSizeX;       // metres
    double PixelSizeY;       // metres
    double MaxImageRatio;
    uint16_t DefPixVal;
    uint16_t MaxPixVal;
    double PixScale;
    int32_t ImageType;       // 0 none, 1 Intra, 2 Extra, 3 Pano, 4 Ceph
    uint8_t IntraFeature;
    uint8_t ExtraFeature;
    uint8_t BleachingFeature;
    int32_t ImageWriteMode;  // 1 = LINE (same as LineWriteMode)
    int32_t ScannerKind;     // SCANNER_KIND_LUMORA or SCANNER_KIND_CALYXA
    uint16_t DeviceTypeId;
    BufferRamInfo BufferRam;
    uint32_t AngleTable[7];
    uint8_t SlotMask;
    uint16_t LaserEmissionPower;
    char SerialId[32];
};

// Image filter of the set's image type (section "Filter_#n").
struct FilterValues {
    char Filtertype1[256];
    char Filtertype2[256];
    int32_t AutoGrayLow;
    int32_t AutoGrayHigh;
    int32_t AutoGrayType;
    int32_t AutoGrayParam;  // check value of the others (FilterSettingsCheckValue)
};
constexpr FilterValues DEFAULT_FILTER_VALUES{"", "", 0, 0, -1, 305419146};

extern ScannerSettings Settings;  // the process-wide ScannerSettings
extern DeviceRecord Device;       // the process-wide DeviceRecord
extern FilterValues Filters;      // the process-wide filter values
extern uint8_t ParamSetNumber;    // the set of the last open

// Values of the open sequence shared with the image production.
extern int LineWriteMode;       // 1 when ImageWriteMode is "LINE"
extern bool FilterEnabled;
extern bool FilterEnabledSaved;
extern bool FilterLibLoaded;

// Check value of the filter settings (compare with AutoGrayParam).
uint32_t FilterSettingsCheckValue(const FilterValues& filter);
// R: add 0.5, limit to 0 ... 65535, drop the fraction.
uint16_t RoundR(double v);
