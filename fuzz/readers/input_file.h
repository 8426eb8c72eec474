// The fuzz input as a file of its own, for readers that take a path.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Writes data to one file in a folder made for the process and returns its path.
inline std::string InputFile(const uint8_t* data, size_t size, const char* name = "input") {
    static const std::string dir = [] {
        char pattern[] = "/tmp/lumora-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        return std::string(pattern);
    }();
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}
