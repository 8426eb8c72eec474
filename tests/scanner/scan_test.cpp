// Plates scanned on the emulator through the exported functions: images, info files,
// counters, the status word, and what is left behind.
#include <filesystem>
#include <future>
#include <thread>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class Scan : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        // The phantoms are small plates: accept them.
        Config({{"Scanner", "MinBild", "1"}});
    }

    static std::string Plates(const std::vector<std::string>& entries) {
        std::string text;
        for (size_t i = 0; i < entries.size(); i++)
            text += "[Plate_" + std::to_string(i + 1) + "]\n" + entries[i] + "\n";
        return text;
    }

    // Polls until n images wait and no data are on their way (or the poll limit).
    int WaitForImages(int n, long maxPolls = 200000) {
        int st = 0;
        for (long i = 0; i < maxPolls; i++) {
            st = Get_Status();
            if (st < 0) return st;
            if ((st & 0xFF) >= n && !(st & LUMORA_STATUS_RECEIVING) && !(st & LUMORA_STATUS_PLATE_IN_SCAN))
                return st;
        }
        return st;
    }

    // Polls until every plate fed has left the scan and its data are processed.
    int WaitForAllPlates(long maxPolls = 400000) {
        int st = 0;
        for (long i = 0; i < maxPolls; i++) {
            st = Get_Status();
            if (st < 0) return st;
            if (st & (LUMORA_STATUS_RECEIVING | LUMORA_STATUS_PLATE_IN_SCAN)) continue;
            bool done = true;
            for (const auto& p : Emu().Plates()) done = done && p.stage == lumora_emu::PlateStage::Done;
            if (done) return Get_Status();
        }
        return st;
    }

    static std::vector<uint16_t> ReadImage(const std::string& name, ImageInfo* info) {
        *info = ImageInfo{};
        if (Get_ImageInfo(info, name.c_str()) != 0) return {};
        std::vector<uint16_t> pixels(size_t(info->width) * info->height);
        if (Read_DiskImage(pixels.data(), name.c_str()) != 0) return {};
        return pixels;
    }

    static uint32_t Counter(const std::vector<uint8_t>& datprom, int offset) {
        return datprom[offset] | datprom[offset + 1] << 8 | datprom[offset + 2] << 16 | uint32_t(datprom[offset + 3]) << 24;
    }
};

TEST_F(Scan, ThreePlatesBecomeThreeNumberedImagesHandedOutInOrder) {
    Emulator(Plates({"Image=phantom:stepwedge\nSlot=1\nAt=0.5\nType=intra",
                     "Image=phantom:bars\nSlot=3\nAt=8\nType=extra",
                     "Image=phantom:shapes\nSlot=2\nAt=16\nType=intra"}));
    uint32_t intraBefore = Counter(Emu().Datprom(), 0);
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    int st = WaitForImages(3);
    ASSERT_GE(st, 0);
    EXPECT_EQ(3, st & 0xFF);
    EXPECT_TRUE(st & LUMORA_STATUS_ARMED);

    char name[1024];
    std::vector<uint16_t> wh = {256, 320, 320, 256, 288, 288};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(3 - i, Get_ImageName(name));
        char want[32];
        snprintf(want, sizeof want, "/LM%06d.XYZ", i + 1);
        EXPECT_EQ(ImageDir() + want, name);
        ImageInfo info;
        EXPECT_FALSE(ReadImage(name, &info).empty()) << name;
        EXPECT_EQ(wh[2 * i], info.width) << name;
        EXPECT_EQ(wh[2 * i + 1], info.height) << name;
        std::string side = std::string(name).substr(0, strlen(name) - 3) + "txt";
        EXPECT_TRUE(fs::exists(side)) << side;
    }
    EXPECT_EQ(0, Get_ImageName(name));
    EXPECT_STREQ("", name);
    EXPECT_EQ(0, Get_Status() & 0xFF);

    EXPECT_EQ(0, Deaktivate_Scanner());
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(intraBefore + 3, Counter(Emu().Datprom(), 0));
    for (auto& e : fs::directory_iterator(ImageDir())) EXPECT_NE(".tmp", e.path().extension()) << e.path();
    EXPECT_EQ(-4, Get_ImageName(name));
}

TEST_F(Scan, ImagesNotFetchedAtCloseAreReportedAndKept) {
    Emulator(Plates({"Image=phantom:bars\nSlot=2\nAt=0.5"}));
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    EXPECT_EQ(1, WaitForImages(1) & 0xFF);
    EXPECT_EQ(-10001, Close_Scanner());
    EXPECT_TRUE(Logged(4, "1 Images not reported to application"));
    EXPECT_TRUE(fs::exists(ImageDir() + "/LM000001.XYZ"));
    EXPECT_EQ(0, Close_Scanner());

    // The next open continues the numbering and warns about the file left over.
    EXPECT_EQ(-10001, Open_Scanner(1));
    EXPECT_EQ(0, Close_Scanner());
    char name[1024];
    ASSERT_EQ(0, Get_FirstOldImageName(name));
    EXPECT_EQ(0, Delete_Image(name));
    EXPECT_FALSE(fs::exists(name));
    EXPECT_FALSE(fs::exists(ImageDir() + "/LM000001.txt"));
    EXPECT_EQ(-1, Get_FirstOldImageName(name));
}

