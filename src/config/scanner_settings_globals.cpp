// Process-wide settings records, zero at load.
#include "config/scanner_settings.h"

ScannerSettings Settings{};
DeviceRecord Device{};
FilterValues Filters = DEFAULT_FILTER_VALUES;
uint8_t ParamSetNumber = 0;
int LineWriteMode = 0;
bool FilterEnabled = false;
bool FilterEnabledSaved = false;
bool FilterLibLoaded = false;
