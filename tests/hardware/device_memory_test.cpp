// IDPROM texts and checksum, DATPROM counters, event counters.
#include "hw_fixture.h"
#include "log_capture.h"

#include <ctime>

#include "diagnostics/device_memory.h"
#include "devicelink/registers.h"

namespace {

using DeviceMemoryTest = HwTest;

uint32_t Le32(const std::vector<uint8_t>& b, int offset) {
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
           uint32_t(b[offset + 3]) << 24;
}

TEST_F(DeviceMemoryTest, ConsistentCountersAreAccepted) {
    Describe("[DataProm]\nIntra=1\nExtra=2\nCeph=3\nPano=4\nTotal=10\nSaveYear=2020\n");
    std::vector<uint8_t> before = emu().Datprom();
    CountersChanged = true;
    EXPECT_EQ(ReadDataProm(&hw), 0);
    EXPECT_EQ(DatpromCounter(1), 1u);
    EXPECT_EQ(DatpromCounter(2), 2u);
    EXPECT_EQ(DatpromCounter(4), 3u);
    EXPECT_EQ(DatpromCounter(3), 4u);
    EXPECT_EQ(DatpromTotal(), 10u);
    EXPECT_FALSE(CountersChanged);
    EXPECT_EQ(emu().Datprom(), before);  // nothing written
    EXPECT_EQ(DatpromImage[24] | DatpromImage[25] << 8, 2020);
}

TEST_F(DeviceMemoryTest, InconsistentCountersAreResetAndWritten) {
    Describe("[DataProm]\nIntra=1\nExtra=2\nCeph=3\nPano=4\nTotal=9\nSaveYear=2020\n");
    LogCapture log;
    std::time_t t0 = std::time(nullptr);
    EXPECT_EQ(ReadDataProm(&hw), 0);
    std::time_t t1 = std::time(nullptr);
    for (int type = 1; type <= 4; ++type) EXPECT_EQ(DatpromCounter(type), 0u);
    EXPECT_EQ(DatpromTotal(), 0u);
    EXPECT_FALSE(CountersChanged);
    EXPECT_TRUE(log.Logged(4, "incorrect DATPROM Data, reset data"));

    std::vector<uint8_t> stored = emu().Datprom();
    EXPECT_EQ(0, std::memcmp(stored.data(), DatpromImage, DATPROM_SIZE));
    // Stamped with the local time of the write.
    bool matches = false;
    for (std::time_t t : {t0, t1}) {
        std::tm local{};
        localtime_r(&t, &local);
        matches |= stored[20] == local.tm_min && stored[21] == local.tm_hour &&
                   stored[22] == local.tm_mday && stored[23] == local.tm_mon + 1 &&
                   (stored[24] | stored[25] << 8) == local.tm_year + 1900;
    }
    EXPECT_TRUE(matches);
}

TEST_F(DeviceMemoryTest, UnreadableDatpromGivesDefaultsWithoutWriting) {
    std::vector<uint8_t> before = emu().Datprom();
    emu().SetI2cSilent(i2c::DATPROM, true);
    CountersChanged = true;
    LogCapture log;
    EXPECT_EQ(ReadDataProm(&hw), 0);
    EXPECT_TRUE(log.Logged(4, "can't read DATPROM"));
    for (int type = 1; type <= 4; ++type) EXPECT_EQ(DatpromCounter(type), 0u);
    EXPECT_EQ(DatpromTotal(), 0u);
    const uint8_t date[6] = {0, 0, 1, 1, 2004 & 0xFF, 2004 >> 8};
    EXPECT_EQ(0, std::memcmp(DatpromImage + 20, date, 6));
    EXPECT_FALSE(CountersChanged);
    emu().SetI2cSilent(i2c::DATPROM, false);
    EXPECT_EQ(emu().Datprom(), before);
}

TEST_F(DeviceMemoryTest, CountingAndWriting) {
    Describe("[DataProm]\nIntra=5\nExtra=0\nCeph=0\nPano=0\nTotal=5\n");
    ASSERT_EQ(ReadDataProm(&hw), 0);
    const int types[] = {1, 1, 2, 3, 4, 4, 4, 0, 5, -1};
    for (int type : types) CountPlate(type);
    EXPECT_TRUE(CountersChanged);
    EXPECT_EQ(DatpromCounter(1), 7u);
    EXPECT_EQ(DatpromCounter(2), 1u);
    EXPECT_EQ(DatpromCounter(3), 1u);
    EXPECT_EQ(DatpromCounter(4), 3u);
    WriteDataProm(&hw);
    std::vector<uint8_t> stored = emu().Datprom();
    EXPECT_EQ(Le32(stored, 0), 7u);
    EXPECT_EQ(Le32(stored, 4), 1u);
    EXPECT_EQ(Le32(stored, 8), 3u);   // cephalometric
    EXPECT_EQ(Le32(stored, 12), 1u);  // panoramic
    EXPECT_EQ(Le32(stored, 16), 12u);
}

TEST_F(DeviceMemoryTest, EventCountersAreBigEndian) {
    Describe(
        "[DataProm]\nSlot1Events=16909060,2,3,4,5,4294967295\n"
        "Slot2Events=10,20,30,40,50,60\n");
    EventCounters c{};
    ASSERT_EQ(hw.ReadEventCounters(&c, 1), 0);
    EXPECT_EQ(c.scanStarts, 0x01020304u);
    EXPECT_EQ(c.lampCycles, 2u);
    EXPECT_EQ(c.shuttleBlocked, 3u);
    EXPECT_EQ(c.lampErrors, 4u);
    EXPECT_EQ(c.scanTimeouts, 5u);
    EXPECT_EQ(c.sensorBlocked, 0xFFFFFFFFu);
    std::vector<uint8_t> raw = emu().Datprom();
    EXPECT_EQ(raw[0x81], 0x01);
    EXPECT_EQ(raw[0x84], 0x04);
    ASSERT_EQ(hw.ReadEventCounters(&c, 2), 0);
    EXPECT_EQ(c.scanStarts, 10u);
    EXPECT_EQ(c.sensorBlocked, 60u);
}

TEST_F(DeviceMemoryTest, EventCountersOfOtherSlots) {
    for (int slot : {0, 3, -1}) {
        EventCounters c;
        std::memset(&c, 0xAB, sizeof c);
        emu().ClearI2cTraffic();
        EXPECT_EQ(hw.ReadEventCounters(&c, slot), -102);
        EventCounters zero{};
        EXPECT_EQ(0, std::memcmp(&c, &zero, sizeof c));
        EXPECT_EQ(emu().GetI2cTraffic().starts, 0u);
    }
    emu().SetI2cSilent(i2c::DATPROM, true);
    EventCounters c{};
    EXPECT_EQ(hw.ReadEventCounters(&c, 1), -1007);
}

TEST(IdpromTest, Texts) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int offset, length;
        std::string text;
    } cases[] = {
        {"16 characters, no terminator", std::vector<uint8_t>(16, 'A'), 0, 16, std::string(16, 'A')},
        {"ends at 0x00", {'L', 'S', 0, 'X'}, 0, 16, "LS"},
        {"ends at 0xFF", {'L', 0xFF, 'X'}, 0, 16, "L"},
        {"starts with 0xFF", {0xFF, 'A'}, 0, 16, ""},
        {"length 0", {'A', 'B'}, 0, 0, ""},
        {"length limits", {'A', 'B', 'C'}, 0, 2, "AB"},
        {"offset", {'M', 'B', '-', '1'}, 16, 8, "MB-1"},
        {"end of the PROM", {}, 250, 16, "ZZZZZZ"},
        {"outside the PROM", {}, 300, 8, ""},
        {"negative offset", {}, -4, 8, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(IdpromImage, 'Z', IDPROM_SIZE);
        if (c.offset >= 0 && c.offset < IDPROM_SIZE && !c.bytes.empty())
            std::memcpy(IdpromImage + c.offset, c.bytes.data(), c.bytes.size());
        if (c.bytes.size() < 16 && !c.bytes.empty()) IdpromImage[c.offset + c.bytes.size()] = 0;
        EXPECT_EQ(std::string(IdpromText(c.offset, c.length)), c.text);
    }
}

TEST(IdpromTest, ChecksumCountsTheLowEightBits) {
    uint8_t image[IDPROM_SIZE] = {};
    image[0] = 0xFF;
    image[1] = 0x43;  // 0x142
    image[254] = 0x11;  // outside the sum
    image[255] = 0x22;
    EXPECT_TRUE(IdpromChecksumOk(image));
    image[2] = 1;
    EXPECT_FALSE(IdpromChecksumOk(image));
}

TEST(IdpromTest, Words) {
    IdpromImage[idprom::TYPE_ID] = 0x0C;
    IdpromImage[idprom::TYPE_ID + 1] = 0x00;
    EXPECT_EQ(IdpromWord(idprom::TYPE_ID), 12);
    IdpromImage[idprom::PMT_HV] = 0x34;
    IdpromImage[idprom::PMT_HV + 1] = 0x12;
    EXPECT_EQ(IdpromWord(idprom::PMT_HV), 0x1234);
    EXPECT_EQ(IdpromWord(255), 0);
}

}  // namespace
