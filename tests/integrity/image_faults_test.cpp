// Write faults in the image output: a temporary file that loses data, image and info files
// that cannot be written, numbering across sessions, and the hand-over between threads.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "config/image_numbering.h"
#include "diagnostics/device_memory.h"
#include "imagefind/fixture.h"

namespace fs = std::filesystem;

namespace {

class ImageFaults : public ImagefindTest {
protected:
    void SetUp() override {
        ImagefindTest::SetUp();
        std::snprintf(scanner->TempFileName, sizeof scanner->TempFileName, "%s",
                      dir.file("scan.tmp").c_str());
    }
    void TearDown() override {
        unsetenv("LUMORA_FAKE_WRITE_ERROR");
        ImagefindTest::TearDown();
    }
    // A 3 x 2 plate at x0 ... x0 + 2 on lines y0, y0 + 1, stored through the temporary file,
    // as the next range.
    void Plate(int x0, int y0, uint16_t base) {
        for (int y = 0; y < 2; ++y) {
            const uint16_t row[3] = {uint16_t(base + 3 * y), uint16_t(base + 3 * y + 1),
                                     uint16_t(base + 3 * y + 2)};
            scanner->AddBlock(row, 3, x0, x0 + 2, y0 + y);
        }
        scanner->LastCollect = scanner->AnzBlocks;
        scanner->Rangebuffer[++scanner->AnzRanges] = PlateRange{x0, y0, x0 + 2, y0 + 1};
    }
    std::string Name(int n) const {
        char name[1024];
        scanner->MakeImageName(name, n);
        return name;
    }
    std::string InfoOf(const std::string& image) const {
        return image.substr(0, image.size() - 3) + "txt";
    }
    // Every file in the image folder but the numbering file.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string n = e.path().filename().string();
            if (n != NUMBERING_FILE && n != "scan.tmp" && n != "log.txt" && n != "zrconfig.ini" &&
                n != "lumora.ini" && n != "registry.ini")
                names.insert(n);
        }
        return names;
    }
};

TEST_F(ImageFaults, TemporaryFileWriteErrorLosesOnlyThePlateItHit) {
    for (int line : {0, 1}) {
        SCOPED_TRACE(line ? "line mode" : "block mode");
        LineWriteMode = line;
        scanner->ResetBuffers();
        scanner->ImageCounter = scanner->ImagesReported = 0;
        for (int n = 1; n <= 2; ++n) fs::remove(Name(n)), fs::remove(InfoOf(Name(n)));
        dir.write("log.txt", "");
        const uint32_t before = DatpromCounter(2);
        Device.ImageType = 2;

        // Two plates side by side, read line by line: the volume is full while the values of
        // the first are written, and has room again for those of the second.
        for (int y = 0; y < 2; ++y) {
            const uint16_t first[3] = {uint16_t(100 + 3 * y), uint16_t(101 + 3 * y), uint16_t(102 + 3 * y)};
            const uint16_t second[3] = {uint16_t(200 + 3 * y), uint16_t(201 + 3 * y), uint16_t(202 + 3 * y)};
            setenv("LUMORA_FAKE_WRITE_ERROR", "temp=28", 1);
            scanner->AddBlock(first, 3, 10, 12, 1 + y);
            unsetenv("LUMORA_FAKE_WRITE_ERROR");
            scanner->AddBlock(second, 3, 40, 42, 1 + y);
        }
        scanner->LastCollect = scanner->AnzBlocks;
        scanner->AnzRanges = 2;
        scanner->Rangebuffer[1] = PlateRange{10, 1, 12, 2};
        scanner->Rangebuffer[2] = PlateRange{40, 1, 42, 2};

        scanner->ProduceImage(1);
        scanner->ProduceImage(2);
        // The damaged plate gives no image and uses no number; the next one is number 1.
        EXPECT_EQ(scanner->ImageCounter.load(), 1);
        EXPECT_EQ(Files(), (std::set<std::string>{"LM000001.XYZ", "LM000001.txt"}));
        int w = 0, h = 0;
        EXPECT_EQ(ReadImage(Name(1), &w, &h), (std::vector<uint16_t>{200, 201, 202, 203, 204, 205}));
        EXPECT_EQ(scanner->TakeOutputError(), LUMORA_E_DISK_SPACE);
        EXPECT_EQ(scanner->TakeOutputError(), 0);
        EXPECT_TRUE(Logged(3, "temporary file " + dir.file("scan.tmp") +
                                  " not written: No space left on device"));
        EXPECT_EQ(LogCount("not written: No space left on device"), 1);  // once per plate
        EXPECT_TRUE(Logged(3, "range 1 lost data in temporary file " + dir.file("scan.tmp") +
                                  " (No space left on device), no image produced"));
        EXPECT_EQ(LogCount("missing data in tempfile"), 0);
        EXPECT_EQ(DatpromCounter(2), before + 2);  // both plates were read
    }
}

