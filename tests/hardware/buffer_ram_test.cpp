// Buffer-RAM detection from the module's SPD EEPROM and the buffer set-up.
#include "hw_fixture.h"

#include "devicelink/registers.h"

namespace {

using BufferRamTest = HwTest;

TEST_F(BufferRamTest, ModuleTable) {
    struct Case {
        int memType, rows, columns, sides, banks, width;
        int result;
        uint8_t type;
        uint32_t size;
    } cases[] = {
        {4, 12, 9, 1, 4, 64, 0, 6, 64u << 20},
        {4, 12, 9, 1, 4, 72, 0, 6, 72u << 20},
        {4, 11, 9, 2, 2, 64, 0, 8, 32u << 20},
        {4, 12, 8, 1, 4, 64, 0, 2, 32u << 20},
        {4, 13, 10, 1, 4, 64, 0, 7, 256u << 20},
        {4, 12, 10, 2, 4, 64, 0, 30, 256u << 20},
        {4, 14, 9, 1, 4, 64, -101, 255, 256u << 20},  // no type for this geometry
        {2, 12, 9, 1, 4, 64, -101, 6, 64u << 20},     // not SDRAM
        {4, 12, 9, 1, 4, 32, -101, 6, 32u << 20},     // width neither 64 nor 72
        {4, 255, 255, 255, 255, 255, -101, 255, 0},   // nonsense stays harmless
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rows " << c.rows << " cols " << c.columns << " type "
                                        << c.memType << " width " << c.width);
        Describe("[Memory]\nType=" + std::to_string(c.memType) + "\nRows=" +
                 std::to_string(c.rows) + "\nColumns=" + std::to_string(c.columns) +
                 "\nSides=" + std::to_string(c.sides) + "\nBanks=" + std::to_string(c.banks) +
                 "\nWidth=" + std::to_string(c.width) + "\n");
        BufferRamInfo info{};
        EXPECT_EQ(hw.DetectBufferRam(&info), c.result);
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.size, c.size);
        EXPECT_EQ(info.rows, c.rows);
        EXPECT_EQ(info.colums, c.columns);
        EXPECT_EQ(info.sides, c.sides);
        EXPECT_EQ(info.banks, c.banks);
        EXPECT_EQ(info.wide, c.width);
    }
}

TEST_F(BufferRamTest, UnreadableModuleAfterTwoTries) {
    Describe("[Memory]\nPresent=0\n");
    BufferRamInfo info{};
    EXPECT_EQ(hw.DetectBufferRam(&info), -100);
    // Each try is a start for the byte address and a repeated start for reading.
    EXPECT_EQ(emu().GetI2cTraffic().starts, 4u);
}

TEST_F(BufferRamTest, SecondModelHasFixedValues) {
    Device.ScannerKind = SCANNER_KIND_CALYXA;
    BufferRamInfo info{};
    EXPECT_EQ(hw.DetectBufferRam(&info), 0);
    EXPECT_EQ(info.size, 0x4000000u);
    EXPECT_EQ(info.rows, 13);
    EXPECT_EQ(info.colums, 9);
    EXPECT_EQ(info.sides, 1);
    EXPECT_EQ(info.banks, 4);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(info.wide, 32);
    EXPECT_EQ(emu().GetI2cTraffic().starts, 0u);
}

TEST_F(BufferRamTest, SetupWritesTypeAndSizesAndResetsTheBuffer) {
    std::vector<uint32_t> old(100, 7);
    emu().PushFifo(old);
    BufferRamInfo info{128u << 20, 12, 10, 1, 4, 6, 64};
    hw.SetupBufferRam(&info);
    EXPECT_EQ(port->Writes(reg::BUF_TYPE), std::vector<uint32_t>{6});
    EXPECT_EQ(port->Writes(reg::BUF_SIZE_DIV4), std::vector<uint32_t>{32});
    EXPECT_EQ(port->Writes(reg::BUF_SIZE_DIV2), std::vector<uint32_t>{64});
    EXPECT_EQ(port->Writes(reg::BUF_SIZE_MINUS2), std::vector<uint32_t>{126});
    std::vector<uint32_t> control = port->Writes(reg::CONTROL);
    ASSERT_EQ(control.size(), 4u);
    EXPECT_EQ(control[0] & 0x80, 0x80u);
    EXPECT_EQ(control[1] & 0x80, 0u);
    EXPECT_EQ(emu().FifoWords(), 0u);
}

}  // namespace
