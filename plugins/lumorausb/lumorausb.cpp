// USB access library of the scanner. A USB scanner runs the register protocol and the I2C
// bus in its own firmware; here the emulator stands in for the device: registers through its
// driver requests, the I2C devices on its byte-level bus. The emulator is the one of this
// process, or the lumora-emud daemon's when LUMORA_USB_DEVICE names its socket (unix:PATH).
#include <cstdlib>
#include <mutex>

#include "devicelink/block_read.h"
#include "devicelink/driver_codes.h"
#include "devicelink/firmware_download.h"
#include "devicelink/lumorausb.h"
#include "devicelink/registers.h"
#include "devicelink/scan_status.h"
#include "lumora/lumora.h"
#include "platform/emulator_daemon.h"
#include "platform/emulator_entry.h"

#define USB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const platform::EmulatorEntry* emu = nullptr;  // the device behind the bus
int handle = 0;           // 0 = not open
int lastError = 0;        // first failure since the last reset
bool configured = false;  // the firmware configured the scanner's FPGA
uint32_t timeoutMs = 5000;
std::mutex busLock;       // one transfer sequence at a time

constexpr uint32_t BLOCK_ATTEMPTS = 10;
constexpr int ACK_POLL_LIMIT = 21;
constexpr uint8_t READ_BIT = 0x01;

// LUMORA_USB_DEVICE=unix:PATH: the emulator in the lumora-emud daemon; else in this process.
bool LoadDevice() {
    if (!emu) {
        const char* socket = platform::DaemonSocket(std::getenv("LUMORA_USB_DEVICE"));
        emu = socket ? platform::EmulatorDaemon(socket) : platform::Emulator();
    }
    return emu != nullptr;
}

void Fail(int code) {
    if (lastError == 0) lastError = code;
}

bool Transfer(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
              uint32_t* returned = nullptr) {
    if (returned) *returned = 0;
    if (!handle) {
        Fail(LUMORAUSB_NOT_OPEN);
        return false;
    }
    uint32_t got = 0;
    if (emu->request(handle, code, in, inSize, out, outSize, &got) != 0) {
        Fail(LUMORAUSB_TRANSFER);
        return false;
    }
    if (returned) *returned = got;
    return true;
}

// The scanner's registers sit behind its FPGA: until the firmware configured it, the USB
// controller cannot reach them and reports the transfer as failed. The state is read from the
// device when the interface opens and follows every firmware download.
bool QueryConfigured() {
    uint32_t status = 0;
    configured = Transfer(IOCTL_INTERFACE_STATUS, nullptr, 0, &status, sizeof status) &&
                 (status & STATUS_BIT_RUNNING);
    return configured;
}

bool RegistersReachable() {
    if (configured) return true;
    Fail(LUMORAUSB_TRANSFER);
    return false;
}

template <typename T>
T ReadRegister(uint32_t code, uint32_t reg) {
    T value = 0;
    if (RegistersReachable()) Transfer(code, &reg, sizeof reg, &value, sizeof value);
    return value;
}

template <typename T>
int WriteRegister(uint32_t code, uint32_t reg, T value) {
    if (!RegistersReachable()) return 0;
    if (!Transfer(IOCTL_SELECT, &reg, sizeof reg, nullptr, 0)) return 0;
    return Transfer(code, &value, sizeof value, nullptr, 0) ? 1 : 0;
}

uint8_t Read8(uint32_t reg) { return ReadRegister<uint8_t>(IOCTL_READ8, reg); }
uint16_t Read16(uint32_t reg) { return ReadRegister<uint16_t>(IOCTL_READ16, reg); }
uint32_t Read32(uint32_t reg) { return ReadRegister<uint32_t>(IOCTL_READ32, reg); }

// Byte-level bus transactions; they need an open device.
bool BusReady() {
    if (handle) return true;
    Fail(LUMORAUSB_NOT_OPEN);
    return false;
}

// Start and device address with acknowledge polling for a device in its write cycle.
bool AddressWithPolling(uint8_t device) {
    if (emu->i2c_start(device) == 0) return true;
    for (int repeat = 1; repeat <= ACK_POLL_LIMIT + 1; ++repeat) {
        emu->wait_ms(1);
        if (emu->i2c_start(device) == 0 && repeat <= ACK_POLL_LIMIT) return true;
    }
    return false;
}

int16_t TempRead(uint8_t device) {
    emu->i2c_stop();
    int nack = emu->i2c_start(device);
    nack |= emu->i2c_write(0);
    nack |= emu->i2c_start(device | READ_BIT);
    uint8_t high = emu->i2c_read(1);
    uint8_t low = emu->i2c_read(0);
    emu->i2c_stop();
    return nack ? int16_t(-32768) : int16_t(uint16_t(high << 8 | low));
}

