// Info files ("...txt" beside an image): 101 bytes of fixed fields in file order, then the
// application's extra header.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include "lumora/lumora.h"

constexpr int INFO_ITEMS = 68;        // fields of the fixed part, byte arrays counted by byte
constexpr size_t PATH_BUFFER = PATH_MAX;  // name buffers of the info-file readers: any path

// The fixed part of info as file bytes (INFO_FILE_FIXED_BYTES of them).
void EncodeImageInfo(const ImageInfo& info, uint8_t* bytes);
// Reads the fixed part from file into info at the in-memory offsets; returns the number of
// items read (INFO_ITEMS when complete). Only complete fields are stored.
int ReadImageInfoFields(FILE* file, ImageInfo* info);
// The plausibility rules for a record read from a file.
bool ImageInfoPlausible(const ImageInfo& info);
// Reads the fixed part, then copies the extra header into buffer: at most extraHeaderSize
// bytes and never more than the file holds. Returns the number of bytes copied.
size_t ReadExtraHeader(FILE* file, void* buffer);
// imagePath with its last three characters replaced by "txt", into out (PATH_BUFFER bytes).
// false when the name would not fit or the path is shorter than three characters.
bool InfoFileName(const char* imagePath, char* out);
