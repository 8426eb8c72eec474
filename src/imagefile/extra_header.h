// The application's extra header, carried by every info file written afterwards. The buffer
// is allocated with std::malloc; FreeExtraHeader frees and forgets it.
#pragma once
#include <cstddef>
#include <cstdint>

extern uint8_t* ExtraHeaderBuffer;
extern size_t ExtraHeaderSize;
void FreeExtraHeader();
