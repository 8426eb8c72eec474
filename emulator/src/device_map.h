// The scanner as its documentation describes it: the driver requests it answers, its
// registers with the bits the emulator acts on, and the addresses of the devices on its I2C
// bus. The driver library has its own copy of these numbers; a table test holds both to the
// documented values.
#pragma once
#include <cstdint>

namespace lumora_emu {

// Driver requests (device type 0x22, buffered, any access).
namespace requests {
constexpr uint32_t kClaimPort = 0x222004;
constexpr uint32_t kReleasePort = 0x222008;
constexpr uint32_t kPortInfo = 0x22200C;         // 16 bytes out
constexpr uint32_t kInterfaceStatus = 0x222020;  // 4 bytes out
constexpr uint32_t kConfigStatus = 0x222024;     // 4 bytes out
constexpr uint32_t kDownload = 0x222028;         // firmware image in, 4 bytes out
constexpr uint32_t kSelect = 0x222030;           // 4-byte register address in
constexpr uint32_t kRead8 = 0x222034;
constexpr uint32_t kRead16 = 0x222038;           // without input: block read of the selected register
constexpr uint32_t kRead32 = 0x22203C;
constexpr uint32_t kWrite8 = 0x222040;
constexpr uint32_t kWrite16 = 0x222044;
constexpr uint32_t kWrite32 = 0x222048;

constexpr uint32_t kRunningBit = 0x10;  // interface, configuration and download status words
}  // namespace requests

// Registers, 8 bit unless a width is given; 16-bit pairs are low byte first.
namespace registers {
constexpr uint32_t kScanData = 0x00;          // read by blocks
constexpr uint32_t kAcquisitionFlag = 0x04;
constexpr uint32_t kArmFlag = 0x05;
constexpr uint32_t kReadPointer = 0x08;       // 32 bit
constexpr uint32_t kLineCountLow = 0x10;      // 24-bit scan-line counter, low to high byte
constexpr uint32_t kLineCountMiddle = 0x11;
constexpr uint32_t kLineCountHigh = 0x12;
constexpr uint32_t kChecksum = 0x20;          // 16 bit; any write restarts it
constexpr uint32_t kSizeQuarter = 0x30;       // buffer size in MiB / 4
constexpr uint32_t kSizeHalf = 0x31;          // buffer size in MiB / 2
constexpr uint32_t kSizeLess2 = 0x32;         // buffer size in MiB - 2
constexpr uint32_t kWordsWaiting = 0x33;      // 32 bit
constexpr uint32_t kStatusExtra = 0x34;
constexpr uint32_t kWritePointer = 0x37;      // 32 bit; an 8-bit write of 0 resets it
constexpr uint32_t kMemoryType = 0x38;
// Erase lamps of the second model, one group per slot.
constexpr uint32_t kLamp1Flags = 0x41;
constexpr uint32_t kLamp1Control = 0x42;
constexpr uint32_t kLamp1Extra = 0x43;
constexpr uint32_t kLamp1Command = 0x44;
constexpr uint32_t kLamp1Busy = 0x45;
constexpr uint32_t kLamp2Flags = 0x49;
constexpr uint32_t kLamp2Control = 0x4A;
constexpr uint32_t kLamp2Extra = 0x4B;
constexpr uint32_t kLamp2Command = 0x4C;
constexpr uint32_t kLamp2Busy = 0x4D;
constexpr uint32_t kLampErase = 0x70;
constexpr uint32_t kLampOnTime = 0x71;
constexpr uint32_t kLampTiming = 0x72;
constexpr uint32_t kI2cPins = 0x80;
constexpr uint32_t kEepromWriteEnable = 0x81;
constexpr uint32_t kMotorPort = 0x82;
constexpr uint32_t kSlotLines = 0x90;
constexpr uint32_t kShuttleDividerLow = 0xA0;  // shuttle step divider - 1
constexpr uint32_t kShuttleDividerHigh = 0xA1;
constexpr uint32_t kShuttleSetting = 0xA2;
constexpr uint32_t kShuttleCommand = 0xA3;
constexpr uint32_t kInlet = 0xA4;              // read: sensors in the low nibble; bits 6-7 type lock
constexpr uint32_t kSlotSetting = 0xA6;
constexpr uint32_t kTransportSetting = 0xA7;
constexpr uint32_t kLaser = 0xB0;              // bits 0-3 power, 4-5 laser mode, 6-7 acquisition
constexpr uint32_t kEraseIndex = 0xB1;
constexpr uint32_t kEraseData = 0xB2;
constexpr uint32_t kEraseLampMode = 0xB3;
constexpr uint32_t kStartPixel = 0xC0;         // 16 bit, start pixel - 5
constexpr uint32_t kPixelCount = 0xC2;         // 16 bit
constexpr uint32_t kLineTest = 0xC4;
constexpr uint32_t kOversampling = 0xD0;       // samples - 1, low 5 bits
constexpr uint32_t kAdcOffset = 0xD2;          // 16 bit
constexpr uint32_t kAdcThreshold = 0xE0;       // 16 bit
constexpr uint32_t kAdcOutput = 0xE2;
constexpr uint32_t kAdcAccumulator = 0xE4;     // 16 bit
constexpr uint32_t kControl = 0xF0;
constexpr uint32_t kStatus = 0xF8;
constexpr uint32_t kPortRelease = 0xFF;
}  // namespace registers

// Values and bits of the registers above.
namespace bits {
constexpr uint8_t kSda = 0x80;              // kI2cPins: data line, 1 = released
constexpr uint8_t kScl = 0x02;              // kI2cPins: clock line
constexpr uint8_t kMotorData = 0x01;        // kMotorPort
constexpr uint8_t kMotorClock = 0x02;
constexpr uint8_t kMotorLoad = 0x04;
constexpr uint8_t kBufferReset = 0x80;      // kControl
constexpr uint8_t kHighVoltageOn = 0x08;    // kControl
constexpr uint8_t kPlateInScan = 0x01;      // kStatus
constexpr uint8_t kPlateLeft = 0x08;        // kStatus: an event, kept until acknowledged
constexpr uint8_t kEraseReport = 0x20;      // kStatus
constexpr uint8_t kAcquisitionOn = 0x40;    // kLaser
constexpr uint8_t kLaserModeMask = 0x30;    // kLaser
constexpr uint8_t kLaserCalibration = 0x10; // kLaser: mode 1
constexpr uint8_t kInletSensors = 0x0F;     // kInlet, read
constexpr uint8_t kTypeLockIntra = 0x40;    // kInlet
constexpr uint8_t kTypeLockExtra = 0x80;    // kInlet
constexpr uint8_t kShuttleScanMask = 0xF3;  // kShuttleCommand without the direction flags
constexpr uint8_t kShuttleScan = 0x73;
constexpr uint8_t kIdpromWritable = 0x0A;   // kEepromWriteEnable
constexpr uint8_t kPortReleased = 0x40;     // kPortRelease
}  // namespace bits

// Scan-data stream: 32-bit words of two 16-bit values.
namespace stream {
constexpr uint16_t kMaxValue = 0xFFEF;    // highest pixel value
constexpr uint16_t kSkipMarker = 0xFFF1;  // the next value counts the positions skipped
constexpr uint16_t kLineMarker = 0xFFFE;  // a new line; the next value is its first position
}  // namespace stream

// I2C devices (8-bit write addresses).
namespace i2c_address {
constexpr uint8_t kAdcDac = 0x90;
constexpr uint8_t kLaserSensor = 0x92;
constexpr uint8_t kSecondSensor = 0x94;
constexpr uint8_t kMemoryModule = 0xA0;     // serial-presence-detect EEPROM of the buffer RAM
constexpr uint8_t kIdentificationProm = 0xA8;
constexpr uint8_t kDataProm = 0xAA;
}  // namespace i2c_address

}  // namespace lumora_emu
