// C++ API of the scanner emulator, for tests and tools. There is one emulated device per
// process; the C entry of driver.h and this API reach the same one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumora_emu {

enum class Model { Main, Second };
enum class ClockMode { Stepped, Realtime, Fast };

// Bus traffic seen by the byte-level I2C bus (both the pin decoder and lumora_emu_i2c_*).
struct I2cTraffic {
    uint64_t starts = 0;     // start and repeated start conditions
    uint64_t stops = 0;
    uint64_t bytesWritten = 0;
    uint64_t bytesRead = 0;
    uint64_t nacks = 0;      // address or data bytes nobody acknowledged
};

// One plate to be fed at an inlet.
struct PlateEntry {
    std::string image = "phantom:stepwedge";  // phantom:stepwedge|bars|shapes|flat, or a file path
    int slot = 1;                             // inlet slot 1 … 4
    double atSeconds = 0.5;                   // emulated seconds after arming when it reaches the inlet
    uint16_t width = 0, height = 0;           // phantom size (0 = the phantom's default)
    int type = 0;                             // 0 any, 1 intra-oral, 2 extra-oral (type lock)
    uint16_t level = 32768;                   // grey value of phantom:flat
    // A plate that stays with the scanner (a reference plate held by the technician): put
    // into its inlet atSeconds after it is fed, without waiting for the transport; held at the
    // scan line (its rows over and over, inlet sensor on) while the transport runs; taken out
    // when the transport stops and put back atSeconds later.
    bool stay = false;
};

// A 16-bit image (row by row, top row first).
struct PlateImage {
    uint16_t width = 0, height = 0;
    std::vector<uint16_t> pixels;
    uint16_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Where a plate is in the transport.
enum class PlateStage { Pending, AtInlet, Travelling, InScan, Done };
struct PlateState {
    int slot = 0;
    PlateStage stage = PlateStage::Pending;
    uint32_t firstLine = 0;   // line-counter value of the plate's first row (valid from InScan)
    uint32_t xOffset = 0;     // pixel position of the plate's first column
    uint16_t width = 0, height = 0;
};

struct DeviceConfig;  // device description (device_config.h)
struct State;

class Device {
public:
    Device();
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // --- description -------------------------------------------------------------------
    // Back to the built-in default device (or the file named by LUMORA_EMULATOR when
    // fromEnvironment is true). Faults, plates, FIFO, registers and clock start afresh.
    void Reset(bool fromEnvironment = false);
    // Loads a device description file; false with a message when it cannot be read (the
    // device then keeps the defaults). Bad values inside a readable file fall back to their
    // defaults and are listed in *warnings.
    bool LoadDescription(const std::string& path, std::string* error = nullptr,
                         std::vector<std::string>* warnings = nullptr);
    // Same, from the text of a description.
    void LoadDescriptionText(const std::string& text, std::vector<std::string>* warnings = nullptr);
    Model GetModel() const;

    // --- registers and driver requests ---------------------------------------------------
    uint8_t ReadRegister8(uint32_t reg);
    uint16_t ReadRegister16(uint32_t reg);
    uint32_t ReadRegister32(uint32_t reg);
    void WriteRegister8(uint32_t reg, uint8_t value);
    void WriteRegister16(uint32_t reg, uint16_t value);
    void WriteRegister32(uint32_t reg, uint32_t value);
    // The stored byte of a register, without side effects or time passing.
    uint8_t PeekRegister(uint32_t reg) const;
    uint64_t RequestCount() const;          // driver requests answered since reset
    uint64_t BlockTransfers() const;        // block reads of the data port since reset
    uint32_t PortReleaseWrites() const;     // writes of 0x40 to register 0xFF since reset
    bool PortClaimed() const;
    bool FirmwareRunning() const;
    std::vector<uint8_t> LastFirmwareImage() const;

    // --- I2C ------------------------------------------------------------------------------
    I2cTraffic GetI2cTraffic() const;
    void ClearI2cTraffic();
    // Byte-level access (the same bus the pin decoder drives): 0 = acknowledged.
    int I2cStart(uint8_t addressByte);
    int I2cWrite(uint8_t value);
    uint8_t I2cRead(bool acknowledge);
    void I2cStop();
    std::vector<uint8_t> Idprom() const;    // 256 bytes
    std::vector<uint8_t> Datprom() const;   // 256 bytes
    void SetIdprom(const std::vector<uint8_t>& bytes);
    void SetDatprom(const std::vector<uint8_t>& bytes);
    uint8_t DacValue() const;               // last value the DAC received
    double HighVoltage() const;             // volts at the photomultiplier now

