// Process-wide settings records, zero at load.
#include "config/scanner_settings.h"

ScannerSettings Settings{};
DeviceRecord Device{};
uint8_t ParamSetNumber = 0;
char Filtertype1[256] = "";
char Filtertype2[256] = "";
int32_t AutoGrayLow = 0, AutoGrayHigh = 0, AutoGrayType = -1, AutoGrayParam = 305419146;
int LineWriteMode = 0;
bool FilterEnabled = false;
bool FilterEnabledSaved = false;
bool FilterLibLoaded = false;
