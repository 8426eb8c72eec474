// The service command set of Ext_ScannerCTRL on a locally opened scanner.
#pragma once
#include <cstdint>

struct ServiceContext;

enum ServiceCommand : unsigned {
    SVC_HV_CALIBRATION = 0x1000,  // in: uint32 pixel size (nm); out: uint32 volts
    SVC_PROM_READ = 0x1001,       // in: uint8 device; out: bytes from 0
    SVC_REG_READ8 = 0x1002,       // in: uint8 register; out: uint8
    SVC_REG_READ16 = 0x1003,      // in: uint8 register; out: uint16
    SVC_REG_READ32 = 0x1004,      // in: uint8 register; out: uint32
    SVC_REG_WRITE8 = 0x1005,      // in: uint8 register, uint8 value
    SVC_REG_WRITE16 = 0x1006,     // in: uint8 register, (1 byte), uint16 value
    SVC_REG_WRITE32 = 0x1007,     // in: uint8 register, (3 bytes), uint32 value
    SVC_SET_HV = 0x1008,          // in: uint16 volts
    SVC_DIAGNOSTIC = 0x1009,      // in: uint8 channel; out: int32
    SVC_LINE_TEST = 0x100A,       // in: uint16 volts; out: uint16[2344]
    SVC_TRANSFER_TEST = 0x100B,   // in: uint16 block bytes, blocks, retries; out: uint32 x 2
    SVC_PROM_WRITE = 0x100C,      // in: uint8 device, first, last, data
    SVC_POLYGON = 0x100D,         // in: uint16 speed (2000 ... 7000, 0 = off)
    SVC_PRESENT = 0x100E,         // out: uint16 0xFFFF
    SVC_REPORT = 0x100F,          // in: report file path
    SVC_MAKE_CALIBRATION = 0x1010,  // in: reference image path
    SVC_HV_WIZARD = 0x1011,       // out: uint32 volts
    SVC_LAMP_SWITCH = 0x1100,     // in: uint16 switch
    SVC_LAMP_CONTROL = 0x1101,    // in: uint8 a, uint8 b
};

bool IsServiceCommand(unsigned code);

// Carries out a service command (IsServiceCommand(code) must hold). outLen, when given, is
// set to the number of bytes written to out. 0 or a negative code; -102 when in or out is
// too short for the command.
int RunServiceCommand(const ServiceContext& context, unsigned code, const void* in, int inSize,
                      void* out, int outSize, int* outLen);
