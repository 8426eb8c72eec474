// Ambient-light measurement through the ADC with the high voltage on.
#include "scanner/local_scanner.h"
#include "scanner/scanner_state.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"
#include "platform/clock.h"

int MeasureLightLevel(int* level) {
    if (ScannerActive || !ScannerDevice) return LUMORA_E_NOT_OPEN;
    uint32_t threshold = Settings.ADC_SW > 65530 ? 400 : Settings.ADC_SW;
    uint32_t sum = 0;
    int bright = 0;
    for (int i = 0; i < 100; i++) {
        uint16_t v = ScannerDevice->ReadAdcLevel();
        sum += v;
        if (v > threshold) bright++;
    }
    if (level) *level = int(sum / 100);
    return bright > 16 ? LUMORA_W_AMBIENT_LIGHT : 0;
}

int Local_Get_LightStatus() {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    if (dev->DemoActive) return 0;
    dev->SetHighVoltageEnable(1);
    platform::WaitMs(400);
    int level = 0;
    int r = MeasureLightLevel(&level);
    dev->SetHighVoltageEnable(0);
    return r;
}
