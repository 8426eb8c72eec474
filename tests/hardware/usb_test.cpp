// The USB path: ImageFindUSB over liblumorausb.so, which drives the same emulated device.
#include "hw_fixture.h"
#include "log_capture.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "common/child_process.h"
#include "diagnostics/device_memory.h"
#include "imagefind/imagefind_usb.h"
#include "devicelink/registers.h"
#include "devicelink/lumorausb.h"

namespace {

class UsbTest : public HwTest {
protected:
    void SetUp() override {
        HwTest::SetUp();
        ASSERT_FALSE(dir_.empty());
        setenv("LUMORA_RUNTIME_DIR", dir_.c_str(), 1);
        usb = std::make_unique<ImageFindUSB>();
        ASSERT_EQ(usb->OpenDevice(), 0);
        ASSERT_EQ(usb->Init_Interface(), 0);
    }
    void TearDown() override {
        usb->Free_Interface();
        usb.reset();
    }
    TempDir temp_;
    const std::string dir_ = temp_.path();
    std::unique_ptr<ImageFindUSB> usb;
};

TEST_F(UsbTest, InterfaceKindIsUsb) {
    EXPECT_EQ(usb->InterfaceKind, INTERFACE_USB);
    EXPECT_EQ(usb->hDevice, nullptr);
    EXPECT_GE(usb->MutexHandle, 0);
}

// One hardware function, observed as numbers: the same emulator state gives the same numbers
// through the EPP port and through the USB library.
struct Operation {
    const char* what;
    std::function<void(lumora_emu::Device&)> prepare;
    std::function<std::vector<int64_t>(HW_access&, lumora_emu::Device&)> run;
};

template <typename T>
std::vector<int64_t> Numbers(const T* values, size_t n) {
    return std::vector<int64_t>(values, values + n);
}

std::string WriteHex(const std::string& dir, const std::string& text) {
    std::string path = dir + "/firmware.hex";
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

TEST_F(UsbTest, SameResultsAsTheEppPath) {
    auto none = [](lumora_emu::Device&) {};
    const std::string dir = dir_;
    std::vector<Operation> operations = {
        {"IDPROM read", none,
         [](HW_access& h, lumora_emu::Device&) {
             uint8_t b[256];
             std::vector<int64_t> r = {h.I2C_PROM_read(b, i2c::IDPROM, 0, 255)};
             std::vector<int64_t> bytes = Numbers(b, 256);
             r.insert(r.end(), bytes.begin(), bytes.end());
             return r;
         }},
        {"DATPROM write and read", none,
         [](HW_access& h, lumora_emu::Device& d) {
             uint8_t w[8] = {9, 8, 7, 6, 5, 4, 3, 2}, b[8] = {};
             std::vector<int64_t> r = {h.I2C_PROM_write(w, i2c::DATPROM, 3, 10)};
             d.AdvanceMs(10);  // the last byte's write cycle
             r.push_back(h.I2C_PROM_read(b, i2c::DATPROM, 3, 10));
             std::vector<int64_t> bytes = Numbers(b, 8);
             r.insert(r.end(), bytes.begin(), bytes.end());
             r.push_back(d.NowMs() >= 8);
             return r;
         }},
        {"silent EEPROM", [](lumora_emu::Device& d) { d.SetI2cSilent(i2c::IDPROM, true); },
         [](HW_access& h, lumora_emu::Device& d) {
             uint8_t b[4] = {}, w[1] = {1};
             return std::vector<int64_t>{h.I2C_PROM_read(b, i2c::IDPROM, 0, 3),
                                         h.I2C_PROM_write(w, i2c::IDPROM, 0, 0),
                                         d.PeekRegister(reg::EEPROM_WE)};
         }},
        {"ADC channels", none,
         [](HW_access& h, lumora_emu::Device& d) {
             std::vector<int64_t> r;
             for (uint8_t ch = 0; ch <= 4; ++ch) r.push_back(h.I2C_ADCread(i2c::ADC_DAC, ch));
             return r;
         }},
        {"high voltage", none,
         [](HW_access& h, lumora_emu::Device& d) {
             std::vector<int64_t> r = {h.SetHighVoltage(1200), d.DacValue(),
                                       h.SetHighVoltage(1201), d.DacValue(),
                                       h.I2C_DACout(i2c::ADC_DAC, 17), d.DacValue()};
             return r;
         }},
        {"temperatures", [](lumora_emu::Device& d) { d.SetLaserTemperature(41.5); },
         [](HW_access& h, lumora_emu::Device& d) {
             h.I2C_TEMPinit(i2c::TEMP_LASER, 60 * 256);
             std::vector<int64_t> r = {h.GetLaserTemperature(), h.GetSecondTemperature(),
                                       d.NowMs() >= 150};
             d.RemoveTemperatureSensor(i2c::TEMP_SECOND);
             r.push_back(h.GetSecondTemperature());
             r.push_back(h.I2C_TEMPread(i2c::TEMP_SECOND));
             return r;
         }},
        {"polygon motor", none,
         [](HW_access& h, lumora_emu::Device& d) {
             d.ClearMotorWords();
             std::vector<int64_t> r = {h.Pentamotor_init(6000), h.Pentamotor_init(0),
                                       h.Pentamotor_init(2000)};
             for (uint16_t w : d.MotorWords()) r.push_back(w);
             return r;
         }},
        {"block read with one bad transfer", none,
         [](HW_access& h, lumora_emu::Device& d) {
             std::vector<uint32_t> words(64);
             for (size_t i = 0; i < words.size(); ++i) words[i] = uint32_t(i * 0x10001u + 3);
             d.PushFifo(words);
             d.CorruptNextTransfers(1);
             uint32_t buffer[64] = {};
             uint32_t bytes = 0;
             std::vector<int64_t> r = {h.ReadBlock(reinterpret_cast<uint16_t*>(buffer), 200, &bytes),
                                       bytes, int64_t(d.FifoWords())};
             std::vector<int64_t> data = Numbers(buffer, 64);
             r.insert(r.end(), data.begin(), data.end());
             r.push_back(h.ReadBlock(reinterpret_cast<uint16_t*>(buffer), 0, &bytes));
             r.push_back(bytes);
             return r;
         }},
        {"status and line counter", none,
         [](HW_access& h, lumora_emu::Device& d) {
             d.PushFifo(std::vector<uint32_t>(33, 1));
             ScanStatus s{};
             std::vector<int64_t> r = {h.GetScanStatus(&s), s.status,        s.inlet,
                                       s.slotLines,         s.wordsWaiting, s.error,
                                       h.Anz_ScanLine()};
             return r;
         }},
        {"buffer RAM module", none,
         [](HW_access& h, lumora_emu::Device&) {
             BufferRamInfo info{};
             std::vector<int64_t> r = {h.DetectBufferRam(&info), info.size, info.type};
             return r;
         }},
        {"event counters",
         [](lumora_emu::Device& d) {
             std::vector<std::string> warnings;
             d.LoadDescriptionText("[DataProm]\nSlot2Events=1,2,3,4,5,6\n", &warnings);
             d.SetFirmwareRunning(true);
         },
         [](HW_access& h, lumora_emu::Device&) {
             EventCounters c{};
             std::vector<int64_t> r = {h.ReadEventCounters(&c, 2), c.scanStarts, c.sensorBlocked};
             return r;
         }},
        {"data PROM reset",
         [](lumora_emu::Device& d) {
             std::vector<std::string> warnings;
             d.LoadDescriptionText("[DataProm]\nIntra=3\nTotal=4\n", &warnings);
             d.SetFirmwareRunning(true);
         },
         [](HW_access& h, lumora_emu::Device& d) {
             ReadDataProm(&h);
             std::vector<uint8_t> stored = d.Datprom();
             return std::vector<int64_t>{DatpromCounter(1), DatpromTotal(), stored[0], stored[16]};
         }},
        {"firmware", none,
         [dir](HW_access& h, lumora_emu::Device& d) {
             std::vector<int64_t> r;
             r.push_back(h.Init_Firmware(WriteHex(dir, ":020000001234B8\n:0100000001").c_str(), 0));
             r.push_back(h.IsFirmwareRunning());
             std::vector<uint8_t> image = d.LastFirmwareImage();
             r.insert(r.end(), image.begin(), image.end());
             r.push_back(h.Init_Firmware(WriteHex(dir, ":020000001234B9\n").c_str(), 0));
             r.push_back(h.Init_Firmware((dir + "/missing.hex").c_str(), 0));
             r.push_back(h.Init_Firmware(WriteHex(dir, ":020000001234B8\n").c_str(), 1));
             d.Reset();
             d.SetConfigStatusBit4(true);
             r.push_back(h.Init_Firmware(WriteHex(dir, ":020000001234B8\n").c_str(), 0));
             d.Reset();
             d.SetDownloadFails(true);
             r.push_back(h.Init_Firmware(WriteHex(dir, ":020000001234B8\n").c_str(), 0));
             return r;
         }},
    };
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.what);
        emu().Reset();
        emu().SetFirmwareRunning(true);
        op.prepare(emu());
        std::vector<int64_t> epp = op.run(hw, emu());
        emu().Reset();
        emu().SetFirmwareRunning(true);
        op.prepare(emu());
        std::vector<int64_t> viaUsb = op.run(*usb, emu());
        EXPECT_EQ(epp, viaUsb);
        EXPECT_FALSE(epp.empty());
    }
}

