// scanimage (sane-utils) with only this backend: SANE_CONFIG_DIR names a folder whose
// dll.conf lists "lumora", LD_LIBRARY_PATH the build's library folder.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "sane_fixture.h"

namespace {

class Scanimage : public SaneTest {
public:
    // Starts scanimage with stdout into `out` and stderr into err.txt; returns its process id.
    pid_t Start(const std::vector<std::string>& args, const std::string& out) {
        pid_t pid = fork();
        if (pid == 0) {
            int o = open(dir.file(out).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int e = open(dir.file("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(o, 1);
            dup2(e, 2);
            setenv("LD_LIBRARY_PATH", SANE_BACKEND_DIR, 1);
            if (*SANITIZER_PRELOAD) {
                setenv("LD_PRELOAD", SANITIZER_PRELOAD, 1);
                setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // scanimage's own are not ours
            }
            std::vector<char*> argv{const_cast<char*>(SCANIMAGE)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(SCANIMAGE, argv.data());
            _exit(127);
        }
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Errors() const { return TempDir::read(dir.file("err.txt")); }
};

// 16-bit grey PNG samples read back with libpng.
std::vector<uint16_t> ReadPng16(const std::string& path, uint32_t* w, uint32_t* h) {
    std::vector<uint16_t> out;
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), fclose);
    if (!file) return out;
    FILE* f = file.get();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return {};
    }
    png_init_io(png, f);
    png_read_info(png, info);
    *w = png_get_image_width(png, info);
    *h = png_get_image_height(png, info);
    if (png_get_bit_depth(png, info) == 16 && png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY) {
        std::vector<uint8_t> row(png_get_rowbytes(png, info));
        for (uint32_t y = 0; y < *h; y++) {
            png_read_row(png, row.data(), nullptr);
            for (uint32_t x = 0; x < *w; x++) out.push_back(uint16_t(row[2 * x] << 8 | row[2 * x + 1]));
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

TEST_F(Scanimage, ListsTheScannerAndAcquiresAPlateAsPng) {
    EXPECT_EQ(0, Wait(Start({"-L"}, "list.txt"))) << Errors();
    EXPECT_NE(std::string::npos, TempDir::read(dir.file("list.txt")).find("device `lumora:lumora' is a Lumora storage-phosphor plate scanner"))
        << TempDir::read(dir.file("list.txt")) << Errors();

    Emulator("[Plate_1]\nImage=phantom:shapes\nSlot=3\nAt=0.5\n");
    ASSERT_EQ(0, Wait(Start({"-d", "lumora", "--format=png"}, "plate.png"))) << Errors();
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
    int status = Wait(pid);
    EXPECT_LT(status, 128) << "scanimage ended by a signal\n" << Errors();
    EXPECT_TRUE(Logged(6, "Deaktivate_Scanner ret=0")) << Errors();
    EXPECT_TRUE(Logged(6, "Close_Scanner ret=0")) << Errors();
    for (const std::string& f : ImageFiles()) EXPECT_EQ(std::string::npos, f.find(".tmp")) << f;

    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
    ASSERT_EQ(0, Wait(Start({"-d", "lumora", "--format=png"}, "plate.png"))) << Errors();
    uint32_t w = 0, h = 0;
    EXPECT_EQ(DriverImage("LM000001.XYZ").pixels, ReadPng16(dir.file("plate.png"), &w, &h));
}

}  // namespace
