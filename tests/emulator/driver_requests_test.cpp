// Driver requests through the C entry: sizes, select-then-access, block reads, firmware.
#include <cerrno>
#include <cstring>

#include "device_map.h"
#include "lumora_emu/driver.h"
#include "test_util.h"

using namespace emutest;
namespace requests = lumora_emu::requests;

namespace {

class DriverTest : public EmuTest {
protected:
    void SetUp() override {
        EmuTest::SetUp();
        h = lumora_emu_open();
        ASSERT_GT(h, 0);
    }
    void TearDown() override { lumora_emu_close(h); }
    int Req(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* ret = nullptr) {
        uint32_t r = 0;
        int e = lumora_emu_request(h, code, in, inSize, out, outSize, &r);
        if (ret) *ret = r;
        return e;
    }
    int Write8(uint32_t reg, uint8_t v) {
        int e = Req(requests::kSelect, &reg, 4, nullptr, 0);
        return e ? e : Req(requests::kWrite8, &v, 1, nullptr, 0);
    }
    uint32_t Read32(uint32_t reg) {
        uint32_t v = 0;
        Req(requests::kRead32, &reg, 4, &v, 4);
        return v;
    }
    uint16_t Read16(uint32_t reg) {
        uint16_t v = 0;
        Req(requests::kRead16, &reg, 4, &v, 2);
        return v;
    }
    int h = 0;
};

TEST_F(DriverTest, WrongSizesAreRefusedUnknownCodesToo) {
    uint8_t buf[64];
    uint32_t reg = 0xF8;
    struct Case { uint32_t code; uint32_t in, out; };
    const Case bad[] = {
        {requests::kPortInfo, 0, 15}, {requests::kPortInfo, 4, 16}, {requests::kInterfaceStatus, 0, 3},
        {requests::kConfigStatus, 0, 2}, {requests::kDownload, 0, 4}, {requests::kDownload, 8, 3},
        {requests::kSelect, 2, 0}, {requests::kSelect, 4, 4}, {requests::kRead8, 4, 0},
        {requests::kRead8, 3, 1}, {requests::kRead16, 4, 1}, {requests::kRead32, 4, 3},
        {requests::kRead32, 8, 4}, {requests::kWrite8, 2, 0}, {requests::kWrite16, 1, 0},
        {requests::kWrite32, 2, 0}, {requests::kClaimPort, 4, 0}, {requests::kReleasePort, 0, 4},
    };
    std::memcpy(buf, &reg, 4);
    for (const Case& c : bad) {
        uint32_t ret = 77;
        EXPECT_EQ(Req(c.code, buf, c.in, buf + 16, c.out, &ret), EINVAL) << std::hex << c.code;
        EXPECT_EQ(ret, 0u);
    }
    EXPECT_EQ(Req(0x22204C, nullptr, 0, nullptr, 0), ENOTTY);
    EXPECT_EQ(Req(requests::kRead8, nullptr, 4, buf, 1), EFAULT);
    EXPECT_EQ(lumora_emu_request(h + 100, requests::kClaimPort, nullptr, 0, nullptr, 0, nullptr), EBADF);
}

TEST_F(DriverTest, SelectThenWriteAndReadsCarryTheirAddress) {
    EXPECT_EQ(Write8(0x90, 0x5A), 0);
    uint32_t reg = 0x90;
    uint8_t v = 0;
    uint32_t ret = 0;
    EXPECT_EQ(Req(requests::kRead8, &reg, 4, &v, 1, &ret), 0);
    EXPECT_EQ(v, 0x5A);
    EXPECT_EQ(ret, 1u);
    uint16_t w = 0x1234;
    uint32_t c0 = 0xC0;
    ASSERT_EQ(Req(requests::kSelect, &c0, 4, nullptr, 0), 0);
    ASSERT_EQ(Req(requests::kWrite16, &w, 2, nullptr, 0), 0);
    EXPECT_EQ(dev.PeekRegister(0xC0), 0x34);  // low byte first
    EXPECT_EQ(dev.PeekRegister(0xC1), 0x12);
    // A port release writes 0x40 to 0xFF, counted for inspection.
    Write8(0xFF, 0x40);
    Write8(0xFF, 0x40);
    EXPECT_EQ(dev.PortReleaseWrites(), 2u);
    EXPECT_EQ(dev.RequestCount(), 9u);  // each write is a select and a write
}

TEST_F(DriverTest, BlockReadDeliversWaitingWordsWithChecksum) {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 100; ++i) words.push_back(0x00010000u * (i + 1) + i * 7);
    dev.PushFifo(words);
    EXPECT_EQ(Read32(0x33), 100u);
    uint32_t p = Read32(0x08);

    Write8(0x20, 0);
    uint32_t zero = 0;
    ASSERT_EQ(Req(requests::kSelect, &zero, 4, nullptr, 0), 0);
    std::vector<uint32_t> got(64, 0);
    uint32_t ret = 0;
    ASSERT_EQ(Req(requests::kRead16, nullptr, 0, got.data(), 64 * 4 - 2, &ret), 0);  // 63 whole words fit
    EXPECT_EQ(ret, 63u * 4);
    uint16_t sum = 0;
    for (int i = 0; i < 63; ++i) {
        EXPECT_EQ(got[i], words[i]);
        sum = uint16_t(sum + (got[i] & 0xFFFF) + (got[i] >> 16));
    }
    EXPECT_EQ(Read16(0x20), sum);
    EXPECT_EQ(Read32(0x33), 37u);
    EXPECT_EQ(Read32(0x08), p + 63);

