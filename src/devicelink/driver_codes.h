// Request codes of the scanner's kernel driver (CTL_CODE(0x22, function, buffered, any access)).
#pragma once
#include <cstdint>

constexpr uint32_t DriverCode(uint32_t function) { return (0x22u << 16) | (function << 2); }

constexpr uint32_t IOCTL_CLAIM_PORT = DriverCode(0x801);        // 0x222004
constexpr uint32_t IOCTL_RELEASE_PORT = DriverCode(0x802);      // 0x222008
constexpr uint32_t IOCTL_PORT_INFO = DriverCode(0x803);         // 0x22200C, 16 bytes out
constexpr uint32_t IOCTL_INTERFACE_STATUS = DriverCode(0x808);  // 0x222020, 4 bytes out
constexpr uint32_t IOCTL_CONFIG_STATUS = DriverCode(0x809);     // 0x222024, 4 bytes out
constexpr uint32_t IOCTL_DOWNLOAD = DriverCode(0x80A);          // 0x222028, image in, 4 out
constexpr uint32_t IOCTL_SELECT = DriverCode(0x80C);            // 0x222030, 4-byte address in
constexpr uint32_t IOCTL_READ8 = DriverCode(0x80D);             // 0x222034
constexpr uint32_t IOCTL_READ16 = DriverCode(0x80E);            // 0x222038 (also block read)
constexpr uint32_t IOCTL_READ32 = DriverCode(0x80F);            // 0x22203C
constexpr uint32_t IOCTL_WRITE8 = DriverCode(0x810);            // 0x222040
constexpr uint32_t IOCTL_WRITE16 = DriverCode(0x811);           // 0x222044
constexpr uint32_t IOCTL_WRITE32 = DriverCode(0x812);           // 0x222048

static_assert(IOCTL_CLAIM_PORT == 0x222004 && IOCTL_WRITE32 == 0x222048, "driver codes");

constexpr uint32_t STATUS_BIT_RUNNING = 0x10;  // interface/config/download status bit 4
