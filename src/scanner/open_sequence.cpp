// Open_Scanner on the local interface: configuration, model, device, firmware, device memory,
// settings, temporary file, calibration and the checks of laser, filter and lamps.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "scanner/local_scanner.h"
#include "config/log_configuration.h"
#include "platform/log_channel.h"
#include "imagefile/extra_header.h"
#include "platform/version.h"
#include "scanner/scanner_state.h"
#include "config/config_file.h"
#include "config/paths.h"
#include "config/get_konfigpara.h"
#include "config/scanner_settings.h"
#include "config/settings_guard.h"
#include "config/zrconfigwr.h"
#include "diagnostics/calibration.h"
#include "diagnostics/device_memory.h"
#include "imagefind/imagefind_usb.h"
#include "devicelink/registers.h"
#include "imagefile/zrip_wrapper.h"
#include "platform/clock.h"
#include "platform/tools.h"
#include "scanner/device_lock.h"
#include "scanner/open_steps.h"
#include "scanner/leftovers.h"

namespace {

constexpr int64_t MIN_FREE_BYTES = 200000000;
constexpr int MAX_IMAGE_NUMBER = 999000;
constexpr size_t IMAGE_NAME_LENGTH = 12;    // "LM000001.XYZ"
constexpr size_t IMAGE_NAME_BUFFER = 1024;  // the image-name buffers of the interface
constexpr uint16_t TYPE_ID_CALYXA = 12;

// Logs the message at level 3, runs the device shut-down and returns code.
int Fail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
int Fail(int code, const char* format, ...) {
    char text[1400];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    LogPrint(LOG_ERROR, "%s", text);
    DeviceShutdown();
    return code;
}

long IniLong(const char* section, const char* key, long def) {
    long v = def;
    ConfigIni.get(section, key, &v, def);
    return v;
}

// Step 4: the configuration file, loaded afresh. False when it is missing or empty.
bool LoadConfiguration() {
    char path[CONFIG_PATH_MAX] = "";
    Ini_file(path);
    LogPrint(LOG_DETAIL, "\tIniFileName=%s", path);
    LogPrint(LOG_INFO, ConfigIni.getSize() ? "Configurationfile %s found" : "Configurationfile %s not found",
             path);
    LogPrint(LOG_DETAIL, "loading %s", path);
    if (path[0]) ConfigIni.load(path);
    return ConfigIni.getSize() != 0;
}

// Step 8: model from the configuration; returns the interface type text.
void SelectModel(char* type, size_t size) {
    long network = IniLong("Interface", "Network", 0);
    Device.ScannerKind = SCANNER_KIND_LUMORA;
    if (network) {
        LogPrint(LOG_INFO, "Using network interface box. Scannertype is set Lumora / EPP no matter of settings in ini");
        strxcpy(type, "EPP", size);
        return;
    }
    char model[1024];
    ConfigIni.get("Scanner", "ScannerType", model, "Lumora");
    if (strcasecmp(model, "CALYXA") == 0) {
        Device.ScannerKind = SCANNER_KIND_CALYXA;
        LogPrint(LOG_INFO, "Scannertype is Calyxa, selectet by Inifile");
    } else {
        LogPrint(LOG_INFO, "Scannertype is Lumora, selectet by Inifile");
    }
    ConfigIni.get("Interface", "Type", type, "No_Int", size);
}

// Step 9: creates ScannerDevice. 0, the device's code, or -1001 without a device.
int CreateDevice(const char* type) {
    bool calyxa = IsCalyxa();
    if (strcasecmp(type, "EPP") == 0 && !calyxa) {
        // The device is owned before it is touched: a refused open leaves it to its owner.
        if (LockEppDevice() != 0) return LUMORA_E_INIT;
        ScannerDevice = new Imagefind();
        int r = ScannerDevice->OpenDevice();
        if (r != 0) return Fail(r, "can not init driver: %i", r);
        ScannerDevice->maxRetries = uint32_t(IniLong("Interface", "Retry", 10));
        ScannerDevice->txErrors = 0;
        LogPrint(LOG_INFO, "using EPP interface");
        return 0;
    }
    if (strcasecmp(type, "USB") == 0 || calyxa) {
        ScannerDevice = new ImageFindUSB();
        int r = ScannerDevice->OpenDevice();
        if (r != 0) r = ScannerDevice->OpenDevice();
        if (r != 0) return Fail(r, "can not init USB driver: %i", r);
        ScannerDevice->txErrors = 0;
        ScannerDevice->maxRetries = 10;
        LogPrint(LOG_INFO, "using USB interface");
        return 0;
    }
    LogPrint(LOG_ERROR, "type of interface not supported");
    return LUMORA_E_INIT;
}

// Step 16: firmware download. 0 or -3.
int LoadFirmware() {
    Imagefind* dev = ScannerDevice;
    const char* key = IsCalyxa() ? "FirmwareCalyx"
                      : dev->InterfaceKind == INTERFACE_USB ? "FirmwareUSB"
                                                            : "Firmware";
    char name[1024];
    ConfigIni.get("Scanner", key, name, "Default.mcs");
    char dir[ZRC_BUFFER] = "";
    char path[2048];
    if (ConfigService().ZRCGetDir(ZRC_DIR_DEVICES, dir, 0) == 0 && name[0] != '/')
        snprintf(path, sizeof path, "%s/%s", dir, name);
    else
        strxcpy(path, name, sizeof path);
    LogPrint(LOG_INFO, "firmware to load: %s", path);

    int halte = int(IniLong("Scanner", "HalteFPGA", 0));
    if (IniLong("Scanner", "FPGABootOnce", 0) != 0) halte = 0;
    int r = dev->Init_Firmware(path, halte);
    if (r != 0) r = dev->Init_Firmware(path, halte);
    if (r != 0) r = dev->Init_Firmware(path, 0);
    if (r != 0) return Fail(LUMORA_E_FIRMWARE, "can not init firmware %s error code: %i", path, r);
    LogPrint(LOG_INFO, "firmware successfully loaded: %s", path);
    dev->SetLaserMode(0);
    dev->SetHighVoltageEnable(0);
    dev->ShuttleCommand(0);
    dev->SetAcquisition(0);
    dev->SetSlotLines(0);
    return 0;
}

// Step 18: the model the device reports. 0, or -10 after rewriting the configuration.
int CheckModel() {
    if (IniLong("Scanner", "ScannerAutodetect", 1) == 0) {
        LogPrint(LOG_INFO, "Autodetect disabled by Inifile");
        return 0;
    }
    uint16_t typeId = IdpromWord(idprom::TYPE_ID);
    if (typeId == 0xFFFF) {
        LogPrint(LOG_INFO, "No TypeID, assuming correct settings from Ini");
        return 0;
    }
    const char* message = nullptr;
    const char* model = nullptr;
    if (typeId == TYPE_ID_CALYXA && !IsCalyxa()) {
        message = "Scannertype changed : switch to Calyxa -> call OpenScanner again ";
        model = "Calyxa";
    } else if (typeId != TYPE_ID_CALYXA && IsCalyxa()) {
        message = "Scannertype changed : switch to Lumora -> call OpenScanner again ";
        model = "Lumora";
    }
    if (model) {
        LogPrint(LOG_ERROR, "%s", message);
        ConfigIni.set("Scanner", "ScannerType", model, "changed by Autodetect");
        ConfigIni.set("Scanner", "FPGABootOnce", 1L);
        ConfigIni.write();
        DeviceShutdown();
        return LUMORA_E_MODEL_CHANGED;
    }
    if (IniLong("Scanner", "FPGABootOnce", 0) != 0) {
        ConfigIni.set("Scanner", "FPGABootOnce", 0L);
        ConfigIni.write();
    }
    return 0;
}

void LogSettings() {
    const ScannerSettings& s = Settings;
    LogPrint(LOG_INFO, "using following settings:");
    LogPrint(LOG_INFO, "   ADC_Ovs=%i, ADC_SW=%x, ", s.ADC_Ovs, s.ADC_SW);
    LogPrint(LOG_INFO, "   Strt_Pix=%i, Anz_Pix=%i, Blk_Pix=%i", s.Strt_Pix, s.Anz_Pix, s.Blk_Pix);
    LogPrint(LOG_INFO, "   Laser=%i, PMT_HV=%i, ", s.Laser, s.PMT_HV);
    LogPrint(LOG_INFO, "   Penta=%i, SMOT=%i", s.Penta, s.SMOT);
    LogPrint(LOG_INFO, "   MaxPixVal=%i, PixScale=%5.3f", Device.MaxPixVal, Device.PixScale);
    LogPrint(LOG_INFO, "   Res_X=%6.3fum, Res_Y=%6.3fum", Device.PixelSizeX * 1000000.0,
             Device.PixelSizeY * 1000000.0);
    LogPrint(LOG_INFO, "   Interpolate_Y=%i", s.Interpolate_Y);
}

// The PMT voltage word of the identification PROM, read afresh; -1 when it cannot be read.
int32_t PromPmtVolts(Imagefind* dev) {
    uint8_t hv[2] = {0, 0};
    if (dev->I2C_PROM_read(hv, i2c::IDPROM, idprom::PMT_HV, idprom::PMT_HV + 1) != 0) return -1;
    return hv[0] | (hv[1] << 8);
}

// The demo image from the device folder (the PMT stays off); without it demo mode ends.
void LoadDemoImage(Imagefind* dev, const char* name) {
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
    ImageDesc* image = &dev->DemoImage;
    if (image->pixels) Zrip().Destroy_Image(image);
    *image = ImageDesc{};
    r = Zrip().Read_Image(path, image);
    if (r == 0) {
        LogPrint(LOG_INFO, "demo image %s successfully loaded: Imagesize %ux%u", name,
                 unsigned(image->width), unsigned(image->height));
        Settings.PMT_HV = 0;
    } else {
        *image = ImageDesc{};
        LogPrint(LOG_ERROR, "loading demo image %s failed. Error %d", name, r);
        dev->DemoActive = 0;
        LogPrint(LOG_INFO, "Demo mode disabled");
    }
}

// Step 21: the settings of the set, and what they ask of the device. 0, or LUMORA_E_RANGE when
// a derived value cannot be programmed.
int ReadSettings(Imagefind* dev, int paramSet) {
    KonfigInput in;
    in.config = &ConfigIni;
    in.idprom = IdpromImage;
    in.secondModel = IsCalyxa();
    in.demo = dev->DemoActive != 0;
    in.promPmtVolts = PromPmtVolts(dev);
    KonfigOutput out;
    out.settings = &Settings;
    out.device = &Device;
    out.filter = &Filters;
    int r = Get_Konfigpara(in, &out, paramSet);
    ParamSetNumber = out.paramSetNumber;
    if (in.demo) dev->FastDemo = out.fastDemo ? 1 : 0;
    dev->MinImagePixels = out.minImagePixels;
    if (r == 0 && in.demo) LoadDemoImage(dev, out.demoImage);
    return CheckDerivedSettings(out);
}

// Step 23: wait for the high voltage to fall, then measure the ADC offset.
void MeasureOffset() {
    Imagefind* dev = ScannerDevice;
    dev->SetHighVoltageEnable(0);
    bool dropped = false;
    for (int i = 0; i < 10001; i++) {
        if (dev->I2C_ADCread(0x90, 0) * 4.883 <= 100.0) {
            dropped = true;
            break;
        }
    }
    if (dropped)
        LogPrint(LOG_INFO, "   ADC Offset = %u", unsigned(dev->MeasureAdcOffset(1)));
    else
        LogPrint(LOG_INFO, "   ADC Offset = %u HV>100V !!!", unsigned(dev->MeasureAdcOffset(0)));
}

// Step 30: calibration factors, PixScale each, corrected by the calibration file.
void LoadCalibration() {
    Imagefind* dev = ScannerDevice;
    int count = Settings.Anz_Pix;
    dev->CalibFactors = new double[count > 0 ? count : 1];
    dev->CalibCount = count;
    for (int i = 0; i < count; i++) dev->CalibFactors[i] = Device.PixScale;

    char name[1024] = "";
    if (ConfigIni.get("Scanner", "Kalibrierdaten", name, "") != 0) {
        LogPrint(LOG_WARNING, "using no Calibration File");
        return;
    }
    if (name[0]) LogPrint(LOG_INFO, "using \"%s\" as calibration File", name);
    int r = LoadCalibrationFile(dev->CalibFactors, count, name);
    switch (r) {
    case 0:
        LogPrint(LOG_INFO, "Calibration file \"%s\" succesfully loaded", name);
        break;
    case -1:
        if (name[0]) LogPrint(LOG_WARNING, "calibration file \"%s\" not found", name);
        LogPrint(LOG_INFO, "using no Calibration File");
        break;
    case -1019:
        LogPrint(LOG_WARNING, "Setup data changed since last calibration");
        LogPrint(LOG_INFO, "using no Calibration File");
        break;
    case LUMORA_E_SERIAL:
        LogPrint(LOG_WARNING, "calibration file \"%s\" does not match the device", name);
        LogPrint(LOG_INFO, "using no Calibration File");
        break;
    default:
        LogPrint(LOG_WARNING, "WARNING %i", r);
        LogPrint(LOG_WARNING, "using no Calibration File");
        break;
    }
}

// Step 32: the image filter is used only when its settings check out and the library answers.
void CheckImageFilter() {
    FilterEnabled = int32_t(FilterSettingsCheckValue(Filters)) == Filters.AutoGrayParam;
    if (!FilterEnabled) {
        LogPrint(LOG_INFO, "WARNING : Filtersettings incorrect, Filter disabled");
        return;
    }
    char version[ZRIP_VERSION_TEXT] = "";
    if (Zrip().Get_Version(version) == 0) {
        version[sizeof version - 1] = 0;
        FilterLibLoaded = true;
        LogPrint(LOG_INFO, "ZRIP DLL loaded Version: %s", version);
    } else {
        FilterLibLoaded = false;
        LogPrint(LOG_INFO, "ZRIP DLL not found, no Imagefilter available");
    }
}

// Step 33: lamp lifetime (second model, once a day) or erase-unit answer (main model).
int CheckLamps(int* openResult) {
    Imagefind* dev = ScannerDevice;
    if (IsCalyxa()) {
        long today = GetDateNumber();
        if (IniLong("Scanner", "LampCheckDate", 0) == today) return 0;
        ConfigIni.set("Scanner", "LampCheckDate", today);
        ConfigIni.write();
        LogPrint(LOG_INFO, "performing Lamp Lifetimecheck");
        for (int slot = 1; slot <= 2; slot++) {
            EventCounters counters{};
            dev->ReadEventCounters(&counters, slot);
            int cycles = int(counters.lampCycles);
            double percent = Settings.LampMaxCycle > 0 ? cycles * 100.0 / Settings.LampMaxCycle : 0.0;
            LogPrint(LOG_INFO, "   Slot %i, LampCycles %i, Lifetime %5.2fPercent", slot, cycles, percent);
            if (cycles > Settings.LampMaxCycle) {
                LogPrint(LOG_WARNING, "Lifetime Lamp Slot %i exceeded", slot);
                *openResult = LUMORA_W_LAMP_LIFETIME;
            }
        }
        return 0;
    }
    if (!Device.BleachingFeature) return 0;
    for (int attempt = 0; attempt < 30; attempt++) {
        if (attempt) platform::WaitMs(100);
        EraseUnitInfo unit{};
        dev->ReadEraseUnit(&unit);
        int sum = unit.lampTemperature + unit.lampStatus + unit.firmwareVersion;
        for (uint8_t b : unit.sensor) sum += b;
        if (sum != 0) {
            LogPrint(LOG_INFO, "Lamp Temperature = %4.1fC", unit.lampTemperature / 10.0);
            return 0;
        }
    }
    return Fail(LUMORA_E_ERASE_UNIT, "wrong power supply or bleaching unir error");
}

}  // namespace

