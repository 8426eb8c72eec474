// Everything the one emulated device holds. Accessed only under State::mu.
#pragma once
#include <array>
#include <map>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "buffer_ram.h"
#include "clock.h"
#include "device_config.h"
#include "device_map.h"
#include "i2c_bus.h"
#include "i2c_devices.h"
#include "i2c_pins.h"
#include "motor_serial.h"
#include "optics.h"
#include "plate_transport.h"

namespace lumora_emu {

constexpr uint32_t kEepromCycleUs = 5000;
constexpr uint32_t kLampBusyUs = 1500000;
constexpr double kVoltsPerDacCount = 4.883;

struct State {
    State();
    mutable std::recursive_mutex mu;
    DeviceConfig cfg;
    EmuClock clock;
    std::chrono::steady_clock::time_point wallStart;
    uint64_t emuAtWallStart = 0;

    BufferRam fifo;
    I2cBus bus;
    I2cPins pins{bus};
    Eeprom idprom{clock, kEepromCycleUs};
    Eeprom datprom{clock, kEepromCycleUs};
    Eeprom spd{clock, kEepromCycleUs};
    AdcDac adc;
    TempSensor tempLaser, tempSecond;
    MotorSerial motor;
    PlateTransport transport;
    Optics optics;
    uint32_t testPattern = 0;   // next word of the transfer-test pattern

    std::array<uint8_t, 256> regs{};
    uint32_t selected = 0;
    uint16_t checksum = 0;
    uint32_t lineCounter = 0;
    uint8_t statusEvents = 0;   // status bits 1-7 until acknowledged
    bool firmwareRunning = false;
    bool claimed = false;
    std::set<int> handles;
    int nextHandle = 1;
    std::vector<uint8_t> lastFirmware;

    // faults
    int corruptTransfers = 0;
    bool hvStays = false, hvWasOn = false;
    bool configBit4 = false, downloadFails = false;
    bool eraseReport = false;
    std::map<uint32_t, uint32_t> forcedReads;

    uint64_t lampBusyUntilUs[2] = {0, 0};
    uint8_t lampStatus[2] = {0, 0};

    uint64_t requests = 0, blockTransfers = 0;
    uint32_t portReleaseWrites = 0;

    // --- behaviour (register_map.cpp, device.cpp) ---
    void ApplyConfig();
    void Persist();
    void Sync();                  // realtime modes: follow the wall clock; move the plates
    void Advance(uint64_t us);    // move emulated time and the plates
    void PollStep();              // stepped mode: a polled read takes a little time
    bool HvOn() const { return (regs[registers::kControl] & bits::kHighVoltageOn) != 0; }
    uint16_t Reg16(uint32_t low) const { return uint16_t(regs[low] | regs[low + 1] << 8); }
    double HighVoltage() const;
    uint16_t Accumulator();
    // Register 0x04 set with acquisition off: the buffer RAM serves the transfer test's
    // pattern (on a rewind of the read pointer; as a stream while 0x05 is set as well).
    bool TransferTest() const;
    void FillTestPattern(size_t words);
    uint8_t AdcConvert(int channel) const;

    uint8_t Read8(uint32_t reg);
    uint16_t Read16(uint32_t reg);
    uint32_t Read32(uint32_t reg);
    void Write8(uint32_t reg, uint8_t v);
    void Write16(uint32_t reg, uint16_t v);
    void Write32(uint32_t reg, uint32_t v);
    size_t BlockRead(uint32_t* out, size_t words);
    void FirmwareRestart();
    int Request(int handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                uint32_t outSize, uint32_t* returned);
};

}  // namespace lumora_emu