TEST_F(UsbTest, PromReadIsRepeatedOnceOnFailure) {
    emu().SetI2cSilent(i2c::IDPROM, true);
    uint8_t b[4];
    emu().ClearI2cTraffic();
    EXPECT_EQ(usb->I2C_PROM_read(b, i2c::IDPROM, 0, 3), -1007);
    // Two library calls, each a start and a repeated start.
    EXPECT_EQ(emu().GetI2cTraffic().starts, 4u);
}

TEST_F(UsbTest, ClearReadBlockUsesTheRegisterPulse) {
    emu().PushFifo(std::vector<uint32_t>(10, 5));
    usb->ClearReadBlock();
    EXPECT_EQ(emu().FifoWords(), 0u);
    EXPECT_EQ(emu().PeekRegister(reg::CONTROL) & 0x80, 0);
}

TEST_F(UsbTest, TransferProblemsShowInTheStatusRecord) {
    const LumoraUsbLibrary* lib = platform::LumoraUsb();
    ASSERT_NE(lib, nullptr);
    lib->Free_Interface();
    ScanStatus s{};
    EXPECT_EQ(usb->GetScanStatus(&s), 0);
    EXPECT_NE(s.error, 0);
    EXPECT_FALSE(usb->IsFirmwareRunning());
    ASSERT_EQ(lib->Init_Interface(), 0);
    EXPECT_EQ(usb->GetScanStatus(&s), 0);
    EXPECT_EQ(s.error, 0);
}

