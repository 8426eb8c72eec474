// Image directory, temporary file, image numbers, script path and device-memory texts.
#pragma once
#include <cstddef>

int GetImagePath(char* out, int size);
int GetTempFile(char* out, int size);
int GetHighestImageNumber(const char* directory);
int DeleteImageFiles(const char* imagePath);
void BuildScriptPath(char* out, const char* name);  // out: 1024 characters
int GetDateNumber();
const char* PromText(const char* field, unsigned char length);
// memory is a 256-byte PROM image; the text ends at its end at the latest.
const char* PromTextAt(const unsigned char* memory, unsigned char offset, unsigned char length);
// Replaces the last three characters of path by ext into out (bounded by size); false when
// path is shorter than three characters or the result does not fit.
bool ReplaceExtension(char* out, size_t size, const char* path, const char* ext);
