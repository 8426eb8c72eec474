// The interface a local scanner hangs on.
#pragma once
#include <cstdint>

constexpr uint8_t INTERFACE_EPP = 1;  // kernel driver of the parallel-port card
constexpr uint8_t INTERFACE_USB = 2;  // the USB access library
