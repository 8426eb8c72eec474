// The emulator's device-file reader on any text; the device it describes is then reset and
// read as the driver would start to.
#include <cstdint>
#include <string>
#include <vector>

#include "lumora_emu/emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static lumora_emu::Device* device = new lumora_emu::Device();
    device->Reset(false);  // each input describes a device of its own
    std::vector<std::string> warnings;
    device->LoadDescriptionText(std::string(reinterpret_cast<const char*>(data), size), &warnings);
    device->GetModel();
    for (uint32_t reg : {0xF8u, 0xA4u, 0x90u, 0x33u}) device->ReadRegister8(reg);
    device->Plates();
    device->Datprom();
    return 0;
}
