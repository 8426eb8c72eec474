// scanimage (sane-utils) with only this backend: SANE_CONFIG_DIR names a folder whose
// dll.conf lists "lumora", LD_LIBRARY_PATH the build's library folder.
#include <signal.h>

#include <chrono>
#include <thread>

#include "common/child_process.h"
#include "common/png_read.h"
#include "sane_fixture.h"

namespace {

class Scanimage : public SaneTest {
public:
    // Starts scanimage with stdout into `out` and stderr into err.txt; returns its process id.
    pid_t Start(const std::vector<std::string>& args, const std::string& out) {
        ChildEnvironment env{{"LD_LIBRARY_PATH", SANE_BACKEND_DIR}};
        if (*SANITIZER_PRELOAD) {
            env.push_back({"LD_PRELOAD", SANITIZER_PRELOAD});
            env.push_back({"ASAN_OPTIONS", "detect_leaks=0"});  // scanimage's own are not ours
        }
        return StartProgram(SCANIMAGE, args, dir.file(out), dir.file("err.txt"), env);
    }
    std::string Errors() const { return TempDir::read(dir.file("err.txt")); }
};

// The samples of a 16-bit grey PNG file; empty when it is not one.
std::vector<uint16_t> ReadPng16(const std::string& path, uint32_t* w, uint32_t* h) {
    PngImage png;
    if (!ReadPng(path, &png) || png.depth != 16 || png.colorType != PNG_COLOR_TYPE_GRAY) return {};
    *w = png.width;
    *h = png.height;
    return png.samples;
}

TEST_F(Scanimage, ListsTheScannerAndAcquiresAPlateAsPng) {
    EXPECT_EQ(0, WaitForExit(Start({"-L"}, "list.txt"))) << Errors();
    EXPECT_NE(std::string::npos, TempDir::read(dir.file("list.txt")).find("device `lumora:lumora' is a Lumora storage-phosphor plate scanner"))
        << TempDir::read(dir.file("list.txt")) << Errors();

    Emulator("[Plate_1]\nImage=phantom:shapes\nSlot=3\nAt=0.5\n");
    ASSERT_EQ(0, WaitForExit(Start({"-d", "lumora", "--format=png"}, "plate.png"))) << Errors();
    uint32_t w = 0, h = 0;
    std::vector<uint16_t> png = ReadPng16(dir.file("plate.png"), &w, &h);
    PlateImage driver = DriverImage("LM000001.XYZ");
    EXPECT_EQ(driver.width, w);
    EXPECT_EQ(driver.height, h);
    EXPECT_EQ(driver.pixels, png);
}

TEST_F(Scanimage, InterruptedWhileWaitingThenASecondAcquisitionWorks) {
    // No plate comes: scanimage waits in sane_start until SIGINT.
    pid_t pid = Start({"-d", "lumora", "--format=png"}, "none.png");
    for (int i = 0; i < 30000 && !Logged(6, "Aktivate_Scanner ret=0"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(Logged(6, "Aktivate_Scanner ret=0")) << Errors();
    kill(pid, SIGINT);
    int status = WaitForExit(pid);
    EXPECT_LT(status, 128) << "scanimage ended by a signal\n" << Errors();
    EXPECT_TRUE(Logged(6, "Deaktivate_Scanner ret=0")) << Errors();
    EXPECT_TRUE(Logged(6, "Close_Scanner ret=0")) << Errors();
    for (const std::string& f : ImageFiles()) EXPECT_EQ(std::string::npos, f.find(".tmp")) << f;

    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
    ASSERT_EQ(0, WaitForExit(Start({"-d", "lumora", "--format=png"}, "plate.png"))) << Errors();
    uint32_t w = 0, h = 0;
    EXPECT_EQ(DriverImage("LM000001.XYZ").pixels, ReadPng16(dir.file("plate.png"), &w, &h));
}

}  // namespace