TEST_F(ImageFaults, ImageOrInfoFileNotWrittenHandsOutNothing) {
    struct Case {
        const char* fault;
        bool line;
        int code;
        const char* message;
    } cases[] = {
        {"image=28", false, LUMORA_E_DISK_SPACE, "image file %s not written: No space left on device"},
        {"image=28", true, LUMORA_E_DISK_SPACE, "image file %s not written: No space left on device"},
        {"image=5", false, LUMORA_E_FILE, "image file %s not written: Input/output error"},
        {"image=27", true, LUMORA_E_FILE, "image file %s not written: File too large"},
        {"info=28", false, LUMORA_E_DISK_SPACE, "info file %s not written: No space left on device"},
        {"info=30", true, LUMORA_E_FILE, "info file %s not written: Read-only file system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.line ? " line" : " block"));
        LineWriteMode = c.line ? 1 : 0;
        scanner->ResetBuffers();
        dir.write("log.txt", "");
        Plate(10, 1, 100);
        setenv("LUMORA_FAKE_WRITE_ERROR", c.fault, 1);
        scanner->ProduceImage(1);
        unsetenv("LUMORA_FAKE_WRITE_ERROR");
        const std::string file = std::string(c.fault).rfind("info", 0) == 0 ? InfoOf(Name(1)) : Name(1);
        char message[2048];
        std::snprintf(message, sizeof message, c.message, file.c_str());
        EXPECT_TRUE(Logged(3, message)) << message;
        EXPECT_TRUE(Files().empty());  // neither file, no partial one, no orphan info file
        EXPECT_EQ(scanner->PendingImages(), 0);
        char name[1024] = "x";
        EXPECT_EQ(scanner->NextImageName(name), 0);
        EXPECT_STREQ(name, "");
        EXPECT_EQ(scanner->TakeOutputError(), c.code);

        // The same plate again once the fault is gone: number 1, both files.
        scanner->ProduceImage(1);
        EXPECT_EQ(scanner->NextImageName(name), 1);
        EXPECT_EQ(name, Name(1));
        EXPECT_EQ(Files(), (std::set<std::string>{"LM000001.XYZ", "LM000001.txt"}));
        fs::remove(Name(1));
        fs::remove(InfoOf(Name(1)));
        scanner->ImageCounter = scanner->ImagesReported = 0;
        fs::remove(dir.file(NUMBERING_FILE));
    }
}

TEST_F(ImageFaults, NumberingContinuesFromTheHighestNumberUsedAcrossSessions) {
    Plate(10, 1, 100);
    scanner->InitImageCounter();
    scanner->ProduceImage(1);
    scanner->ProduceImage(1);
    EXPECT_EQ(TempDir::read(dir.file(NUMBERING_FILE)), "2\n");
    // The application took both images over and deleted them.
    for (int n : {1, 2}) fs::remove(Name(n)), fs::remove(InfoOf(Name(n)));

    // The next session: no image on disk, yet number 3 comes next.
    scanner->ImageCounter = scanner->ImagesReported = 0;
    EXPECT_EQ(scanner->InitImageCounter(), 0);  // image files found: none
    EXPECT_EQ(scanner->ImageCounter.load(), 2);
    scanner->ProduceImage(1);
    EXPECT_TRUE(fs::exists(Name(3)));

    // Images on disk above the kept number win; a damaged numbering file is ignored.
    dir.write("LM000009.XYZ", "");
    EXPECT_EQ(scanner->InitImageCounter(), 9);
    EXPECT_EQ(scanner->ImageCounter.load(), 9);
    for (const char* text : {"garbage", "-4", "99999999999", ""}) {
        dir.write(NUMBERING_FILE, text);
        fs::remove(dir.file("LM000009.XYZ"));
        scanner->ImageCounter = scanner->ImagesReported = 0;
        scanner->InitImageCounter();
        EXPECT_EQ(scanner->ImageCounter.load(), 3) << text;  // from LM000003 on disk
    }
    EXPECT_TRUE(Logged(4, "numbering file " + dir.file(NUMBERING_FILE) + " ignored"));
}

// One thread produces images while two others take names: every name is handed out once, and
// only when its image and info files are complete.
TEST_F(ImageFaults, NamesAreHandedOutOnceAndOnlyForCompleteFiles) {
    constexpr int kImages = 60;
    Plate(10, 1, 100);
    std::atomic<bool> done{false};
    std::vector<std::string> taken[2];
    std::atomic<int> incomplete{0};
    auto consumer = [&](std::vector<std::string>* names) {
        char name[1024];
        while (!done.load() || scanner->PendingImages() > 0) {
            if (scanner->NextImageName(name) < 1) {
                std::this_thread::yield();
                continue;
            }
            if (!fs::exists(name) || !fs::exists(InfoOf(name)) || fs::file_size(InfoOf(name)) != 101)
                ++incomplete;
            names->push_back(name);
        }
    };
    std::thread a(consumer, &taken[0]), b(consumer, &taken[1]);
    for (int i = 0; i < kImages; ++i) scanner->ProduceImage(1);
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(incomplete.load(), 0);
    std::set<std::string> all(taken[0].begin(), taken[0].end());
    all.insert(taken[1].begin(), taken[1].end());
    EXPECT_EQ(taken[0].size() + taken[1].size(), size_t(kImages));
    EXPECT_EQ(all.size(), size_t(kImages));  // no name twice
    EXPECT_EQ(*all.rbegin(), Name(kImages));
}

}  // namespace
