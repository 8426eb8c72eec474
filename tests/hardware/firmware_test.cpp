// Firmware download from Intel HEX files.
#include "hw_fixture.h"
#include "devicelink/firmware_image.h"

#include <unistd.h>

#include <cstdio>

namespace {

// A record with its checksum: ":LLAAAATT<data>CC".
std::string Record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data,
                   int checksumError = 0) {
    char text[16];
    std::string line = ":";
    uint8_t sum = uint8_t(data.size() + (address >> 8) + (address & 0xFF) + type);
    std::snprintf(text, sizeof text, "%02X%04X%02X", unsigned(data.size()), address, type);
    line += text;
    for (uint8_t b : data) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum = uint8_t(sum + b);
    }
    std::snprintf(text, sizeof text, "%02X", uint8_t(-sum + checksumError));
    return line + text + "\n";
}

const std::string END = Record(0, 1, {});

class FirmwareTest : public HwTest {
protected:
    void SetUp() override {
        HwTest::SetUp();
        ASSERT_FALSE(dir_.empty());
    }
    const char* Write(const std::string& text) {
        path_ = dir_ + "/firmware.hex";
        FILE* f = std::fopen(path_.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        return path_.c_str();
    }
    static std::vector<uint8_t> Image(std::vector<uint8_t> data) {
        data.resize(data.size() + 20, 0);
        return data;
    }
    TempDir temp_;
    const std::string dir_ = temp_.path();
    std::string path_;
};

TEST_F(FirmwareTest, Files) {
    const std::vector<uint8_t> a = {0x01, 0x02, 0x03, 0x04}, b = {0xAA, 0xBB}, c = {0x7F};
    struct Case {
        const char* what;
        std::string text;
        int result;
        bool sent;
        std::vector<uint8_t> data;
    } cases[] = {
        {"valid", Record(0, 0, a) + Record(4, 0, b) + END, 0, true, {1, 2, 3, 4, 0xAA, 0xBB}},
        {"non-contiguous addresses", Record(0x100, 0, b) + Record(0, 0, a) + END, 0, true,
         {0xAA, 0xBB, 1, 2, 3, 4}},
        {"no end record", Record(0, 0, a) + Record(4, 0, c), 0, true, {1, 2, 3, 4, 0x7F}},
        {"records after the end are not read", Record(0, 0, a) + END + Record(4, 0, b), 0, true,
         {1, 2, 3, 4}},
        {"other record types are not kept", Record(0, 4, {0, 1}) + Record(0, 0, c) + END, 0,
         true, {0x7F}},
        {"lower case, blanks and CR LF",
         ":0400000001020304f2\r\n  :0100040037c4 \r\n:00000001FF\r\n", 0, true, {1, 2, 3, 4, 0x37}},
        {"bad record checksum", Record(0, 0, a) + Record(4, 0, b, 1) + END, -1003, false, {}},
        {"file ends inside a record", Record(0, 0, a) + ":0400080011", 0, true, {1, 2, 3, 4}},
        {"file ends inside a byte", Record(0, 0, c) + ":0", 0, true, {0x7F}},
        {"empty file", "", 0, true, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        emu().Reset();
        ASSERT_FALSE(emu().FirmwareRunning());
        EXPECT_EQ(hw.Init_Firmware(Write(k.text), 0), k.result);
        if (k.sent) {
            EXPECT_EQ(emu().LastFirmwareImage(), Image(k.data));
            EXPECT_TRUE(emu().FirmwareRunning());
        } else {
            EXPECT_TRUE(emu().LastFirmwareImage().empty());
            EXPECT_FALSE(emu().FirmwareRunning());
        }
    }
}

TEST_F(FirmwareTest, ParserOnItsOwn) {
    uint8_t* image = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(ParseHexFile(Write(Record(0, 0, {9, 8, 7}) + END), &image, &length), 0);
    ASSERT_EQ(length, 3u);
    EXPECT_EQ(image[2], 7);
    std::free(image);
    EXPECT_EQ(ParseHexFile((dir_ + "/missing.hex").c_str(), &image, &length), -1002);
    EXPECT_EQ(image, nullptr);
}

TEST_F(FirmwareTest, ArbitraryFilesNeverOverrunTheParser) {
    // Deterministic noise weighted towards hex digits, colons and line ends.
    const char alphabet[] = "0123456789ABCDEFabcdef:\r\n xg\x00\xff";
    uint32_t seed = 12345;
    for (int file = 0; file < 300; ++file) {
        std::string text;
        size_t size = 1 + (seed = seed * 1103515245u + 12345u) % 600;
        for (size_t i = 0; i < size; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        uint8_t* image = nullptr;
        uint32_t length = 0;
        path_ = dir_ + "/noise.hex";
        FILE* f = std::fopen(path_.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        int rc = ParseHexFile(path_.c_str(), &image, &length);
        EXPECT_TRUE(rc == 0 || rc == -1003) << rc;
        EXPECT_LE(length, text.size() / 2);
        if (rc != 0) {
            EXPECT_EQ(image, nullptr);
        }
        std::free(image);
    }
}

TEST_F(FirmwareTest, DeviceStates) {
    const std::string valid = Record(0, 0, {1, 2}) + END;
    struct Case {
        const char* what;
        void (*prepare)(lumora_emu::Device&);
        bool missingFile;
        int onlyIfNotRunning;
        int result;
        bool sent;
    } cases[] = {
        {"missing file", [](lumora_emu::Device&) {}, true, 0, -1002, false},
        {"running, only if not running", [](lumora_emu::Device& d) { d.SetFirmwareRunning(true); },
         false, 1, 0, false},
        {"running, always", [](lumora_emu::Device& d) { d.SetFirmwareRunning(true); }, false, 0,
         0, true},
        {"configuration status bit 4", [](lumora_emu::Device& d) { d.SetConfigStatusBit4(true); },
         false, 0, -1005, false},
        {"not running after the download",
         [](lumora_emu::Device& d) { d.SetDownloadFails(true); }, false, 1, -1004, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        emu().Reset();
        k.prepare(emu());
        const char* path = k.missingFile ? "/nonexistent/firmware.hex" : Write(valid);
        EXPECT_EQ(hw.Init_Firmware(path, k.onlyIfNotRunning), k.result);
        EXPECT_EQ(!emu().LastFirmwareImage().empty(), k.sent);
    }
}

TEST_F(FirmwareTest, RunningCheckNeedsStatusAndRegisterAccess) {
    emu().Reset();
    EXPECT_FALSE(hw.IsFirmwareRunning());
    emu().SetFirmwareRunning(true);
    EXPECT_TRUE(hw.IsFirmwareRunning());
}

}  // namespace