    // --- motor ----------------------------------------------------------------------------
    std::vector<uint16_t> MotorWords() const;  // last words received, oldest first
    void ClearMotorWords();
    uint32_t PolygonSpeed() const;             // rpm, 0 when off

    // --- buffer RAM -----------------------------------------------------------------------
    void PushFifo(const uint32_t* words, size_t count);
    void PushFifo(const std::vector<uint32_t>& words) { PushFifo(words.data(), words.size()); }
    size_t FifoWords() const;
    size_t FifoCapacity() const;            // words
    uint32_t LineCounter() const;

    // --- clock ----------------------------------------------------------------------------
    void AdvanceMs(uint64_t ms);            // moves emulated time (and the plates) at once
    void WaitMs(uint32_t ms);               // as lumora_emu_wait_ms: sleeps in real-time modes
    uint64_t WallUsFor(uint32_t ms) const;  // wall time such a wait takes (0 in stepped mode)
    uint64_t NowMs() const;
    uint64_t NowUs() const;
    void SetClockMode(ClockMode mode, double factor = 1.0);
    ClockMode GetClockMode() const;

    // --- faults ---------------------------------------------------------------------------
    void CorruptNextTransfers(int count);   // block reads whose checksum register disagrees
    void SetI2cSilent(uint8_t address, bool silent);        // device stops acknowledging
    void RemoveTemperatureSensor(uint8_t address, bool removed = true);
    void SetLaserTemperature(double celsius);
    void SetSecondTemperature(double celsius);
    void SetAmbientLight(uint16_t level);   // 16-bit sample scale, seen while HV is on
    void SetDarkLevel(uint16_t level);      // 16-bit sample scale, always present
    // Photomultiplier gain (V / referenceVolts) ^ exponent while the high voltage is on;
    // exponent 0 gives gain 1 at every voltage.
    void SetPmtGain(double exponent, double referenceVolts);
    void SetHighVoltageStays(bool stays);   // HV does not decay when switched off
    void SetConfigStatusBit4(bool on);      // configuration status reports bit 4 before download
    void SetDownloadFails(bool fails);      // a download does not start the device
    void SetFirmwareRunning(bool running);
    void FillOldData(size_t words);         // data left from an interrupted scan
    void SetEraseUnitAnswering(bool answering);
    // A device answering nonsense: reads of that register address (8, 16 or 32 bits) give
    // the value, cut to the read width, until cleared. Writes keep their effects.
    void ForceRead(uint32_t reg, uint32_t value);
    void ClearForcedReads();
    void SetEraseUnitReport(bool report);   // status bit 5: the erase unit has a report
    void SetLampStatus(int lamp, uint8_t value);  // second model registers 0x41/0x49

    // --- plates ---------------------------------------------------------------------------
    void FeedPlate(const PlateEntry& plate);
    std::vector<PlateState> Plates() const;
    // The image a plate entry resolves to (phantom or file); false with a message on failure.
    static bool LoadPlateImage(const PlateEntry& entry, PlateImage* out, std::string* error);
    // Pixel position of slot n's first plate column for the current pixels-per-line setting.
    uint32_t SlotOffset(int slot) const;

    std::recursive_mutex& Mutex() const;
    State& Internal() { return *s_; }

private:
    std::unique_ptr<State> s_;
};

// The one emulated device of the process.
Device& TheDevice();

// How a plate pixel becomes a value of the scan-data stream: the ADC sums n = (register
// 0xD0 & 31) + 1 samples of 12 bits (a 16-bit pixel / 16) and halves the sum above 16
// samples; the offset of registers 0xD2/0xD3 is then subtracted (floor at 0) and the result
// capped at 0xFFEF.
uint16_t StreamValue(uint16_t pixel16, uint16_t dark16, uint8_t ovsRegister, uint16_t offset);

}  // namespace lumora_emu
