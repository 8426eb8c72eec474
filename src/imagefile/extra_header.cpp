#include "imagefile/extra_header.h"

#include <cstdlib>

uint8_t* ExtraHeaderBuffer = nullptr;
size_t ExtraHeaderSize = 0;

void FreeExtraHeader() {
    std::free(ExtraHeaderBuffer);
    ExtraHeaderBuffer = nullptr;
    ExtraHeaderSize = 0;
}
