// Opening files that the driver reads: only regular files, never blocking on a FIFO or
// device node, and never a directory.
#pragma once
#include <cstdio>

// fopen for reading ("r" or "rb") that refuses anything but a regular file. Null on failure.
FILE* OpenRegularFile(const char* path, const char* mode);
