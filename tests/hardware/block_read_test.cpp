// Checked block reads of the buffer RAM.
#include "hw_fixture.h"

#include "devicelink/registers.h"

namespace {

using BlockReadTest = HwTest;

std::vector<uint32_t> Pattern(size_t n) {
    std::vector<uint32_t> words(n);
    for (size_t i = 0; i < n; ++i) words[i] = uint32_t(0x00010001u * (i + 1) + 0x0F000000u);
    return words;
}

TEST_F(BlockReadTest, NothingWaitingMeansNoTransfer) {
    uint16_t buffer[64];
    uint32_t bytes = 99;
    EXPECT_EQ(hw.ReadBlock(buffer, sizeof buffer, &bytes), 0);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(emu().BlockTransfers(), 0u);
}

TEST_F(BlockReadTest, ReadsWhatIsWaiting) {
    std::vector<uint32_t> words = Pattern(50);
    emu().PushFifo(words);
    std::vector<uint32_t> buffer(100, 0);
    uint32_t bytes = 0;
    ASSERT_EQ(hw.ReadBlock(reinterpret_cast<uint16_t*>(buffer.data()), 400, &bytes), 0);
    EXPECT_EQ(bytes, 200u);
    EXPECT_EQ(std::vector<uint32_t>(buffer.begin(), buffer.begin() + 50), words);
    EXPECT_EQ(emu().FifoWords(), 0u);
    EXPECT_EQ(hw.txErrors, 0u);
}

TEST_F(BlockReadTest, SmallBufferTakesWholeWordsOnly) {
    emu().PushFifo(Pattern(100));
    uint32_t buffer[8] = {};
    uint32_t bytes = 0;
    ASSERT_EQ(hw.ReadBlock(reinterpret_cast<uint16_t*>(buffer), 30, &bytes), 0);
    EXPECT_EQ(bytes, 28u);
    EXPECT_EQ(buffer[7], 0u);  // the eighth word did not fit
    EXPECT_EQ(std::vector<uint32_t>(buffer, buffer + 7), Pattern(7));
    EXPECT_EQ(emu().FifoWords(), 93u);
}

TEST_F(BlockReadTest, ChecksumWrongOnEveryAttempt) {
    emu().PushFifo(Pattern(20));
    emu().CorruptNextTransfers(10);
    hw.maxRetries = 10;
    hw.txErrors = 5;
    const uint32_t pointer = hw.GetReadPointer();
    port->Clear();
    uint32_t buffer[20];
    uint32_t bytes = 1;
    EXPECT_EQ(hw.ReadBlock(reinterpret_cast<uint16_t*>(buffer), sizeof buffer, &bytes), -200);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(emu().BlockTransfers(), 10u);
    EXPECT_EQ(port->Writes(reg::READ_POINTER), std::vector<uint32_t>(10, pointer));
    EXPECT_EQ(port->Writes(reg::CHECKSUM), std::vector<uint32_t>(10, 0));
    EXPECT_EQ(hw.txErrors, 15u);
    // The data stay in the buffer RAM for the next read.
    EXPECT_EQ(emu().FifoWords(), 20u);
}

TEST_F(BlockReadTest, ChecksumWrongOnceThenRightData) {
    emu().PushFifo(Pattern(20));
    emu().CorruptNextTransfers(1);
    port->Clear();
    uint32_t buffer[20];
    uint32_t bytes = 0;
    ASSERT_EQ(hw.ReadBlock(reinterpret_cast<uint16_t*>(buffer), sizeof buffer, &bytes), 0);
    EXPECT_EQ(bytes, 80u);
    EXPECT_EQ(std::vector<uint32_t>(buffer, buffer + 20), Pattern(20));
    EXPECT_EQ(emu().BlockTransfers(), 2u);
    EXPECT_EQ(port->Writes(reg::READ_POINTER).size(), 1u);
    EXPECT_EQ(hw.txErrors, 1u);
}

TEST_F(BlockReadTest, OneAttemptWhenRetriesAreOne) {
    emu().PushFifo(Pattern(4));
    emu().CorruptNextTransfers(3);
    hw.maxRetries = 1;
    uint32_t buffer[4];
    uint32_t bytes = 0;
    EXPECT_EQ(hw.ReadBlock(reinterpret_cast<uint16_t*>(buffer), sizeof buffer, &bytes), -200);
    EXPECT_EQ(emu().BlockTransfers(), 1u);
    EXPECT_EQ(hw.txErrors, 1u);
}

}  // namespace
