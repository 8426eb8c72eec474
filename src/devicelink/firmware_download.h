// Download of the scanner's firmware from an Intel HEX file.
#pragma once
#include "devicelink/scanner_link.h"

namespace devicelink {

// With onlyIfNotRunning set, a running firmware is kept (0). Otherwise the configuration status
// must not have its running bit (-1005); the file is read (-1002, -1003, -100) and sent, and
// the device must report itself running afterwards (-1004). A failed request gives the link's
// RequestError(). 0 on success.
int InitFirmware(ScannerLink& link, const char* hexFile, int onlyIfNotRunning);

}  // namespace devicelink
