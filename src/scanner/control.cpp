// Small control and query functions of the open scanner.
#include <cstdlib>
#include <cstring>

#include "scanner/local_scanner.h"
#include "platform/log_channel.h"
#include "scanner/scanner_state.h"
#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "diagnostics/service_commands.h"
#include "diagnostics/service_context.h"
#include "imagefind/imagefind.h"
#include "platform/tools.h"

namespace {

// The image finder's single-line capture and reset, as the service procedures use them.
class ImagefindLines final : public ScanLineSource {
public:
    explicit ImagefindLines(Imagefind& finder) : finder_(finder) {}
    int ReadLine(uint16_t* out, int maxWords, int* count) override {
        return finder_.ReadLine(out, maxWords, count);
    }
    void ResetImageFinder() override { finder_.ResetBuffers(); }

private:
    Imagefind& finder_;
};

}  // namespace

int Local_Ext_ScannerCTRL(unsigned code, const void* in, int inSize, void* out, int outSize,
                          int* outLen) {
    if (outLen) *outLen = 0;
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    if (!IsServiceCommand(code)) return LUMORA_E_UNKNOWN_CTRL;
    ImagefindLines lines(*dev);
    ServiceContext context;
    context.device = dev;
    context.lines = &lines;
    context.scanArmed = ScannerActive;
    context.interfaceKind = dev->InterfaceKind;
    return RunServiceCommand(context, code, in, inSize, out, outSize, outLen);
}

int Local_Run_BeltdriveEx(int speed) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    if (ScannerActive) return LUMORA_E_ARMED;
    int s = speed < 0 ? (speed == INT32_MIN ? 255 : -speed) : speed;
    if (s > 255) s = 255;
    if (s == 0) {
        dev->ShuttleCommand(0);
        dev->SetupShuttle(Settings.SMOT, int32_t(Settings.StepsAB));
        return 0;
    }
    dev->SetAcquisition(0);
    dev->SetupShuttle(uint32_t(288 - s) * 4, 0);
    dev->ShuttleCommand(speed > 0 ? 1 : 3);
    return 0;
}

int Local_SetEraseMode(int mode) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    if (IsCalyxa())
        dev->RegWrite(reg::LAMP_ERASE, mode != 0 ? 0 : 2);
    else
        dev->RegWrite(reg::ERASE_MODE, mode != 0 ? 2 : 0);
    return 0;
}

int Local_Set_Prescanmode(int length) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    int r = dev->SetPrescanMode(length);
    if (length > PRESCAN_MAX - 1) return LUMORA_E_RANGE;
    return r;
}

int Local_Get_Prescanline(void* line) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    dev->GetPrescanLine(static_cast<uint8_t*>(line));
    return 0;
}

int Local_Get_ScannerFeatures(ScannerFeatures* f) {
    if (!OpenScannerDevice()) return LUMORA_E_NOT_OPEN;
    uint16_t id = Device.DeviceTypeId;
    f->deviceTypeId = id;
    f->slotCount = (id == 12 || id == 2) ? 2 : 4;
    f->extraFeature = Device.ExtraFeature;
    f->intraFeature = Device.IntraFeature;
    f->bleachingFeature = Device.BleachingFeature;
    f->polygonSpeed = id == 12 ? 6300 : 4000;
    f->laserEmissionPower = Device.LaserEmissionPower;
    return 0;
}

int Local_Get_ScannerDiag(ScannerDiag* d) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    int result = 0;
    if (IsCalyxa()) {
        d->slot[0] = dev->RegRead(reg::LAMP1_STATUS);
        d->slot[1] = dev->RegRead(reg::LAMP2_STATUS);
        d->slot[2] = 0;
        d->slot[3] = 0;
        d->lamp[0] = dev->RegRead(reg::LAMP1_43);
        d->lamp[1] = dev->RegRead(reg::LAMP2_4B);
        d->reserved = 0;
    } else {
        memset(d, 0, 8);
        if (Device.BleachingFeature && (dev->RegRead(reg::STATUS) & 0x20)) {
            EraseUnitInfo unit{};
            dev->ReadEraseUnit(&unit);
            if (unit.lampStatus & 0x02) {
                memset(d->slot, 0x80, 4);
                result = -1150;
            }
            if (unit.lampStatus & 0x04) memset(d->slot, 0x04, 4);
        }
    }
    static const struct {
        uint8_t bit;
        int base;
    } order[] = {{0x02, 1100}, {0x04, 1104}, {0x01, 1108}, {0x08, 1112}};
    for (int b = 0; b < 4; b++)
        for (const auto& o : order)
            if (d->slot[b] & o.bit) return -(o.base + b);
    return result;
}

int Local_Get_Serialnumber(char* text) {
    if (!OpenScannerDevice()) {
        strcpy(text, "Scanner not open");
        return LUMORA_E_NOT_OPEN;
    }
    strxcpy(text, Device.SerialId, sizeof Device.SerialId);
    return 0;
}

int Local_Set_ImageFilterMode(int mode) {
    if (!OpenScannerDevice()) return LUMORA_E_NOT_OPEN;
    if (mode == 0) {
        FilterEnabledSaved = FilterEnabled;
        FilterEnabled = false;
        LogPrint(LOG_INFO, "Imagefilter disabled by application");
    } else if (mode == 1) {
        FilterEnabled = FilterEnabledSaved;
        if (FilterEnabled) LogPrint(LOG_INFO, "Imagefilter enabled by application");
    }
    return 0;
}

int Local_ATRIUM_Mode(int mode, int code) {
    AtriumMode = mode == 1;
    if (ScannerOpen && mode == 1) LogPrint(LOG_INFO, "ATRIUM_Mode active");
    return 0;
}
