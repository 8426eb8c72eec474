#include "devicelink/block_read.h"

#include "devicelink/driver_codes.h"
#include "devicelink/registers.h"
#include "lumora/lumora.h"

namespace devicelink {

int ReadCheckedBlock(ScannerLink& link, uint16_t* buffer, uint32_t bufferBytes,
                     uint32_t* bytesRead, uint32_t attempts, uint32_t* failures) {
    uint32_t unused = 0;
    if (!bytesRead) bytesRead = &unused;
    uint32_t words = link.RegReadLong(reg::WORDS_WAITING);
    if (uint64_t(words) * 4 > bufferBytes) words = bufferBytes / 4;
    if (words == 0) {  // nothing waits, or not one word fits: nothing to transfer
        *bytesRead = 0;
        return 0;
    }
    const uint32_t readPointer = link.RegReadLong(reg::READ_POINTER);
    const uint32_t address = reg::DATA_PORT;
    for (uint32_t attempt = 0;; ++attempt) {
        link.RegWrite(reg::CHECKSUM, 0);
        bool ok = link.Request(IOCTL_SELECT, &address, sizeof address, nullptr, 0, nullptr);
        ok = link.Request(IOCTL_READ16, nullptr, 0, buffer, words * 4, bytesRead) && ok;
        uint16_t sum = 0;
        for (uint32_t i = 0; i < words * 2; ++i) sum = uint16_t(sum + buffer[i]);
        uint16_t hardware = link.RegReadShort(reg::CHECKSUM);
        if (ok && sum == hardware) return 0;
        link.RegWriteLong(reg::READ_POINTER, readPointer);
        if (failures) ++*failures;
        if (attempt + 1 >= attempts) {
            *bytesRead = 0;
            return LUMORA_E_BLOCK_READ;
        }
    }
}

}  // namespace devicelink
