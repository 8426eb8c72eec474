// The USB access library liblumorausb.so: the C functions the USB device adaptor calls.
// Register, block and I2C functions answer as the EPP path of the hardware layer does.
#pragma once
#include <cstdint>

#include "devicelink/hw_records.h"

// Error codes of the library beyond those of the hardware layer.
constexpr int LUMORAUSB_NO_DEVICE = -1100;     // no scanner found on the bus
constexpr int LUMORAUSB_NOT_OPEN = -1101;      // Init_Interface has not succeeded
constexpr int LUMORAUSB_TRANSFER = -1102;      // a transfer failed

extern "C" {
typedef int (*UsbInitInterfaceFn)(void);
typedef int (*UsbFreeInterfaceFn)(void);
typedef int (*UsbSetTimeoutFn)(uint32_t ms);
typedef int (*UsbLastErrorFn)(int reset);
typedef uint8_t (*UsbRegReadFn)(uint32_t reg);
typedef uint16_t (*UsbRegReadShortFn)(uint32_t reg);
typedef uint32_t (*UsbRegReadLongFn)(uint32_t reg);
typedef int (*UsbRegWriteFn)(uint32_t reg, uint8_t value);
typedef int (*UsbRegWriteShortFn)(uint32_t reg, uint16_t value);
typedef int (*UsbRegWriteLongFn)(uint32_t reg, uint32_t value);
typedef int (*UsbReadBlockFn)(uint16_t* buffer, uint32_t bytes, uint32_t* bytesRead);
typedef int (*UsbGetScanStatusFn)(ScanStatus* record);
typedef uint32_t (*UsbAnzScanLineFn)(void);
typedef uint8_t (*UsbAdcReadFn)(uint8_t device, uint8_t channel);
typedef int (*UsbDacOutFn)(uint8_t device, uint8_t value);
typedef int (*UsbTempInitFn)(uint8_t device, int16_t limit);
typedef int16_t (*UsbTempReadFn)(uint8_t device);
typedef int (*UsbPromReadFn)(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last);
typedef int (*UsbPromWriteFn)(const uint8_t* buffer, uint8_t device, uint8_t first,
                              uint8_t last);
typedef int (*UsbInitFirmwareFn)(const char* path, int onlyIfNotRunning);
typedef int (*UsbPentamotorInitFn)(uint16_t speed);
}

// The library's functions, resolved by name.
struct LumoraUsbLibrary {
    UsbInitInterfaceFn Init_Interface;
    UsbFreeInterfaceFn Free_Interface;
    UsbSetTimeoutFn SetUsbTimeout;
    UsbLastErrorFn GetLastLumoraError;
    UsbRegReadFn RegRead;
    UsbRegReadShortFn RegReadShort;
    UsbRegReadLongFn RegReadLong;
    UsbRegWriteFn RegWrite;
    UsbRegWriteShortFn RegWriteShort;
    UsbRegWriteLongFn RegWriteLong;
    UsbReadBlockFn ReadBlock;
    UsbGetScanStatusFn GetScanStatus;
    UsbAnzScanLineFn Anz_ScanLine;
    UsbAdcReadFn I2C_ADCread;
    UsbDacOutFn I2C_DACout;
    UsbTempInitFn I2C_TEMPinit;
    UsbTempReadFn I2C_TEMPread;
    UsbPromReadFn I2C_PROM_read;
    UsbPromWriteFn I2C_PROM_write;
    UsbInitFirmwareFn Init_Firmware;
    UsbPentamotorInitFn Pentamotor_init;
};

#define LUMORAUSB_LIBRARY "liblumorausb.so"

namespace platform {
// Loads liblumorausb.so once per process (beside liblumora.so first) and resolves all its
// functions; null, with a log line, when the library or one of its functions is missing.
const LumoraUsbLibrary* LumoraUsb();
}  // namespace platform
