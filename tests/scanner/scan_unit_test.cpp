// The scan cycle over a scanner whose answers the test chooses: the light measurement, the
// diagnosis decoding, and devices that answer nonsense.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "common/working_settings.h"
#include "imagefile/image_utilities.h"
#include "scanner/local_scanner.h"
#include "imagefile/extra_header.h"
#include "scanner/scanner_state.h"
#include "config/image_numbering.h"
#include "config/scanner_settings.h"
#include "common/temp_dir.h"
#include "devicelink/registers.h"
#include "scanner/fake_scanner.h"
#include "scanner/open_steps.h"

namespace fs = std::filesystem;

namespace {

// An open scanner over a FakeScanner, with an image folder and a temporary file.
class FakeOpen : public ::testing::Test {
protected:
    void SetUp() override {
        UseWorkingSettings();
        Settings.Anz_Pix = 400;
        Settings.ADC_Ovs = 1;
        Settings.LaserTempMax = 50;
        Settings.AbstALines = 400;
        Device.MaxImageRatio = 4.0;
        Device.MaxPixVal = 4095;
        Device.ImageType = 2;
        Device.SlotMask = 0x0F;
        Device.BufferRam.size = 8u << 20;
        dev = new FakeScanner;
        dev->AnzPixLine = Settings.Anz_Pix - 1;
        fs::create_directories(images());
        snprintf(dev->ImageDir, sizeof dev->ImageDir, "%s", images().c_str());
        std::string temp = dir.file("scan.tmp");
        snprintf(TempFilePath, sizeof TempFilePath, "%s", temp.c_str());
        dev->WTempfile = fopen(temp.c_str(), "wb");
        dev->RTempfile = fopen(temp.c_str(), "rb");
        ScannerDevice = dev;
        ScannerOpen = true;
        ScannerActive = false;
        StatusCallBusy = false;
        CleanupPending = false;
        CleanupCounter = 0;
    }
    void TearDown() override { DeviceShutdown(); }
    std::string images() const { return dir.file("images"); }

