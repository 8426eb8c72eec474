// Lowest layer of the scanner object: register, block and firmware access through the
// kernel driver. Everything above reaches the hardware only through these virtual operations.
#pragma once
#include <cstdint>
#include "platform/driver_port.h"

class EPP_Scanner {
public:
    EPP_Scanner();

    virtual int OpenDevice();                                  // slot 0: 0 or -1001
    virtual bool IsFirmwareRunning();                          // slot 1
    virtual ~EPP_Scanner();                                    // slot 2
    virtual int Init_Interface();                              // slot 3
    virtual int Init_Firmware(const char* hexFile, int onlyIfNotRunning);  // slot 4
    virtual int Free_Interface();                              // slot 5
    virtual uint8_t RegRead(uint32_t reg);                     // slot 6
    virtual uint16_t RegReadShort(uint32_t reg);               // slot 7
    virtual uint32_t RegReadLong(uint32_t reg);                // slot 8
    virtual int RegWrite(uint32_t reg, uint8_t value);         // slot 9: non-zero on success
    virtual int RegWriteShort(uint32_t reg, uint16_t value);   // slot 10
    virtual int RegWriteLong(uint32_t reg, uint32_t value);    // slot 11
    virtual int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead);  // slot 12

    platform::DriverPort* hDevice = nullptr;  // null = no handle
    uint8_t portInfo[16] = {};
    uint32_t portClaimed = 0;
    uint32_t maxRetries = 10;
    uint32_t txErrors = 0;

protected:
    // One driver request; false on failure with the thread's last error set.
    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* returned = nullptr);
};