    // Rewind: the same words come again.
    uint32_t r8 = 0x08;
    ASSERT_EQ(Req(requests::kSelect, &r8, 4, nullptr, 0), 0);
    ASSERT_EQ(Req(requests::kWrite32, &p, 4, nullptr, 0), 0);
    EXPECT_EQ(Read32(0x33), 100u);
    Write8(0x20, 0);
    ASSERT_EQ(Req(requests::kSelect, &zero, 4, nullptr, 0), 0);
    std::vector<uint32_t> all(200, 0);
    ASSERT_EQ(Req(requests::kRead16, nullptr, 0, all.data(), 200 * 4, &ret), 0);
    EXPECT_EQ(ret, 400u);  // no more than waiting
    EXPECT_TRUE(std::equal(words.begin(), words.end(), all.begin()));

    // Nothing waiting: nothing transferred.
    ASSERT_EQ(Req(requests::kRead16, nullptr, 0, all.data(), 200 * 4, &ret), 0);
    EXPECT_EQ(ret, 0u);
}

TEST_F(DriverTest, CorruptedTransfersDisagreeWithTheirChecksum) {
    dev.PushFifo({0x11112222, 0x33334444});
    dev.CorruptNextTransfers(2);
    uint32_t zero = 0, p = Read32(0x08);
    for (int attempt = 0; attempt < 3; ++attempt) {
        Write8(0x20, 0);
        Req(requests::kSelect, &zero, 4, nullptr, 0);
        uint32_t got[2] = {};
        uint32_t ret = 0;
        ASSERT_EQ(Req(requests::kRead16, nullptr, 0, got, 8, &ret), 0);
        ASSERT_EQ(ret, 8u);
        uint16_t sum = uint16_t(0x1111 + 0x2222 + 0x3333 + 0x4444);
        EXPECT_EQ(Read16(0x20) == sum, attempt == 2) << attempt;
        uint32_t r8 = 0x08;
        Req(requests::kSelect, &r8, 4, nullptr, 0);
        Req(requests::kWrite32, &p, 4, nullptr, 0);
    }
    EXPECT_EQ(dev.BlockTransfers(), 3u);
}

TEST_F(DriverTest, FirmwareDownloadStartsTheDevice) {
    dev.SetFirmwareRunning(false);
    uint32_t st = 0, ret = 0;
    ASSERT_EQ(Req(requests::kInterfaceStatus, nullptr, 0, &st, 4), 0);
    EXPECT_EQ(st & 0x10, 0u);
    ASSERT_EQ(Req(requests::kConfigStatus, nullptr, 0, &st, 4), 0);
    EXPECT_EQ(st & 0x10, 0u);
    std::vector<uint8_t> image(300, 0xA5);
    ASSERT_EQ(Req(requests::kDownload, image.data(), uint32_t(image.size()), &st, 4, &ret), 0);
    EXPECT_EQ(ret, 4u);
    EXPECT_EQ(st & 0x10, 0x10u);
    EXPECT_EQ(dev.LastFirmwareImage(), image);
    ASSERT_EQ(Req(requests::kInterfaceStatus, nullptr, 0, &st, 4), 0);
    EXPECT_EQ(st & 0x10, 0x10u);
    uint32_t f8 = 0xF8;
    uint8_t v = 0xFF;
    Req(requests::kRead8, &f8, 4, &v, 1);
    EXPECT_EQ(v, 0);

    dev.SetDownloadFails(true);
    ASSERT_EQ(Req(requests::kDownload, image.data(), uint32_t(image.size()), &st, 4), 0);
    EXPECT_EQ(st & 0x10, 0u);
    EXPECT_FALSE(dev.FirmwareRunning());

    dev.SetConfigStatusBit4(true);
    ASSERT_EQ(Req(requests::kConfigStatus, nullptr, 0, &st, 4), 0);
    EXPECT_EQ(st & 0x10, 0x10u);
}

TEST_F(DriverTest, PortInfoClaimAndRelease) {
    uint8_t info[20];
    uint32_t ret = 0;
    ASSERT_EQ(Req(requests::kPortInfo, nullptr, 0, info, 20, &ret), 0);
    EXPECT_EQ(ret, 16u);
    ASSERT_EQ(Req(requests::kClaimPort, nullptr, 0, nullptr, 0), 0);
    EXPECT_TRUE(dev.PortClaimed());
    ASSERT_EQ(Req(requests::kReleasePort, nullptr, 0, nullptr, 0), 0);
    EXPECT_FALSE(dev.PortClaimed());
}

TEST_F(DriverTest, ClockWaitsAdvanceEmulatedTimeAtOnce) {
    uint64_t t0 = lumora_emu_now_ms();
    lumora_emu_wait_ms(150);
    EXPECT_EQ(lumora_emu_now_ms(), t0 + 150);
    lumora_emu_motor_word(3223);
    EXPECT_EQ(dev.MotorWords().back(), 3223);
}

}  // namespace