    TempDir dir;
    FakeScanner* dev = nullptr;
};

using Light = FakeOpen;

TEST_F(Light, MoreThanSixteenBrightReadingsOfAHundredAreTooBright) {
    struct Case {
        uint16_t threshold;
        int bright;
        int result;
    } cases[] = {{400, 16, 0}, {400, 17, -10000}, {65535, 16, 0}, {65535, 17, -10000}, {500, 17, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "threshold " << c.threshold << ", bright " << c.bright);
        Settings.ADC_SW = c.threshold;
        // ADC_OVS 0: one sample, the level is the accumulator times 16. 26 gives 416, 25 gives 400.
        int reads = 0;
        dev->read16 = [&](uint32_t reg) -> uint16_t {
            if (reg != reg::ADC_ACCU) return 0;
            return reads++ < c.bright ? 26 : 25;
        };
        int level = 0;
        EXPECT_EQ(c.result, MeasureLightLevel(&level));
        EXPECT_EQ(100, reads);
        EXPECT_EQ((c.bright * 416 + (100 - c.bright) * 400) / 100, level);
    }
    ScannerActive = true;
    EXPECT_EQ(-4, MeasureLightLevel(nullptr));
}

TEST_F(FakeOpen, DiagnosisReportsTheFirstFlagInSlotAndBitOrder) {
    Device.ScannerKind = SCANNER_KIND_CALYXA;
    struct Case {
        uint8_t lamp1, lamp2;
        int result;
    } cases[] = {{0x00, 0x01, -1109}, {0x02, 0x00, -1100}, {0x08, 0x02, -1112}, {0x00, 0x04, -1105},
                 {0x05, 0x00, -1104}, {0x00, 0x00, 0},     {0x10, 0x20, 0}};
    for (const Case& c : cases) {
        dev->regs[reg::LAMP1_STATUS] = c.lamp1;
        dev->regs[reg::LAMP2_STATUS] = c.lamp2;
        dev->regs[reg::LAMP1_43] = 0x33;
        ScannerDiag d{};
        EXPECT_EQ(c.result, Local_Get_ScannerDiag(&d)) << int(c.lamp1) << "/" << int(c.lamp2);
        EXPECT_EQ(c.lamp1, d.slot[0]);
        EXPECT_EQ(c.lamp2, d.slot[1]);
        EXPECT_EQ(0x33, d.lamp[0]);
    }
    // Main model: an erase unit reporting a lamp fault marks every slot.
    Device.ScannerKind = SCANNER_KIND_LUMORA;
    Device.BleachingFeature = 1;
    dev->regs[reg::STATUS] = 0x20;
    dev->regs[reg::ERASE_DATA] = 0x02;  // every erase-unit byte reads 2: lamp status bit 1
    ScannerDiag d{};
    memset(&d, 0xEE, sizeof d);
    EXPECT_EQ(-1150, Local_Get_ScannerDiag(&d));
    EXPECT_EQ(0x80, d.slot[3]);
    EXPECT_EQ(0, d.lamp[0]);
}

// Stream data of a plate: lines of 100 values from position 50, and after every second
// chunk a chunk of empty lines that ends the plate.
std::vector<uint16_t> PlateChunk(int n) {
    std::vector<uint16_t> w;
    bool empty = n % 3 == 2;
    while (w.size() + 102 <= CHUNK_BYTES / 2) {
        w.push_back(0xFFFE);
        w.push_back(empty ? 0xFFFF : 50);
        if (!empty)
            for (int i = 0; i < 100; i++) w.push_back(uint16_t(1000 + 30 * i));
    }
    return w;
}

// Chunks of nonsense: values without line markers, markers only, anything, line markers far
// outside the line.
std::vector<uint16_t> GarbageChunk(int n, std::mt19937& random) {
    std::vector<uint16_t> w(CHUNK_BYTES / 2);
    switch (n % 4) {
    case 0:
        for (auto& v : w) v = uint16_t(random() % 0xFFF0);
        break;
    case 1:
        for (size_t i = 0; i < w.size(); i++) w[i] = uint16_t(i % 2 ? random() : 0xFFF1 + random() % 15);
        break;
    case 2:
        for (auto& v : w) v = uint16_t(random());
        break;
    default:
        for (size_t i = 0; i < w.size(); i += 2) {
            w[i] = 0xFFFE;
            w[i + 1] = uint16_t(random());
        }
    }
    return w;
}

// A device that answers nonsense must never crash the driver, never write outside the image
// folder and never leave an image file that cannot be read.
TEST_F(FakeOpen, NonsenseFromTheDeviceGivesErrorsOrNoImageButNoHarm) {
    std::mt19937 random(7);
    uint32_t lineCounter = 1000000;
    int poll = 0;
    bool drained = false;  // now and then the plate ends and the memory is empty
    dev->status = [&](ScanStatus* s) {
        drained = ++poll % 60 == 0;
        s->status = drained ? 0xFE : 0xFF;  // every bit, or every bit but the plate
        s->inlet = 0xFF;
        s->slotLines = 0xFF;
        s->reg34 = 0xFF;
        lineCounter -= random() % 50;  // going backwards, sometimes jumping forward
        if (random() % 7 == 0) lineCounter += 5000;
        s->scanLines = lineCounter & 0xFFFFFF;
        s->wordsWaiting = 0xFFFFFFFF;  // more than any buffer RAM holds
        s->error = 0;
        return true;
    };
    dev->read32 = [&](uint32_t) { return drained ? 0u : 0xFFFFFFFFu; };
    bool garbage = false;
    int chunk = 0;
    dev->nextBlock = [&] { return garbage ? GarbageChunk(chunk++, random) : PlateChunk(chunk++); };
    ScannerActive = true;
    std::vector<std::string> outside;
    for (auto& e : fs::directory_iterator(dir.path())) outside.push_back(e.path().filename());

    int produced = 0;
    for (bool g : {false, true}) {
        garbage = g;
        for (int i = 0; i < 300; i++) {
            int word = Local_Get_Status();
            EXPECT_GE(word, 0) << word;  // garbage in the stream is dropped, never an error
            char name[1024];
            while (Local_Get_ImageName(name) > 0) {
                produced++;
                ImageInfo info{};
                ASSERT_EQ(0, Local_Get_ImageInfo(&info, name)) << name;
                std::vector<uint16_t> pixels(size_t(info.width) * info.height + 1);
                EXPECT_EQ(0, Local_Read_DiskImage(pixels.data(), name)) << name;
            }
        }
        if (!g) {
            EXPECT_GT(produced, 0) << "well-formed data under a nonsense status gave no image";
        }
    }
    for (auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(outside.end(), std::find(outside.begin(), outside.end(), e.path().filename())) << e.path();
    for (auto& e : fs::recursive_directory_iterator(images())) {
        std::string n = e.path().filename();
        EXPECT_TRUE(n.rfind("LM", 0) == 0 || n == NUMBERING_FILE) << "unexpected file in the image folder: " << n;
    }
}

TEST_F(FakeOpen, DemoLeadInAndOffsetAtAPlateStart) {
    struct Case {
        bool fast;
        int imageType;
        int demoLine;
        uint16_t offset;
    } cases[] = {{true, 1, -50, 700}, {false, 1, -200, 700}, {false, 2, -200, 150}, {true, 4, -50, 150}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fast " << c.fast << ", type " << c.imageType);
        dev->DemoActive = 1;
        dev->FastDemo = c.fast;
        dev->DemoImage.width = 100;
        Device.ImageType = c.imageType;
        Device.SlotMask = 0x0C;
        Device.AngleTable[2] = 700;  // slot 3
        PlateStarted = false;
        bool scanning = false;
        dev->status = [&](ScanStatus* s) {
            *s = ScanStatus{};
            s->status = scanning ? 0x01 : 0x00;
            s->inlet = 0x05;  // slots 1 and 3: only slot 3 is in the mask
            return true;
        };
        EXPECT_GE(Local_Get_Status(), 0);
        EXPECT_EQ(-400, dev->DemoLine);  // idle: a full lead-in
        scanning = true;
        EXPECT_GE(Local_Get_Status(), 0);
        EXPECT_EQ(c.demoLine, dev->DemoLine);
        EXPECT_EQ(c.offset, dev->DemoOffset);
        EXPECT_TRUE(PlateStarted);
    }
}

TEST_F(FakeOpen, RecoveryStopsWhenTheMemoryNeverDrains) {
    dev->read32 = [](uint32_t reg) { return reg == reg::WORDS_WAITING ? 100000u : 0u; };
    dev->nextBlock = [] { return std::vector<uint16_t>(CHUNK_BYTES / 2, 0x1234); };
    EXPECT_EQ(-1012, RecoverScannerMemory());
    EXPECT_EQ(nullptr, ScannerDevice);
    EXPECT_FALSE(ScannerOpen);
    dev = nullptr;
    EXPECT_FALSE(fs::exists(dir.file("scan.tmp")));
}

TEST_F(FakeOpen, StatusErrorsOfTheDeviceArePassedOnExceptWarnings) {
    int16_t error = -1005;
    dev->status = [&](ScanStatus* s) {
        *s = ScanStatus{};
        s->error = error;
        return true;
    };
    EXPECT_EQ(-1005, Local_Get_Status());
    error = -10000;
    EXPECT_GE(Local_Get_Status(), 0);
    EXPECT_FALSE(StatusCallBusy);
}

}  // namespace
