// What the service commands get from the scanner layer: the open device, the scan state, and
// the image finder's single-line capture and reset, passed in as an interface.
#pragma once
#include <cstdint>

class HW_access;

class ScanLineSource {
public:
    virtual ~ScanLineSource() = default;
    // Captures one scan line from the stream: at most maxWords values into out, their number
    // in count. 0, or the negative code of the block read.
    virtual int ReadLine(uint16_t* out, int maxWords, int* count) = 0;
    // Empties the image finder's tables before a plate is measured.
    virtual void ResetImageFinder() = 0;
};

struct ServiceContext {
    HW_access* device = nullptr;
    ScanLineSource* lines = nullptr;
    bool scanArmed = false;       // Aktivate_Scanner is in force
    uint8_t interfaceKind = 0;    // INTERFACE_EPP or INTERFACE_USB
};
