// Arming and disarming the scanner, and the plate-clearing cycle of the second model.
#include "scanner/local_scanner.h"
#include "platform/log_channel.h"
#include "scanner/scanner_state.h"
#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "imagefind/imagefind.h"
#include "platform/clock.h"

int Local_Aktivate_Scanner() {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    LogPrint(LOG_INFO, "activate scanner");
    StatusCallBusy = false;
    if (ScannerActive) {
        LogPrint(LOG_ERROR, "Scanner is already active");
        return LUMORA_E_ARMED;
    }
    if (dev->GetInletSensors() != 0) LogPrint(LOG_WARNING, "inlet not free");
    int temperature = dev->GetLaserTemperature();
    if (temperature > TEMP_NO_SENSOR && temperature > Settings.LaserTempMax * 10) {
        LogPrint(LOG_ERROR, "Laser Overtemperature");
        return LUMORA_E_LASER_TEMP;
    }
    dev->SetHighVoltageEnable(1);
    platform::WaitMs(400);

    int result = 0;
    if (Settings.CheckLightlevel) {
        int level = 0;
        result = MeasureLightLevel(&level);
        if (result == LUMORA_W_AMBIENT_LIGHT) LogPrint(LOG_WARNING, "ambient brightness too high");
        LogPrint(LOG_INFO, "ambient brightness = %i", level);
    } else {
        LogPrint(LOG_WARNING, "ambient brightness ignored (turned off by ini: CheckLightlevel=0)");
    }

    dev->ClearReadBlock();
    dev->Akt_Y = 0;
    dev->ResetBuffers();
    dev->ShuttleCommand(2);
    dev->SetLaserMode(2);
    dev->SetAcquisition(1);
    dev->SetSlotLines(3);
    dev->ArmStatus();
    (void)dev->Anz_ScanLine();
    ScannerActive = true;
    dev->RegWrite(reg::ARM_FLAG, 0);
    return result;
}

int Local_Deaktivate_Scanner() {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    dev->ShuttleCommand(4);
    dev->SetLaserMode(2);
    dev->SetSlotLines(2);
    LogPrint(LOG_INFO, "deactivate Scanner");
    ScannerActive = false;
    return 0;
}

int Local_ClearScanner(int mode) {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    if (!IsCalyxa()) return 0;
    if (mode == 0) {
        dev->SetupShuttle(Settings.SMOT, int32_t(Settings.StepsAB));
        dev->ShuttleCommand(0);
        dev->RegWrite(reg::LAMP1_CMD, 0);
        dev->RegWrite(reg::LAMP2_CMD, 0);
        dev->RegWrite(reg::LAMP_72, 90);
        return 0;
    }
    dev->RegWrite(reg::LAMP1_CMD, 1);
    dev->RegWrite(reg::LAMP2_CMD, 1);
    for (int waits = 0; waits < 41; waits++) {
        if (dev->RegRead(reg::LAMP1_BUSY) == 0 && dev->RegRead(reg::LAMP2_BUSY) == 0) break;
        platform::WaitMs(100);
    }
    if (dev->RegRead(reg::LAMP1_STATUS) == 0 && dev->RegRead(reg::LAMP2_STATUS) == 0) {
        dev->SetupShuttle(132, 0);
        dev->ShuttleCommand(2);
        dev->RegWrite(reg::LAMP_72, 10);
        dev->RegWrite(reg::LAMP1_CMD, 2);
        dev->RegWrite(reg::LAMP2_CMD, 2);
    }
    return 0;
}
