// Checked block read of the scan-data buffer RAM.
#pragma once
#include <cstdint>

#include "devicelink/scanner_link.h"

namespace devicelink {

// Reads the 32-bit words waiting, as many whole words as fit in bufferBytes, and compares
// their 16-bit sum with the hardware's transfer checksum. A bad transfer is read again from
// the same read pointer, up to `attempts` transfers in all (at least one); each bad one counts
// in *failures. 0 with *bytesRead as the driver reported it (0 when nothing waits), or
// -200 with *bytesRead 0.
int ReadCheckedBlock(ScannerLink& link, uint16_t* buffer, uint32_t bufferBytes,
                     uint32_t* bytesRead, uint32_t attempts, uint32_t* failures);

}  // namespace devicelink
