// A connection to the scanner as the routines of the register protocol use it: register
// access and raw driver requests. The EPP driver classes and the USB library each provide one,
// so the status read, the checked block read and the firmware download exist once.
#pragma once
#include <cstdint>

namespace devicelink {

class ScannerLink {
public:
    virtual uint8_t RegRead(uint32_t reg) = 0;
    virtual uint16_t RegReadShort(uint32_t reg) = 0;
    virtual uint32_t RegReadLong(uint32_t reg) = 0;
    virtual int RegWrite(uint32_t reg, uint8_t value) = 0;  // non-zero on success
    virtual int RegWriteLong(uint32_t reg, uint32_t value) = 0;
    // One driver request; false when it failed.
    virtual bool Request(uint32_t code, const void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t* returned) = 0;
    // The result that reports the request that just failed.
    virtual int RequestError() = 0;
    // True when the firmware runs and the registers answer.
    virtual bool FirmwareRunning() = 0;

protected:
    ~ScannerLink() = default;
};

}  // namespace devicelink
