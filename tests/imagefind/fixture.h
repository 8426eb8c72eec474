// An image finder without hardware: blocks come from a queue of byte chunks, the temporary
// file and the image directory live in a test directory, the log goes to a file there.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/working_settings.h"
#include "config/scanner_settings.h"
#include "config/service_fixture.h"
#include "common/chunk_scanner.h"
#include "imagefind/imagefind.h"

using FakeScanner = ChunkScanner;

// Builds a scan-data stream word by word.
struct Stream {
    std::vector<uint16_t> words;
    Stream& line(uint16_t position) { return unit(0xFFFE, position); }
    Stream& skip(uint16_t count, uint16_t marker = 0xFFF5) { return unit(marker, count); }
    Stream& unit(uint16_t a, uint16_t b) {
        words.push_back(a);
        words.push_back(b);
        return *this;
    }
    Stream& values(const std::vector<uint16_t>& v) {  // an even number of values
        words.insert(words.end(), v.begin(), v.end());
        return *this;
    }
    Stream& run(int count, uint16_t value) { return values(std::vector<uint16_t>(count, value)); }
    // Splits the stream into chunks of the given unit counts (the rest in one last chunk).
    std::deque<std::vector<uint16_t>> split(const std::vector<int>& units) const {
        std::deque<std::vector<uint16_t>> out;
        size_t at = 0;
        for (int u : units) {
            if (at >= words.size()) break;
            size_t n = std::min(words.size() - at, size_t(u) * 2);
            out.emplace_back(words.begin() + at, words.begin() + at + n);
            at += n;
        }
        if (at < words.size()) out.emplace_back(words.begin() + at, words.end());
        return out;
    }
};

class ImagefindTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        Service("ImageDir=" + dir.path());
        dir.write("log.txt", "");  // each case reads only its own lines
        UseWorkingSettings();
        scanner = std::make_unique<FakeScanner>();
        scanner->AnzPixLine = 199;
        std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "%s", dir.path().c_str());
        OpenTemp();
    }
    void TearDown() override {
        scanner.reset();
        ServiceTest::TearDown();
    }
    void OpenTemp() {
        const std::string temp = dir.file("scan.tmp");
        scanner->WTempfile = std::fopen(temp.c_str(), "wb");
        scanner->RTempfile = std::fopen(temp.c_str(), "rb");
        ASSERT_TRUE(scanner->WTempfile && scanner->RTempfile);
        scanner->ResetBuffers();
    }
    // Feeds every queued chunk through ReadScanData; the emptyLines of each call.
    std::vector<int> Drain() {
        std::vector<int> empty;
        while (!scanner->chunks.empty()) {
            int e = 0;
            EXPECT_EQ(scanner->ReadScanData(&e), 0);
            empty.push_back(e);
        }
        return empty;
    }
    void Feed(const Stream& s, const std::vector<int>& units = {}) {
        scanner->chunks = s.split(units.empty() ? std::vector<int>{10240} : units);
        Drain();
    }
    // The values of block b as stored in the temporary file.
    std::vector<uint16_t> BlockValues(int b) {
        std::fflush(scanner->WTempfile);
        const ScanBlock& block = scanner->Blockbuffer[b];
        std::vector<uint16_t> v(size_t(block.EndX - block.AnfX + 1));
        FILE* f = std::fopen(dir.file("scan.tmp").c_str(), "rb");
        std::fseek(f, long(block.Offset), SEEK_SET);
        v.resize(std::fread(v.data(), 2, v.size(), f));
        std::fclose(f);
        return v;
    }
    static std::vector<uint16_t> ReadImage(const std::string& path, int* width, int* height) {
        std::string bytes = TempDir::read(path);
        if (bytes.size() < 4) return {};
        uint16_t header[2];
        std::memcpy(header, bytes.data(), 4);
        *width = header[0];
        *height = header[1];
        std::vector<uint16_t> pixels((bytes.size() - 4) / 2);
        std::memcpy(pixels.data(), bytes.data() + 4, pixels.size() * 2);
        return pixels;
    }
    int LogCount(const std::string& text) const {
        std::istringstream log(TempDir::read(dir.file("log.txt")));
        int n = 0;
        for (std::string line; std::getline(log, line);)
            if (line.find(text) != std::string::npos) ++n;
        return n;
    }

    std::unique_ptr<FakeScanner> scanner;
};