TEST_F(UsbTest, FirmwareLoadedButStatusRegisterDead) {
    const std::string path = WriteHex(dir_, ":020000001234B8\n:00000001FF\n");
    emu().ForceRead(reg::STATUS, 0xFF);
    EXPECT_EQ(usb->Init_Firmware(path.c_str(), 0), -1004);
    EXPECT_FALSE(emu().LastFirmwareImage().empty());
    emu().ClearForcedReads();
    EXPECT_EQ(usb->Init_Firmware(path.c_str(), 0), 0);
}

TEST_F(UsbTest, LibraryRefusalGivesTheLockUp) {
    usb->Free_Interface();
    auto* lib = const_cast<LumoraUsbLibrary*>(platform::LumoraUsb());
    ASSERT_NE(lib, nullptr);
    const UsbInitInterfaceFn real = lib->Init_Interface;
    struct Restore {
        LumoraUsbLibrary* lib;
        UsbInitInterfaceFn fn;
        ~Restore() { lib->Init_Interface = fn; }
    } restore{lib, real};
    lib->Init_Interface = [] { return LUMORAUSB_NO_DEVICE; };
    {
        LogCapture log;
        EXPECT_EQ(usb->Init_Interface(), LUMORAUSB_NO_DEVICE);
        EXPECT_TRUE(log.Logged(7, "CreateMutex USB_SCANNER_USED success"));
        EXPECT_TRUE(log.Logged(3, "USB::Init_Interface() error -1100"));
        EXPECT_TRUE(log.Logged(7, "CreateMutex USB_SCANNER_USED removed"));
        EXPECT_EQ(usb->MutexHandle, -1);
    }
    lib->Init_Interface = real;
    // The lock is free again: another scanner object takes it.
    auto other = std::make_unique<ImageFindUSB>();
    EXPECT_EQ(other->Init_Interface(), 0);
    other->Free_Interface();
    EXPECT_EQ(usb->Init_Interface(), 0);
}