bool FirmwareAnswers() {
    if (!QueryConfigured()) return false;
    int before = lastError;
    lastError = 0;
    Read8(reg::STATUS);
    bool ok = lastError == 0;
    if (before) lastError = before;
    return ok;
}

// The scanner over USB as the shared routines of the register protocol see it. Callers hold
// busLock. A transfer that brings fewer bytes than asked for has failed.
class UsbLink final : public devicelink::ScannerLink {
public:
    uint8_t RegRead(uint32_t reg) override { return Read8(reg); }
    uint16_t RegReadShort(uint32_t reg) override { return Read16(reg); }
    uint32_t RegReadLong(uint32_t reg) override { return Read32(reg); }
    int RegWrite(uint32_t reg, uint8_t value) override {
        return WriteRegister(IOCTL_WRITE8, reg, value);
    }
    int RegWriteLong(uint32_t reg, uint32_t value) override {
        return WriteRegister(IOCTL_WRITE32, reg, value);
    }
    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* returned) override {
        uint32_t got = 0;
        bool ok = Transfer(code, in, inSize, out, outSize, &got);
        if (returned) *returned = got;
        return ok && got == outSize;
    }
    int RequestError() override { return LUMORAUSB_TRANSFER; }
    bool FirmwareRunning() override { return FirmwareAnswers(); }
};

}  // namespace

USB_EXPORT int Init_Interface(void) {
    std::lock_guard<std::mutex> lock(busLock);
    if (handle) return 0;
    if (!LoadDevice()) return LUMORAUSB_NO_DEVICE;
    int h = emu->open();
    if (h <= 0) return LUMORAUSB_NO_DEVICE;
    handle = h;
    lastError = 0;
    QueryConfigured();
    return 0;
}

USB_EXPORT int Free_Interface(void) {
    std::lock_guard<std::mutex> lock(busLock);
    if (handle) emu->close(handle);
    handle = 0;
    configured = false;
    return 0;
}

USB_EXPORT int SetUsbTimeout(uint32_t ms) {
    timeoutMs = ms;
    return 0;
}

USB_EXPORT int GetLastLumoraError(int reset) {
    std::lock_guard<std::mutex> lock(busLock);
    int error = lastError;
    if (reset) lastError = 0;
    return error;
}

USB_EXPORT uint8_t RegRead(uint32_t reg) {
    std::lock_guard<std::mutex> lock(busLock);
    return Read8(reg);
}

USB_EXPORT uint16_t RegReadShort(uint32_t reg) {
    std::lock_guard<std::mutex> lock(busLock);
    return Read16(reg);
}

USB_EXPORT uint32_t RegReadLong(uint32_t reg) {
    std::lock_guard<std::mutex> lock(busLock);
    return Read32(reg);
}

USB_EXPORT int RegWrite(uint32_t reg, uint8_t value) {
    std::lock_guard<std::mutex> lock(busLock);
    return WriteRegister(IOCTL_WRITE8, reg, value);
}

USB_EXPORT int RegWriteShort(uint32_t reg, uint16_t value) {
    std::lock_guard<std::mutex> lock(busLock);
    return WriteRegister(IOCTL_WRITE16, reg, value);
}

USB_EXPORT int RegWriteLong(uint32_t reg, uint32_t value) {
    std::lock_guard<std::mutex> lock(busLock);
    return WriteRegister(IOCTL_WRITE32, reg, value);
}

// Block read checked against the transfer checksum; the firmware repeats a bad transfer from
// the same read pointer, so data returned with 0 are correct.
USB_EXPORT int ReadBlock(uint16_t* buffer, uint32_t bytes, uint32_t* bytesRead) {
    std::lock_guard<std::mutex> lock(busLock);
    uint32_t unused = 0;
    if (!bytesRead) bytesRead = &unused;
    *bytesRead = 0;
    if (!buffer && bytes) return LUMORAUSB_TRANSFER;
    UsbLink link;
    int rc = devicelink::ReadCheckedBlock(link, buffer, bytes, bytesRead, BLOCK_ATTEMPTS, nullptr);
    if (rc == 0 && *bytesRead == 0 && !handle) return LUMORAUSB_NOT_OPEN;
    return rc;
}

