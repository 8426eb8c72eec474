// The service commands of Ext_ScannerCTRL against the emulator, through the exported
// functions as a service application calls them. Measurements of the procedures go to a
// measurement file in the test's folder.
#pragma once
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "scanner/scanner_fixture.h"

struct Reply {
    int result = 0;
    int outLen = -1;
    std::vector<uint8_t> out;

    uint32_t U32(size_t at = 0) const {
        uint32_t v = 0;
        if (at + 4 <= out.size()) std::memcpy(&v, out.data() + at, 4);
        return v;
    }
    uint16_t U16(size_t at = 0) const {
        uint16_t v = 0;
        if (at + 2 <= out.size()) std::memcpy(&v, out.data() + at, 2);
        return v;
    }
};

// Little-endian argument bytes.
inline std::vector<uint8_t> U16Arg(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline std::vector<uint8_t> U32Arg(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline std::vector<uint8_t> TextArg(const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

class ServiceTest : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        setenv("LUMORA_MEASUREMENT_FILE", dir.file("measurements.txt").c_str(), 1);
    }
    void TearDown() override {
        ScannerTest::TearDown();
        unsetenv("LUMORA_MEASUREMENT_FILE");
    }

    static Reply Service(unsigned code, const std::vector<uint8_t>& in, int outSize) {
        Reply r;
        r.out.assign(size_t(outSize), 0xEE);
        r.result = Ext_ScannerCTRL(code, in.empty() ? nullptr : in.data(), int(in.size()),
                                   outSize ? r.out.data() : nullptr, outSize, &r.outLen);
        return r;
    }

    // Lines of the measurement file containing text.
    std::vector<std::string> Measurements(const std::string& text) const {
        std::istringstream in(TempDir::read(dir.file("measurements.txt")));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            if (l.find(text) != std::string::npos) lines.push_back(l);
        return lines;
    }
};
