// The scanner's identification PROM (IDPROM) and data PROM (DATPROM) and the plate counters.
#pragma once
#include <cstdint>

#include "devicelink/prom_layout.h"

class HW_access;

extern uint8_t IdpromImage[IDPROM_SIZE];
extern uint8_t DatpromImage[DATPROM_SIZE];
extern bool CountersChanged;

uint16_t IdpromWord(int offset);  // little-endian word of the IDPROM copy
const char* IdpromText(int offset, int length);
bool IdpromChecksumOk(const uint8_t* image);  // bytes 0 ... 253 sum to 0x42 (mod 256)

int ReadDataProm(HW_access* device);   // always 0
void WriteDataProm(HW_access* device);  // clears the counters-changed mark
// Adds one plate of the given image type (1 intra, 2 extra, 3 pano, 4 ceph) and marks the
// counters changed; other types count nothing.
void CountPlate(int imageType);
// Plates counted between two writes of the data PROM during a session: a killed session loses
// fewer than that many counts. The EEPROM takes about a million writes per byte.
constexpr int PLATES_PER_COUNTER_WRITE = 10;
// Counts the plate as CountPlate does and writes the counters to the data PROM after every
// PLATES_PER_COUNTER_WRITE plates counted since the last write.
void CountPlateAndSave(HW_access* device, int imageType);
uint32_t DatpromCounter(int imageType);  // 1 ... 4
uint32_t DatpromTotal();
