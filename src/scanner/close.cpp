// Close_Scanner on the local interface.
#include "scanner/local_scanner.h"
#include "platform/log_channel.h"
#include "scanner/scanner_state.h"
#include "config/scanner_settings.h"
#include "diagnostics/device_memory.h"
#include "diagnostics/measurement_file.h"
#include "imagefile/zrip_wrapper.h"
#include "imagefind/imagefind.h"

namespace {
constexpr int IDPROM_MOTOR_WORD = 0x92;
constexpr uint16_t MOTOR_NOT_PAPST = 0x100;
}  // namespace

int Local_Close_Scanner() {
    if (!ScannerOpen) return 0;
    Imagefind* dev = ScannerDevice;
    if (!dev) return LUMORA_E_NOT_OPEN;
    LogPrint(LOG_INFO, "enter Close_Scanner");

    if (!(IdpromWord(IDPROM_MOTOR_WORD) & MOTOR_NOT_PAPST)) {
        LogPrint(LOG_INFO, "Papstmotor");
        if (Settings.PentaPrismStandby) {
            LogPrint(LOG_INFO, "Pentaprismamotor off");
            dev->PentamotorOff();
        }
    } else {
        LogPrint(LOG_INFO, "kein Papstmotor");
    }

    PutScannerAtRest(dev);
    dev->ClearReadBlock();

    if (CountersChanged) WriteDataProm(dev);
    RemoveTemporaryFile(LOG_WARNING);
    if (dev->txErrors) LogPrint(LOG_INFO, "%i TX-Errors repaired", int(dev->txErrors));
    dev->Free_Interface();
    CloseMeasurementFile();

    int result = 0;
    int pending = dev->PendingImages();
    if (pending > 0) {
        LogPrint(LOG_WARNING, "%i Images not reported to application", pending);
        result = LUMORA_W_OLD_IMAGES;
    }
    if (dev->DemoImage.pixels) {
        Zrip().Destroy_Image(&dev->DemoImage);
        dev->DemoImage = ImageDesc{};
    }

    CleanupPending = false;
    CleanupCounter = 0;
    ReleaseScannerDevice();
    return result;
}
