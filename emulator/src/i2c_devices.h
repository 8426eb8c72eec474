// Device models on the I2C bus: EEPROMs (identification, data, buffer-RAM SPD), the
// 4-channel ADC with DAC, and the temperature sensors.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "clock.h"
#include "i2c_bus.h"

namespace lumora_emu {

// 256-byte EEPROM with a byte address pointer and sequential read. Written bytes are stored at
// the stop condition and start a write cycle during which the device does not acknowledge its
// address. While not writable, data bytes are not acknowledged and nothing is stored.
class Eeprom : public I2cDevice {
public:
    Eeprom(const EmuClock& clock, uint32_t writeCycleUs) : clock_(clock), cycleUs_(writeCycleUs) {}
    std::vector<uint8_t> data = std::vector<uint8_t>(256, 0xFF);
    std::function<bool()> writable = [] { return true; };
    std::function<void()> onCommit;

    bool AcceptsAddress() override { return clock_.NowUs() >= busyUntilUs_; }
    void Begin(bool read) override;
    bool Write(uint8_t value) override;
    uint8_t Read() override { return data[pointer_++]; }
    void End(bool byStop) override;
    void ResetState() { pointer_ = 0; pending_.clear(); busyUntilUs_ = 0; }

private:
    const EmuClock& clock_;
    uint32_t cycleUs_;
    uint64_t busyUntilUs_ = 0;
    uint8_t pointer_ = 0;
    bool expectPointer_ = false;
    std::vector<std::pair<uint8_t, uint8_t>> pending_;
};

// 8-bit ADC with 4 inputs and one DAC output. Control byte 0x40 | channel (bit 6: DAC output
// on); further bytes written go to the DAC. Each byte read starts a new conversion and
// returns the one before, so the first byte after a channel change is the old result.
class AdcDac : public I2cDevice {
public:
    std::function<uint8_t(int channel)> convert;
    uint8_t dac = 0;
    uint32_t dacWrites = 0;

    void Begin(bool read) override { expectControl_ = !read; }
    bool Write(uint8_t value) override;
    uint8_t Read() override;
    void ResetState() { dac = 0; dacWrites = 0; channel_ = 0; previous_ = 0x80; }

private:
    bool expectControl_ = false;
    int channel_ = 0;
    uint8_t previous_ = 0x80;
};

// Temperature sensor: pointer register (0 temperature, 1 configuration, 2 hysteresis, 3 limit);
// 16-bit registers go high byte first; the temperature is 1/256 °C in 0.5 °C steps.
class TempSensor : public I2cDevice {
public:
    std::function<double()> celsius;
    uint8_t config = 0;
    uint16_t thyst = 0x4B00, tos = 0x5000;

    void Begin(bool read) override;
    bool Write(uint8_t value) override;
    uint8_t Read() override;
    void ResetState() { config = 0; thyst = 0x4B00; tos = 0x5000; pointer_ = 0; }
    uint16_t Temperature() const;

private:
    uint8_t pointer_ = 0;
    bool expectPointer_ = false;
    int index_ = 0;
    uint16_t latched_ = 0;
};

}  // namespace lumora_emu
