// File, text and registry helpers of the tools library.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstddef>

#define HKEY_LOCAL_MACHINE "HKEY_LOCAL_MACHINE"

// fopen that creates missing directories of the path first.
FILE* fopen_ex(const char* path, const char* mode);
// Creates a directory path (all levels); 0 on success or when it exists.
int mkdir_ex(const char* path);
// Free bytes on the volume holding path (-1 when it cannot be told). The environment variable
// LUMORA_FAKE_DISKFREE, when set, overrides the answer (for tests).
int64_t DiskFree(const char* path);
// Appends src to dst without writing beyond size bytes in all; dst stays terminated.
char* strxcat(char* dst, const char* src, size_t size);
// Bounded copy that always terminates (size > 0).
char* strxcpy(char* dst, const char* src, size_t size);
uint32_t SwapEndian(uint32_t value);
// Current local date and time as text ("2026-12-09 23:09:38").
const char* localtime_ex();
// Reads a string value from the registry file (LUMORA_REGISTRY, default
// /etc/lumora/registry.ini): section "<root>\<subkey>", key valueName. 0 on success, 1 when
// the value is missing, -1 when the file cannot be read; out is "" unless the value was found.
int Get_RegStr(const char* root, const char* subkey, const char* valueName, char* out,
               size_t size = 1024);
