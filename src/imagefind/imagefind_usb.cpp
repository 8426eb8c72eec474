#include "imagefind/imagefind_usb.h"
#include "lumora/lumora.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/log_channel.h"
#include "platform/runtime_lock.h"
#include "devicelink/registers.h"
#include "devicelink/lumorausb.h"

namespace {

const char* const MUTEX_FILE = "USB_SCANNER_USED.lock";
const char* const MUTEX_REMOVED = "CreateMutex USB_SCANNER_USED removed";

std::string LockFilePath() { return platform::RuntimeDir() + "/" + MUTEX_FILE; }

// The cross-process guard USB_SCANNER_USED: an exclusive flock on the lock file. The kernel
// drops it with the last descriptor, so a process that dies never leaves it held. The
// descriptor is returned even when the lock is refused (*owned false); -1 when the file
// cannot be opened.
int AcquireScannerLock(bool* owned) {
    *owned = false;
    std::string path = LockFilePath();
    int fd = platform::OpenLockFile(path);
    // A lock file another user created stays usable: flock needs no write access.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -1;
    *owned = platform::TryExclusiveLock(fd);
    return fd;
}

}  // namespace

#define USB platform::LumoraUsb()

ImageFindUSB::ImageFindUSB() { InterfaceKind = INTERFACE_USB; }

ImageFindUSB::~ImageFindUSB() {
    // A scanner object destroyed without Free_Interface must not keep the scanner locked.
    if (MutexHandle >= 0) ::close(MutexHandle);
    MutexHandle = -1;
}

int ImageFindUSB::OpenDevice() {
    if (!USB) return LUMORA_E_INIT;
    USB->SetUsbTimeout(5000);
    return 0;
}

bool ImageFindUSB::IsFirmwareRunning() {
    if (!USB) return false;
    USB->GetLastLumoraError(1);
    USB->RegRead(reg::STATUS);
    return USB->GetLastLumoraError(0) == 0;
}

int ImageFindUSB::Init_Interface() {
    bool owned = false;
    int fd = AcquireScannerLock(&owned);
    if (fd >= 0) {
        if (owned || MutexHandle < 0) {
            if (MutexHandle >= 0) ::close(MutexHandle);
            MutexHandle = fd;
        } else {
            ::close(fd);  // keep the descriptor already stored: it may own the lock
        }
    }
    if (fd < 0 || !owned) {
        LogPrint(LOG_ERROR, "%s Mutex USB_SCANNER_USED error", "ImageFindUSB::Init_Interface");
        return LUMORA_E_INIT;
    }
    LogPrint(LOG_DETAIL, "CreateMutex USB_SCANNER_USED success");
    int r = USB ? USB->Init_Interface() : LUMORAUSB_NO_DEVICE;
    if (r != 0) {
        LogPrint(LOG_ERROR, "USB::Init_Interface() error %d", r);
        ::close(MutexHandle);
        MutexHandle = -1;
        LogPrint(LOG_DETAIL, "%s", MUTEX_REMOVED);
        return r;
    }
    return 0;
}

int ImageFindUSB::Init_Firmware(const char* hexFile, int onlyIfNotRunning) {
    if (!USB) return LUMORAUSB_NO_DEVICE;
    int r = USB->Init_Firmware(hexFile, onlyIfNotRunning);
    if (r == 0 && USB->RegRead(reg::STATUS) == 0xFF) return LUMORA_E_FW_NOT_RUNNING;
    return r;
}

int ImageFindUSB::Free_Interface() {
    if (USB) USB->Free_Interface();
    if (MutexHandle >= 0) {
        ::close(MutexHandle);
        MutexHandle = -1;
        LogPrint(LOG_DETAIL, "%s", MUTEX_REMOVED);
    }
    return 0;
}

uint8_t ImageFindUSB::RegRead(uint32_t reg) { return USB ? USB->RegRead(reg) : 0; }
uint16_t ImageFindUSB::RegReadShort(uint32_t reg) { return USB ? USB->RegReadShort(reg) : 0; }
uint32_t ImageFindUSB::RegReadLong(uint32_t reg) { return USB ? USB->RegReadLong(reg) : 0; }

int ImageFindUSB::RegWrite(uint32_t reg, uint8_t value) {
    return USB ? USB->RegWrite(reg, value) : 0;
}

int ImageFindUSB::RegWriteShort(uint32_t reg, uint16_t value) {
    return USB ? USB->RegWriteShort(reg, value) : 0;
}

int ImageFindUSB::RegWriteLong(uint32_t reg, uint32_t value) {
    return USB ? USB->RegWriteLong(reg, value) : 0;
}

int ImageFindUSB::ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) {
    if (!USB) {
        if (bytesRead) *bytesRead = 0;
        return LUMORAUSB_NOT_OPEN;
    }
    return USB->ReadBlock(buffer, bufferBytes, bytesRead);
}

int ImageFindUSB::GetScanStatus(ScanStatus* out) {
    if (!USB) return LUMORAUSB_NOT_OPEN;
    USB->GetLastLumoraError(1);
    out->error = 0;
    return USB->GetScanStatus(out);
}

void ImageFindUSB::I2C_TEMPinit(uint8_t device, int16_t limit) {
    if (USB) USB->I2C_TEMPinit(device, limit);
}

int16_t ImageFindUSB::I2C_TEMPread(uint8_t device) {
    return USB ? USB->I2C_TEMPread(device) : TEMP_NO_ANSWER;
}

void ImageFindUSB::ClearReadBlock() { HW_access::ClearReadBlock(); }

uint32_t ImageFindUSB::Anz_ScanLine() { return USB ? USB->Anz_ScanLine() : 0; }

int ImageFindUSB::Pentamotor_init(uint16_t speed) {
    return USB ? USB->Pentamotor_init(speed) : LUMORAUSB_NOT_OPEN;
}

int ImageFindUSB::I2C_PROM_read(uint8_t* buffer, uint8_t device, uint8_t first, uint8_t last) {
    if (!USB) return LUMORA_E_I2C_NACK;
    USB->GetLastLumoraError(1);
    int r = USB->I2C_PROM_read(buffer, device, first, last);
    if (r & 0xFFFF) r = USB->I2C_PROM_read(buffer, device, first, last);
    return int16_t(r & 0xFFFF);
}

int ImageFindUSB::I2C_PROM_write(const uint8_t* buffer, uint8_t device, uint8_t first,
                                 uint8_t last) {
    return USB ? USB->I2C_PROM_write(buffer, device, first, last) : -1007;
}

int ImageFindUSB::I2C_DACout(uint8_t device, uint8_t value) {
    return USB ? USB->I2C_DACout(device, value) : -1007;
}

uint8_t ImageFindUSB::I2C_ADCread(uint8_t device, uint8_t channel) {
    return USB ? USB->I2C_ADCread(device, channel) : 0;
}