// With binning 1, no oversampling halving, interpolation 1 and no calibration, each image
// pixel is the stream value of the plate pixel the emulator scanned there.
TEST_F(Scan, ImageEqualsThePlateFedPixelForPixel) {
    Config({{"Scanner", "MinBild", "1"}, {"Scanner", "Kalibrierdaten", ""}, {"Param_1", "Binning", "0"},
            {"Param_1", "Interpolate_Y", "1"}, {"Param_1", "Script", ""},
            {"Param_1", "DeFlash", "0"}});
    Emulator(Plates({"Image=phantom:shapes\nSlot=2\nAt=0.5"}));
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Set_ImageFilterMode(0));
    ASSERT_EQ(0, Aktivate_Scanner());
    ASSERT_EQ(1, WaitForImages(1) & 0xFF);
    char name[1024];
    ASSERT_EQ(1, Get_ImageName(name));
    ImageInfo info;
    std::vector<uint16_t> image = ReadImage(name, &info);
    ASSERT_FALSE(image.empty());

    lumora_emu::PlateImage plate;
    std::string error;
    ASSERT_TRUE(lumora_emu::Device::LoadPlateImage({"phantom:shapes", 2, 0.5, 0, 0}, &plate, &error)) << error;
    ASSERT_EQ(plate.width, info.width);
    ASSERT_EQ(plate.height, info.height);
    uint8_t ovs = Emu().PeekRegister(0xD0);
    uint16_t offset = uint16_t(Emu().PeekRegister(0xD2) | Emu().PeekRegister(0xD3) << 8);
    uint16_t dark = 320;  // the emulator's default dark level
    long mismatches = 0;
    for (int y = 0; y < plate.height; y++)
        for (int x = 0; x < plate.width; x++) {
            uint16_t want = lumora_emu::StreamValue(plate.At(x, y), dark, ovs, offset);
            uint16_t got = image[size_t(y) * info.width + x];
            if (got != want && mismatches++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << got << " instead of " << want;
        }
    EXPECT_EQ(0, mismatches);
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Scan, StatusWordFollowsThePlate) {
    Emulator(Plates({"Image=phantom:stepwedge\nSlot=3\nAt=0.5"}));
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Set_Prescanmode(64));
    int st = Get_Status();
    ASSERT_GE(st, 0);
    EXPECT_FALSE(st & LUMORA_STATUS_ARMED);
    ASSERT_EQ(0, Aktivate_Scanner());

    uint32_t seen = 0, inlet = 0, slots = 0;
    for (int i = 0; i < 100000 && !(st & 0xFF); i++) {
        st = Get_Status();
        ASSERT_GE(st, 0);
        seen |= uint32_t(st);
        inlet |= (uint32_t(st) >> 8) & 0xFF;
        slots |= (uint32_t(st) >> 16) & 0xFF;
        if (st & LUMORA_STATUS_PRESCAN) {
            uint8_t line[1024];
            memset(line, 0xEE, sizeof line);
            EXPECT_EQ(0, Get_Prescanline(line));
            EXPECT_EQ(0xEE, line[64]);
        }
    }
    EXPECT_EQ(1, st & 0xFF);
    for (uint32_t bit : {LUMORA_STATUS_ARMED, LUMORA_STATUS_PLATE_IN_SCAN, LUMORA_STATUS_RECEIVING, LUMORA_STATUS_PRESCAN})
        EXPECT_TRUE(seen & bit) << std::hex << bit;
    EXPECT_EQ(0x04u, inlet & 0x0F);  // slot 3's sensor
    EXPECT_NE(0u, slots);
    EXPECT_EQ(0u, seen & 0x80000000u);

    EXPECT_EQ(0, Deaktivate_Scanner());
    st = Get_Status();
    EXPECT_FALSE(st & LUMORA_STATUS_ARMED);
    EXPECT_EQ(1, st & 0xFF);
    char name[1024];
    EXPECT_EQ(1, Get_ImageName(name));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Scan, WaitingImagesAreCountedUpTo255) {
    std::vector<std::string> plates;
    for (int i = 0; i < 258; i++)
        plates.push_back("Image=phantom:stepwedge\nWidth=48\nHeight=48\nSlot=" + std::to_string(1 + i % 4) +
                         "\nAt=" + std::to_string(0.5 + i * 1.2));
    Emulator(Plates(plates));
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    int st = WaitForImages(255, 400000);
    EXPECT_EQ(255, st & 0xFF);
    st = WaitForAllPlates();
    EXPECT_EQ(255, st & 0xFF);
    char name[1024], last[1024] = "";
    EXPECT_EQ(258, Get_ImageName(name));
    EXPECT_EQ(ImageDir() + "/LM000001.XYZ", name);
    while (Get_ImageName(name) > 0) strcpy(last, name);
    EXPECT_EQ(ImageDir() + "/LM000258.XYZ", last);
    EXPECT_EQ(0, Get_Status() & 0xFF);
    EXPECT_EQ(0, Close_Scanner());
}

