// Register initialisation of the open sequence.
#include "config/scanner_settings.h"
#include "hardware/hw_access.h"
#include "devicelink/registers.h"

int HW_access::InitHwRegister(const ScannerSettings* s, const BufferRamInfo* info,
                              uint8_t promSlotMask) {
    int rc = Pentamotor_init(s->Penta);
    if (rc == 0) rc = SetupAdc(s->ADC_Ovs, s->ADC_SW, s->Strt_Pix, s->Anz_Pix, s->Blk_Pix);
    if (rc != 0) return rc;
    motorFlags = s->SMotReverse ? 4 : 0;
    SetupShuttle(s->SMOT, int32_t(s->StepsAB));
    SetHighVoltageEnable(0);
    if ((rc = SetHighVoltage(s->PMT_HV)) != 0) return rc;
    I2C_TEMPinit(i2c::TEMP_LASER, int16_t(int8_t(s->LaserTempMax) * 256));
    if ((rc = SetLaserPower(s->Laser)) != 0) return rc;
    SetupBufferRam(info);
    RegWrite(reg::INLET, s->ImgTypeMask);
    RegWrite(reg::PRE_A7, uint8_t(int32_t(s->StepsPre) / 2048));
    SetSlotMask(promSlotMask, int32_t(s->StepsA));
    if (Device.ScannerKind == SCANNER_KIND_CALYXA) {
        RegWrite(reg::LAMP_ERASE, s->EraseEnable ? 0 : 2);
        RegWrite(reg::LAMP_ON_TIME, s->LampOnTime);
        RegWrite(reg::LAMP1_CMD, 1);
        RegWrite(reg::LAMP2_CMD, 1);
        RegWrite(reg::LAMP_72, 90);
    } else if (Device.BleachingFeature) {
        RegWrite(reg::ERASE_MODE, s->EraseEnable ? 2 : 0);
    }
    return 0;
}
