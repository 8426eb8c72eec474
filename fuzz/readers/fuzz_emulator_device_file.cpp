// The emulator's device-file reader on any text: every key is read into the description of
// the device or reported as a warning.
#include <cstdint>
#include <string>
#include <vector>

#include "device_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumora_emu::DeviceConfig config;
    std::vector<std::string> warnings;
    lumora_emu::ApplyDescription(std::string(reinterpret_cast<const char*>(data), size), config,
                                 warnings);
    return 0;
}