int OpenSequence(int paramSet) {
    // 1-3: close a scanner still open, forget the extra header, log the version.
    if (ScannerOpen) {
        LogPrint(LOG_INFO, "Open_Scanner(%i), was already open", paramSet);
        int r = Local_Close_Scanner();
        if (r != 0) return r;
    }
    ExtraHeaderBuffer = nullptr;
    ExtraHeaderSize = 0;
    ScannerActive = false;
    StatusCallBusy = false;
    CleanupPending = false;
    CleanupCounter = 0;
    PlateStarted = false;
    PlateStartLine = 0;
    LogPrint(LOG_INFO, "***********************************************************************");
    LogPrint(LOG_INFO, "Open_Scanner(%i)", paramSet);
    LogPrint(LOG_INFO, "Lumora driver version: %s", LUMORA_DRIVER_VERSION LUMORA_BUILD_STAMP);

    // 4-6: configuration, log channel, parameter set.
    if (!LoadConfiguration()) return Fail(LUMORA_E_CONFIG_MISSING, "inifile not found or empty");
    RebuildLogChannel();
    char paramName[CONFIG_PATH_MAX] = "default parameter";
    if (paramSet != 0 && ReadParamName(paramName, paramSet) != 0)
        return Fail(LUMORA_E_NOT_FOUND, "param or Inifile not found");
    LogPrint(LOG_INFO, "selected paramname : %s", paramName);
    if (AtriumMode) LogPrint(LOG_INFO, "ATRIUM_Mode already active");

    // 7: image write mode.
    char writeMode[1024];
    ConfigIni.get("Scanner", "ImageWriteMode", writeMode, "Block");
    LineWriteMode = strcasecmp(writeMode, "LINE") == 0 ? 1 : 0;
    Device.ImageWriteMode = LineWriteMode;
    LogPrint(LOG_INFO, LineWriteMode ? "Image write methode is line by line-Mode (Line)"
                                     : "Image write methode is Image in memory Mode (Block)");

    // 8-9: model, interface and device.
    char type[1024];
    SelectModel(type, sizeof type);
    int r = CreateDevice(type);
    if (r != 0) return r;
    Imagefind* dev = ScannerDevice;

    // 10-12: demo mode, prescan off, interface.
    dev->FastDemo = 0;
    if (IniLong("Interface", "DemoMode", 0) != 0) {
        dev->DemoActive = 1;
        dev->DemoLine = -1000;
        dev->DemoOffset = 0;
        LogPrint(LOG_INFO, "Demomode enabled");
    } else {
        dev->DemoActive = 0;
    }
    dev->SetPrescanMode(0);
    r = dev->Init_Interface();
    if (r != 0) r = dev->Init_Interface();
    if (r != 0) return Fail(LUMORA_E_INIT, "can not open interface: %i", r);

    // 13-14: image directory, free space, numbering.
    dev->ImageDir[0] = 0;
    GetImagePath(dev->ImageDir, sizeof dev->ImageDir);
    dev->ImageDir[sizeof dev->ImageDir - 1] = 0;
    LogPrint(LOG_INFO, "image path: %s", dev->ImageDir);
    if (!dev->ImageDir[0]) {  // no folder: refuse rather than write images at the root
        LogPrint(LOG_ERROR, "no image path configured");
        return Fail(LUMORA_E_DISK_SPACE, "not enough free Disk Space");
    }
    // Image names (folder, "/LM000001.XYZ") must fit the name buffers of the interface.
    if (strlen(dev->ImageDir) + 1 + IMAGE_NAME_LENGTH >= IMAGE_NAME_BUFFER)
        return Fail(LUMORA_E_NO_FILENAME, "image path too long for image names of at most %zu characters: %s",
                    IMAGE_NAME_BUFFER - 1, dev->ImageDir);
    mkdir_ex(dev->ImageDir);
    int64_t free = DiskFree(dev->ImageDir);
    LogPrint(LOG_INFO, "available Disk Space for Image files: %" PRId64 " Bytes", free);
    if (free < MIN_FREE_BYTES) return Fail(LUMORA_E_DISK_SPACE, "not enough free Disk Space");

    int openResult = 0;
    int highest = dev->InitImageCounter();
    if (IniLong("Scanner", "CheckTempImage", 1) != 0 && highest != 0) {
        openResult = LUMORA_W_OLD_IMAGES;
        LogPrint(LOG_WARNING, "found %i existing Imagefiles in %s ", highest, dev->ImageDir);
    }
    if (dev->ImageCounter > MAX_IMAGE_NUMBER) return Fail(LUMORA_E_NO_FILENAME, "no available Filename for Image file");

    // 15-16: old data in the scanner memory, else the firmware.
    bool recoveryPending = false;
    if (dev->IsFirmwareRunning() && IniLong("Scanner", "CheckFIFO", 1) != 0 &&
        (dev->GetWritePointer() != dev->GetReadPointer() || dev->GetWordsWaiting() >= 1000)) {
        LogPrint(LOG_WARNING, "%u Bytes of old data found in scanner memory", dev->GetWordsWaiting() * 4u);
        recoveryPending = true;
    }
    if (!recoveryPending && (r = LoadFirmware()) != 0) return r;

    // 17-19: device memory and model.
    r = dev->I2C_PROM_read(IdpromImage, i2c::IDPROM, 0, 255);
    if (r != 0) return Fail(r, "can't read IDPROM ");
    if ((r = CheckModel()) != 0) return r;
    ReadDataProm(dev);

    // 20-22: buffer RAM, settings, registers.
    r = dev->DetectBufferRam(&Device.BufferRam);
    if (r != 0) return Fail(r, "can not find buffer RAM - error code: %i", r);
    LogPrint(LOG_INFO, "Buffer size: %i bytes, type: %i", int(Device.BufferRam.size), Device.BufferRam.type);
    if ((r = ReadSettings(dev, paramSet)) != 0)
        return Fail(r, "can't init HW register - error code: %i", r);
    if (!recoveryPending) {
        r = dev->InitHwRegister(&Settings, &Device.BufferRam, IdpromImage[idprom::SLOT_MASK]);
        if (r != 0) return Fail(r, "can't init HW register - error code: %i", r);
        LogSettings();
    }

    // 23-24: high voltage off and ADC offset; image builder start.
    MeasureOffset();
    dev->AnzPixLine = Settings.Anz_Pix - 1;
    dev->Akt_Y = 0;

    // 25-27: serial number.
    ReadSerialId(Device.SerialId, sizeof Device.SerialId);
    if (!Device.SerialId[0]) {
        LogPrint(LOG_WARNING, "can't read serial ID ");
        strxcpy(Device.SerialId, "no serial ID", sizeof Device.SerialId);
    } else {
        LogPrint(LOG_INFO, "SN: %s", Device.SerialId);
    }
    char expected[1024] = "";
    ConfigIni.get("Scanner", "SerialNumber", expected, "");
    if (expected[0] && strcmp(expected, Device.SerialId) != 0)
        return Fail(LUMORA_E_SERIAL, "wrong serial id, expected: %s", expected);
    SaveIdpromCopy(ConfigIni.getFilename(), Device.SerialId);

    // 28: temporary file.
    char tempPath[1024] = "";
    GetTempFile(tempPath, sizeof tempPath);
    tempPath[sizeof tempPath - 1] = 0;
    RemoveLeftovers(dev->ImageDir, tempPath);
    if (tempPath[0]) {
        strxcpy(TempFilePath, tempPath, sizeof TempFilePath);
        strxcpy(dev->TempFileName, tempPath, sizeof dev->TempFileName);
        dev->WTempfile = fopen_ex(tempPath, "wb");
        if (dev->WTempfile) dev->RTempfile = fopen_ex(tempPath, "rb");
    }
    if (!dev->WTempfile || !dev->RTempfile) return Fail(LUMORA_E_NO_FILENAME, "can't open temporary file: %s", tempPath);
    LogPrint(LOG_INFO, "use %s as temporary file", tempPath);
    free = DiskFree(tempPath);
    LogPrint(LOG_INFO, "available Disk Space for temporary file: %" PRId64 " Bytes", free);
    if (free < MIN_FREE_BYTES)
        return Fail(LUMORA_E_DISK_SPACE, "not enough free Disk Space, at least %" PRId64 " Bytes needed",
                    MIN_FREE_BYTES);

    // 29: old data: rebuild those images and end here.
    if (recoveryPending) return RecoverScannerMemory();

    // 30-33: calibration, laser, image filter, lamps.
    LoadCalibration();
    int temperature = dev->GetLaserTemperature();
    if (temperature <= TEMP_NO_SENSOR) {
        LogPrint(LOG_ERROR, "Laser Temperature = no ADC found");
    } else {
        LogPrint(LOG_INFO, "Laser Temperature = %4.1fC", temperature / 10.0);
        if (temperature > Settings.LaserTempMax * 10) return Fail(LUMORA_E_LASER_TEMP, "Laser Overtemperature");
    }
    CheckImageFilter();
    if ((r = CheckLamps(&openResult)) != 0) return r;

    // 34: open.
    dev->ArmStatus();
    ScannerOpen = true;
    return openResult;
}
