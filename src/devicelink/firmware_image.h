// Firmware image of the scanner: an Intel HEX file read into the bytes of the download request.
#pragma once
#include <cstdint>

// Parses an Intel HEX file into one image in file order (data records only).
// 0, -1002 (cannot open) or -1003 (record checksum). Stops at a type-01 record or end of file.
int ParseHexFile(const char* path, uint8_t** image, uint32_t* length);
// The image sent with the download request: the parsed file followed by 20 zero bytes.
// 0, or the codes of ParseHexFile, or -100 when there is no memory. Free with std::free.
int ReadFirmwareImage(const char* path, uint8_t** image, uint32_t* length);
