// The status record read on every poll.
#pragma once
#include "devicelink/hw_records.h"
#include "devicelink/scanner_link.h"

namespace devicelink {

// Reads the registers of the record in their order (the scan-line counter high byte first);
// the error field is 0.
void ReadScanStatus(ScannerLink& link, ScanStatus* out);

}  // namespace devicelink
