// Temporary directory per test and byte helpers for the image-file tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/temp_dir.h"

using Bytes = std::vector<uint8_t>;

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    static Bytes ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteBytes(const std::string& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static void WriteText(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }

    TempDir temp_;
    const std::string dir_ = temp_.path();
};

// Little-endian byte builder for expected file contents.
struct ByteBuilder {
    Bytes bytes;
    ByteBuilder& u8(uint32_t v) { bytes.push_back(uint8_t(v)); return *this; }
    ByteBuilder& u16(uint32_t v) { return u8(v & 0xFF).u8(v >> 8); }
    ByteBuilder& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    ByteBuilder& raw(const void* p, size_t n) {
        auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    ByteBuilder& zeros(size_t n) { bytes.insert(bytes.end(), n, 0); return *this; }
};
