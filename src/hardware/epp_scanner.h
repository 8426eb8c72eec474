// Lowest layer of the scanner object: register, block and firmware access through the
// kernel driver. Everything above reaches the hardware only through these virtual operations.
#pragma once
#include <cstdint>

#include "devicelink/scanner_link.h"
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

    // This object as the shared routines of the register protocol see it: its own (virtual)
    // register operations, its driver requests, and the thread's last error for a failed one.
    class Link final : public devicelink::ScannerLink {
    public:
        explicit Link(EPP_Scanner& scanner) : s_(scanner) {}
        uint8_t RegRead(uint32_t reg) override { return s_.RegRead(reg); }
        uint16_t RegReadShort(uint32_t reg) override { return s_.RegReadShort(reg); }
        uint32_t RegReadLong(uint32_t reg) override { return s_.RegReadLong(reg); }
        int RegWrite(uint32_t reg, uint8_t value) override { return s_.RegWrite(reg, value); }
        int RegWriteLong(uint32_t reg, uint32_t value) override {
            return s_.RegWriteLong(reg, value);
        }
        bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                     uint32_t* returned) override {
            return s_.Request(code, in, inSize, out, outSize, returned);
        }
        int RequestError() override { return platform::LastError(); }
        bool FirmwareRunning() override { return s_.IsFirmwareRunning(); }

    private:
        EPP_Scanner& s_;
    };
};