USB_EXPORT int GetScanStatus(ScanStatus* record) {
    std::lock_guard<std::mutex> lock(busLock);
    int before = lastError;
    lastError = 0;
    UsbLink link;
    devicelink::ReadScanStatus(link, record);
    record->error = int16_t(lastError);
    if (before) lastError = before;
    return 0;
}

USB_EXPORT uint32_t Anz_ScanLine(void) {
    std::lock_guard<std::mutex> lock(busLock);
    uint32_t low = Read8(reg::LINE_COUNT_LO);
    uint32_t mid = Read8(reg::LINE_COUNT_MID);
    uint32_t high = Read8(reg::LINE_COUNT_HI);
    return high << 16 | mid << 8 | low;
}

USB_EXPORT uint8_t I2C_ADCread(uint8_t device, uint8_t channel) {
    std::lock_guard<std::mutex> lock(busLock);
    if (channel > 3 || !BusReady()) return 0;
    emu->i2c_start(device);
    emu->i2c_write(0x40 | channel);
    emu->i2c_stop();
    emu->i2c_start(device | READ_BIT);
    emu->i2c_read(1);  // the previous conversion
    uint8_t value = emu->i2c_read(0);
    emu->i2c_stop();
    return value;
}

USB_EXPORT int I2C_DACout(uint8_t device, uint8_t value) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return -1007;
    int nack = emu->i2c_start(device);
    nack |= emu->i2c_write(0x40);
    nack |= emu->i2c_write(value);
    emu->i2c_stop();
    return nack ? -1007 : 0;
}

USB_EXPORT int I2C_TEMPinit(uint8_t device, int16_t limit) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return -1007;
    const uint16_t l = uint16_t(limit);
    const uint16_t hysteresis = uint16_t(limit - 0x300);
    const uint8_t writes[4][4] = {
        {1, 0, 0, 2},
        {3, uint8_t(l >> 8), uint8_t(l), 3},
        {2, uint8_t(hysteresis >> 8), uint8_t(l), 3},
        {0, 0, 0, 1},
    };
    emu->i2c_stop();
    for (const auto& w : writes) {  // pointer, data..., byte count in [3]
        emu->i2c_start(device);
        for (int i = 0; i < w[3]; ++i) emu->i2c_write(w[i]);
        emu->i2c_stop();
    }
    TempRead(device);
    emu->wait_ms(150);
    return 0;
}

USB_EXPORT int16_t I2C_TEMPread(uint8_t device) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return -32768;
    return TempRead(device);
}

USB_EXPORT int I2C_PROM_read(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return -1007;
    emu->i2c_start(device);
    emu->i2c_write(first);
    if (emu->i2c_start(device | READ_BIT) != 0) {
        emu->i2c_stop();
        return -1007;
    }
    for (int a = first; a <= last; ++a) buffer[a - first] = emu->i2c_read(1);
    emu->i2c_read(0);
    emu->i2c_stop();
    return 0;
}

USB_EXPORT int I2C_PROM_write(const uint8_t* buffer, uint8_t device, uint8_t first,
                              uint8_t last) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return -1007;
    if (device == i2c::IDPROM) WriteRegister(IOCTL_WRITE8, reg::EEPROM_WE, uint8_t(0x0A));
    int result = 0;
    for (int a = first; a <= last; ++a) {
        emu->i2c_stop();
        if (!AddressWithPolling(device)) {
            WriteRegister(IOCTL_WRITE8, reg::EEPROM_WE, uint8_t(0));
            return -1007;
        }
        if (emu->i2c_write(uint8_t(a))) result = -1007;
        if (emu->i2c_write(buffer[a - first])) result = -1007;
        emu->i2c_stop();
        emu->wait_ms(1);
    }
    WriteRegister(IOCTL_WRITE8, reg::EEPROM_WE, uint8_t(0));
    return result;
}

USB_EXPORT int Init_Firmware(const char* path, int onlyIfNotRunning) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!handle) return LUMORAUSB_NOT_OPEN;
    UsbLink link;
    int rc = devicelink::InitFirmware(link, path, onlyIfNotRunning);
    // A download that was sent tells whether the FPGA is configured now.
    if (rc == 0 || rc == LUMORA_E_FW_NOT_RUNNING) configured = rc == 0;
    return rc;
}

USB_EXPORT int Pentamotor_init(uint16_t speed) {
    std::lock_guard<std::mutex> lock(busLock);
    if (!BusReady()) return LUMORAUSB_NOT_OPEN;
    if (speed == 0) {
        emu->motor_word(6819);
        return 0;
    }
    uint16_t word = uint16_t(4223 - 6000000 / int(speed));
    emu->motor_word(word);
    emu->motor_word(word);
    return 0;
}
