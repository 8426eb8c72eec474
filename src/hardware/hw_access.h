// Scanner functions over the register access: I2C bus, motors, laser, high voltage, ADC,
// slot lines and buffer RAM.
#pragma once
#include <cstdint>
#include "hardware/epp_scanner.h"
#include "devicelink/hw_records.h"

struct ScannerSettings;

// I2C_TEMPread of a sensor that does not answer, and what the temperature functions then give
// (tenths of a degree).
constexpr int16_t TEMP_NO_ANSWER = -32768;
constexpr int TEMP_NO_SENSOR = -1280;

class HW_access : public EPP_Scanner {
public:
    HW_access();
    ~HW_access() override;

    virtual int GetScanStatus(ScanStatus* out);                         // slot 13
    virtual void I2C_TEMPinit(uint8_t device, int16_t limit);           // slot 14
    virtual int16_t I2C_TEMPread(uint8_t device);                       // slot 15
    virtual void ClearReadBlock();                                      // slot 16
    virtual uint32_t Anz_ScanLine();                                    // slot 17
    virtual int Pentamotor_init(uint16_t speed);                        // slot 18
    virtual int I2C_PROM_read(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last);   // 19
    virtual int I2C_PROM_write(const uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last);  // 20
    virtual int I2C_DACout(uint8_t device, uint8_t value);              // slot 21
    virtual uint8_t I2C_ADCread(uint8_t device, uint8_t channel);       // slot 22

    void SetAcquisition(int mode);
    void SetLaserMode(int mode);
    int SetLaserPower(int level);
    void SetHighVoltageEnable(int on);
    int SetHighVoltage(int volts);
    int SetupAdc(uint16_t ovs, uint16_t threshold, uint16_t startPix, uint16_t numPix, uint16_t blkPix);
    uint16_t MeasureAdcOffset(int apply);
    uint16_t ReadAdcRaw();
    uint16_t ReadAdcLevel();
    int GetLaserTemperature();   // tenths of a degree; TEMP_NO_SENSOR = no sensor
    int GetSecondTemperature();
    void PentamotorOff();
    void ShuttleCommand(int mode);
    void SetupShuttle(uint32_t divider, int32_t value);
    void SetSlotMask(uint8_t mask, int32_t value);
    void SetSlotLines(int mode);
    uint8_t GetInletSensors();
    uint8_t IsScanning();
    void ArmStatus();
    uint32_t GetReadPointer();
    void SetReadPointer(uint32_t p);
    uint32_t GetWordsWaiting();
    uint32_t GetWritePointer();
    void ResetWritePointer();
    uint8_t GetSlotLines();
    void ReadEraseUnit(EraseUnitInfo* out);
    void SetupBufferRam(const BufferRamInfo* info);
    int DetectBufferRam(BufferRamInfo* info);
    // promSlotMask: the slot mask byte of the identification PROM.
    int InitHwRegister(const ScannerSettings* settings, const BufferRamInfo* info,
                       uint8_t promSlotMask);
    int ReadEventCounters(EventCounters* out, int slot);

    // I2C bus primitives on register 0x80.
    void I2C_Start();
    void I2C_Stop();
    uint8_t I2C_WriteByte(uint8_t value);  // 0 = acknowledged
    uint8_t I2C_ReadByte(bool acknowledge);
    void SendMotorWord(uint16_t word);

    uint16_t adcOffset = 0;
    uint8_t slotLines = 0xFF;
    uint8_t motorFlags = 0;
};
