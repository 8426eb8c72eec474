// Steps of the open sequence that live in their own files.
#pragma once
#include <cstddef>

// Serial number from the IDPROM copy: at most 16 bytes, ending before 0x00 or 0xFF.
void ReadSerialId(char* out, size_t size);
// Writes the IDPROM copy as "<config dir>Save_<serial>.bin". Path characters in the serial are
// replaced so that the file stays in the directory of the configuration file. Silent on failure.
void SaveIdpromCopy(const char* configFile, const char* serial);
// Builds the file name of the IDPROM copy into out; false when it does not fit.
bool IdpromCopyPath(char* out, size_t size, const char* configFile, const char* serial);
// Rebuilds the images left in the scanner memory, then shuts the device down. -1012 or the
// stream reader's error.
int RecoverScannerMemory();
