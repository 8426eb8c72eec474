#include "hardware/epp_scanner.h"

#include <cerrno>

#include "devicelink/block_read.h"
#include "devicelink/driver_codes.h"
#include "devicelink/firmware_download.h"
#include "devicelink/registers.h"

EPP_Scanner::EPP_Scanner() = default;

EPP_Scanner::~EPP_Scanner() {
    // Only closed: the device node itself stays.
    delete hDevice;
    hDevice = nullptr;
}

bool EPP_Scanner::Request(uint32_t code, const void* in, uint32_t inSize, void* out,
                          uint32_t outSize, uint32_t* returned) {
    if (!hDevice) {
        platform::SetLastError(EBADF);
        if (returned) *returned = 0;
        return false;
    }
    return hDevice->Request(code, in, inSize, out, outSize, returned);
}

int EPP_Scanner::OpenDevice() {
    maxRetries = 10;
    txErrors = 0;
    if (hDevice) return 0;
    hDevice = platform::DriverPort::Open();
    return hDevice ? 0 : -1001;
}

bool EPP_Scanner::IsFirmwareRunning() {
    platform::SetLastError(0);
    uint32_t status = 0;
    if (!Request(IOCTL_INTERFACE_STATUS, nullptr, 0, &status, sizeof status)) return false;
    if (!(status & STATUS_BIT_RUNNING)) return false;
    RegRead(reg::STATUS);
    return platform::LastError() == 0;
}

int EPP_Scanner::Init_Interface() {
    uint32_t returned = 0;
    if (!Request(IOCTL_PORT_INFO, nullptr, 0, portInfo, sizeof portInfo, &returned) ||
        returned != sizeof portInfo) {
        // A short answer is a failure even when the driver left no error number.
        int error = platform::LastError();
        return error ? error : EIO;
    }
    if (!Request(IOCTL_CLAIM_PORT, nullptr, 0, nullptr, 0)) return platform::LastError();
    portClaimed = 1;
    return 0;
}

int EPP_Scanner::Free_Interface() {
    if (portClaimed) {
        RegWrite(reg::PORT_RELEASE, 0x40);
        RegWrite(reg::PORT_RELEASE, 0x40);
    }
    portClaimed = 0;
    if (!Request(IOCTL_RELEASE_PORT, nullptr, 0, nullptr, 0)) return platform::LastError();
    return 0;
}

uint8_t EPP_Scanner::RegRead(uint32_t reg) {
    uint8_t value = 0;
    Request(IOCTL_READ8, &reg, sizeof reg, &value, sizeof value);
    return value;
}

uint16_t EPP_Scanner::RegReadShort(uint32_t reg) {
    uint16_t value = 0;
    Request(IOCTL_READ16, &reg, sizeof reg, &value, sizeof value);
    return value;
}

uint32_t EPP_Scanner::RegReadLong(uint32_t reg) {
    uint32_t value = 0;
    Request(IOCTL_READ32, &reg, sizeof reg, &value, sizeof value);
    return value;
}

int EPP_Scanner::RegWrite(uint32_t reg, uint8_t value) {
    if (!Request(IOCTL_SELECT, &reg, sizeof reg, nullptr, 0)) return 0;
    return Request(IOCTL_WRITE8, &value, sizeof value, nullptr, 0) ? 1 : 0;
}

int EPP_Scanner::RegWriteShort(uint32_t reg, uint16_t value) {
    if (!Request(IOCTL_SELECT, &reg, sizeof reg, nullptr, 0)) return 0;
    return Request(IOCTL_WRITE16, &value, sizeof value, nullptr, 0) ? 1 : 0;
}

int EPP_Scanner::RegWriteLong(uint32_t reg, uint32_t value) {
    if (!Request(IOCTL_SELECT, &reg, sizeof reg, nullptr, 0)) return 0;
    return Request(IOCTL_WRITE32, &value, sizeof value, nullptr, 0) ? 1 : 0;
}

int EPP_Scanner::ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) {
    Link link(*this);
    return devicelink::ReadCheckedBlock(link, buffer, bufferBytes, bytesRead, maxRetries,
                                        &txErrors);
}

int EPP_Scanner::Init_Firmware(const char* hexFile, int onlyIfNotRunning) {
    Link link(*this);
    return devicelink::InitFirmware(link, hexFile, onlyIfNotRunning);
}
