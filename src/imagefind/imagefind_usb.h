// The scanner object on the USB interface: the hardware operations go to liblumorausb.so.
#pragma once
#include "imagefind/imagefind.h"

class ImageFindUSB : public Imagefind {
public:
    ImageFindUSB();
    ~ImageFindUSB() override;

    int OpenDevice() override;
    bool IsFirmwareRunning() override;
    int Init_Interface() override;
    int Init_Firmware(const char* hexFile, int onlyIfNotRunning) override;
    int Free_Interface() override;
    uint8_t RegRead(uint32_t reg) override;
    uint16_t RegReadShort(uint32_t reg) override;
    uint32_t RegReadLong(uint32_t reg) override;
    int RegWrite(uint32_t reg, uint8_t value) override;
    int RegWriteShort(uint32_t reg, uint16_t value) override;
    int RegWriteLong(uint32_t reg, uint32_t value) override;
    int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) override;
    int GetScanStatus(ScanStatus* out) override;
    void I2C_TEMPinit(uint8_t device, int16_t limit) override;
    int16_t I2C_TEMPread(uint8_t device) override;
    void ClearReadBlock() override;
    uint32_t Anz_ScanLine() override;
    int Pentamotor_init(uint16_t speed) override;
    int I2C_PROM_read(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) override;
    int I2C_PROM_write(const uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) override;
    int I2C_DACout(uint8_t device, uint8_t value) override;
    uint8_t I2C_ADCread(uint8_t device, uint8_t channel) override;

    int MutexHandle = -1;  // lock-file descriptor of USB_SCANNER_USED; -1 = none
};
