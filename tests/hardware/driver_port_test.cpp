// The kernel-driver port: device selection, request sizes, port claim and release.
#include "hw_fixture.h"

#include <unistd.h>

#include <cerrno>

#include "devicelink/registers.h"

namespace {

using DriverPortTest = HwTest;

TEST_F(DriverPortTest, WrongBufferSizesAreRefused) {
    uint32_t address = reg::STATUS;
    uint8_t out[8];
    uint32_t returned = 77;
    struct Case {
        uint32_t code;
        uint32_t inSize, outSize;
    } cases[] = {
        {IOCTL_READ8, 4, 0},  {IOCTL_READ8, 2, 1},     {IOCTL_READ16, 4, 1},
        {IOCTL_READ32, 4, 2}, {IOCTL_PORT_INFO, 0, 8}, {IOCTL_INTERFACE_STATUS, 0, 2},
        {IOCTL_SELECT, 2, 0}, {IOCTL_WRITE16, 1, 0},   {IOCTL_WRITE32, 8, 0},
        {IOCTL_DOWNLOAD, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code << " in " << c.inSize << " out "
                                        << c.outSize);
        platform::SetLastError(0);
        EXPECT_FALSE(hw.hDevice->Request(c.code, &address, c.inSize, out, c.outSize, &returned));
        EXPECT_EQ(platform::LastError(), EINVAL);
        EXPECT_EQ(returned, 0u);
    }
    EXPECT_FALSE(hw.hDevice->Request(DriverCode(0x8FF), nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(platform::LastError(), ENOTTY);
}

TEST_F(DriverPortTest, ClaimAndReleaseThePort) {
    EXPECT_EQ(hw.portClaimed, 1u);
    EXPECT_TRUE(emu().PortClaimed());
    EXPECT_EQ(hw.Free_Interface(), 0);
    EXPECT_EQ(hw.portClaimed, 0u);
    EXPECT_FALSE(emu().PortClaimed());
    EXPECT_EQ(emu().PortReleaseWrites(), 2u);
    EXPECT_EQ(emu().PeekRegister(reg::PORT_RELEASE), 0x40);
    // Released again without a claim: no register writes.
    EXPECT_EQ(hw.Free_Interface(), 0);
    EXPECT_EQ(emu().PortReleaseWrites(), 2u);
}

TEST_F(DriverPortTest, RegisterWidths) {
    EXPECT_NE(hw.RegWriteLong(reg::READ_POINTER, 0x1234), 0);
    EXPECT_EQ(hw.RegReadLong(reg::READ_POINTER), 0x1234u);
    EXPECT_NE(hw.RegWriteShort(reg::ADC_START, 0xBEEF), 0);
    EXPECT_EQ(hw.RegReadShort(reg::ADC_START), 0xBEEF);
    EXPECT_EQ(hw.RegRead(reg::ADC_START), 0xEF);
    EXPECT_EQ(hw.RegRead(reg::ADC_START + 1), 0xBE);
}

TEST(DriverPortOpen, DeviceNodes) {
    if (access(LUMORA_DEFAULT_DEVICE, F_OK) != 0) {  // no scanner driver on this machine
        HW_access standard;
        unsetenv("LUMORA_EPP_DEVICE");
        EXPECT_EQ(standard.OpenDevice(), -1001);
        EXPECT_EQ(platform::LastError(), ENOENT);
    }
    HW_access missing;
    setenv("LUMORA_EPP_DEVICE", "/nonexistent/lumoradv", 1);
    EXPECT_EQ(missing.OpenDevice(), -1001);
    EXPECT_EQ(platform::LastError(), ENOENT);
    EXPECT_EQ(missing.hDevice, nullptr);
    EXPECT_EQ(missing.RegWrite(reg::STATUS, 1), 0);
    EXPECT_EQ(platform::LastError(), EBADF);

    // A node that is not the scanner's: every request fails with the system's error.
    HW_access other;
    setenv("LUMORA_EPP_DEVICE", "/dev/null", 1);
    ASSERT_EQ(other.OpenDevice(), 0);
    EXPECT_STREQ(other.hDevice->Name(), "/dev/null");
    EXPECT_EQ(other.Init_Interface(), ENOTTY);
    EXPECT_EQ(other.portClaimed, 0u);
    EXPECT_FALSE(other.IsFirmwareRunning());
    EXPECT_EQ(other.Init_Firmware("/nonexistent.hex", 0), ENOTTY);
    setenv("LUMORA_EPP_DEVICE", "emulator", 1);
}

}  // namespace
