#include "devicelink/scan_status.h"

#include "devicelink/registers.h"

namespace devicelink {

void ReadScanStatus(ScannerLink& link, ScanStatus* out) {
    out->status = link.RegRead(reg::STATUS);
    out->inlet = link.RegRead(reg::INLET);
    out->slotLines = link.RegRead(reg::SLOT_LINES);
    out->reg34 = link.RegRead(reg::STATUS34);
    uint32_t high = link.RegRead(reg::LINE_COUNT_HI);
    uint32_t mid = link.RegRead(reg::LINE_COUNT_MID);
    uint32_t low = link.RegRead(reg::LINE_COUNT_LO);
    out->scanLines = high << 16 | mid << 8 | low;
    out->wordsWaiting = link.RegReadLong(reg::WORDS_WAITING);
    out->error = 0;
}

}  // namespace devicelink