// A second thread polling while a status call runs is turned away; the running call is not
// disturbed. The test holds the emulator's lock so that the first call stays inside the device.
TEST_F(Scan, OverlappingStatusCallIsTurnedAway) {
    ASSERT_EQ(0, Open_Scanner(1));
    std::unique_lock<std::recursive_mutex> hold(Emu().Mutex());
    auto a = std::async(std::launch::async, [] { return Get_Status(); });
    auto b = std::async(std::launch::async, [] { return Get_Status(); });
    // One of the two finds the other inside and returns at once.
    while (a.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready &&
           b.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    }
    hold.unlock();
    int ra = a.get(), rb = b.get();
    EXPECT_TRUE((ra == -12002) != (rb == -12002)) << ra << " " << rb;
    EXPECT_GE(std::max(ra, rb), 0);
    EXPECT_TRUE(Logged(5, "ERROR Statuscall interrupted"));
    EXPECT_GE(Get_Status(), 0);
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(Scan, BrightAmbientLightArmsWithAWarning) {
    Emulator("[Sensors]\nAmbientLight=20000\n");
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(-10000, Get_LightStatus());
    EXPECT_EQ(-10000, Aktivate_Scanner());
    EXPECT_TRUE(Logged(4, "ambient brightness too high"));
    EXPECT_TRUE(Get_Status() & LUMORA_STATUS_ARMED);
    EXPECT_EQ(-6, Aktivate_Scanner());
    EXPECT_EQ(0, Close_Scanner());

    Config({{"Scanner", "MinBild", "1"}, {"Scanner", "CheckLightlevel", "0"}});
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_EQ(0, Aktivate_Scanner());
    EXPECT_TRUE(Logged(4, "ambient brightness ignored (turned off by ini: CheckLightlevel=0)"));
    EXPECT_EQ(0, Close_Scanner());
}

// The device starts answering nonsense in the middle of a plate: status with every bit set,
// a line counter running backwards, more words waiting than the memory holds. The driver
// reports errors or produces no image, but never crashes, never writes outside the image
// folder and never leaves an image file that cannot be read.
TEST_F(Scan, NonsenseFromTheDeviceDoesNoHarm) {
    Emulator(Plates({"Image=phantom:shapes\nSlot=1\nAt=0.5", "Image=phantom:bars\nSlot=2\nAt=12"}));
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    int st = 0;
    for (int i = 0; i < 100000 && !(st & LUMORA_STATUS_RECEIVING); i++) st = Get_Status();
    ASSERT_TRUE(st & LUMORA_STATUS_RECEIVING);

    std::vector<std::string> before;
    for (auto& e : fs::directory_iterator(dir.path())) before.push_back(e.path().filename());
    uint32_t lines = Emu().LineCounter();
    Emu().ForceRead(0xF8, 0xFF);
    Emu().ForceRead(0x33, 0xFFFFFFFF);
    for (int i = 0; i < 3000; i++) {
        lines -= 3;  // backwards
        Emu().ForceRead(0x10, lines & 0xFF);
        Emu().ForceRead(0x11, (lines >> 8) & 0xFF);
        Emu().ForceRead(0x12, (lines >> 16) & 0xFF);
        st = Get_Status();
        // A status word, or the block read failing on the nonsense.
        EXPECT_TRUE(st >= 0 || st == LUMORA_E_BLOCK_READ) << st;
    }
    Emu().ClearForcedReads();
    WaitForAllPlates();

    char name[1024];
    while (Get_ImageName(name) > 0) {
        ImageInfo info;
        EXPECT_FALSE(ReadImage(name, &info).empty()) << name;
    }
    EXPECT_EQ(0, Close_Scanner());
    for (auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(before.end(), std::find(before.begin(), before.end(), e.path().filename())) << e.path();
    for (auto& e : fs::directory_iterator(ImageDir()))  // images and the numbering file only
        EXPECT_TRUE(e.path().filename().string().rfind("LM", 0) == 0 ||
                    e.path().filename() == ".lumora-last-image") << e.path();
}

}  // namespace
