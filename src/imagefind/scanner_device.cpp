#include "imagefind/imagefind.h"

Imagefind* ScannerDevice = nullptr;
