#include "imagefind/imagefind.h"

Imagefind* ScannerDevice = nullptr;
bool AtriumMode = false;