TEST_F(UsbTest, SecondScannerObjectIsRefused) {
    LogCapture log;
    auto second = std::make_unique<ImageFindUSB>();
    EXPECT_EQ(second->Init_Interface(), -1001);
    EXPECT_TRUE(log.Logged(3, "ImageFindUSB::Init_Interface Mutex USB_SCANNER_USED error"));
    second->Free_Interface();
    EXPECT_TRUE(log.Logged(7, "CreateMutex USB_SCANNER_USED removed"));
    // Refused again while the first holds it; free once the first lets go.
    EXPECT_EQ(usb->Init_Interface(), -1001);
    usb->Free_Interface();
    EXPECT_EQ(usb->MutexHandle, -1);
    EXPECT_EQ(second->Init_Interface(), 0);
    EXPECT_TRUE(log.Logged(7, "CreateMutex USB_SCANNER_USED success"));
    second->Free_Interface();
}

// Runs body in a child process and returns its exit status.
int InChild(const std::function<int()>& body) { return WaitForExit(StartInChild(body)); }

TEST_F(UsbTest, LockFileOfAnotherUserStillGuards) {
    // The lock file belongs to this user; the child runs as someone without write access to it
    // (an unprivileged user when the tests run as root).
    const std::string lock = dir_ + "/USB_SCANNER_USED.lock";
    ASSERT_EQ(chmod(lock.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    auto asOtherUser = [] {
        if (geteuid() == 0 && setuid(65534) != 0) return 3;
        ImageFindUSB* other = new ImageFindUSB();
        return other->Init_Interface() == 0 ? 0 : 1;
    };
    EXPECT_EQ(InChild(asOtherUser), 1);  // held here
    usb->Free_Interface();
    EXPECT_EQ(InChild(asOtherUser), 0);  // free
}

TEST_F(UsbTest, SecondProcessIsRefused) {
    int code = InChild([] {
        ImageFindUSB* other = new ImageFindUSB();
        int rc = other->Init_Interface();
        return rc == -1001 ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    usb->Free_Interface();
    code = InChild([] {
        ImageFindUSB* other = new ImageFindUSB();
        int rc = other->Init_Interface();
        return rc == 0 ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(UsbTest, CrashedProcessLeavesTheScannerFree) {
    usb->Free_Interface();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = StartInChild([&]() -> int {
        ImageFindUSB* holder = new ImageFindUSB();
        char rc = holder->Init_Interface() == 0 ? 'y' : 'n';
        if (write(ready[1], &rc, 1) != 1) return 2;
        for (;;) pause();
    });
    close(ready[1]);
    char rc = 0;
    ASSERT_EQ(read(ready[0], &rc, 1), 1);
    close(ready[0]);
    EXPECT_EQ(rc, 'y');
    EXPECT_EQ(usb->Init_Interface(), -1001);
    kill(pid, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, WaitForExit(pid));
    EXPECT_EQ(usb->Init_Interface(), 0);
}

}  // namespace
