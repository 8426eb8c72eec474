// The lumora scan command as a person runs it: a child process against the emulator.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "../../tools/lumora/png_preview.h"
#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class Cli : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}});
    }

    // Starts the command with its output in out.txt; returns the process id.
    pid_t Start(const std::vector<std::string>& args) {
        pid_t pid = fork();
        if (pid == 0) {
            int fd = open(dir.file("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            std::vector<char*> argv{const_cast<char*>(LUMORA_CLI)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(LUMORA_CLI, argv.data());
            _exit(127);
        }
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Output() const { return TempDir::read(dir.file("out.txt")); }
};

// PNG samples read back with libpng.
bool DecodePng(FILE* f, std::vector<uint16_t>* out, uint32_t* w, uint32_t* h, int* depth) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    *w = png_get_image_width(png, info);
    *h = png_get_image_height(png, info);
    *depth = png_get_bit_depth(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    for (uint32_t y = 0; y < *h; y++) {
        png_read_row(png, row.data(), nullptr);
        for (uint32_t x = 0; x < *w; x++)
            out->push_back(*depth == 16 ? uint16_t(row[2 * x] << 8 | row[2 * x + 1]) : row[x]);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::vector<uint16_t> ReadPng(const std::string& path, uint32_t* w, uint32_t* h, int* depth) {
    std::vector<uint16_t> out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    if (!DecodePng(f, &out, w, h, depth)) out.clear();
    fclose(f);
    return out;
}

TEST(PngPreview, SixteenBitSamplesAndEightBitStretch) {
    TempDir dir;
    std::vector<uint16_t> px{0, 1, 0x1234, 0xFFEF, 1000, 3000};
    uint32_t w, h;
    int depth;
    ASSERT_EQ("", WritePngPreview(dir.file("a.png"), px.data(), 3, 2, false));
    EXPECT_EQ(px, ReadPng(dir.file("a.png"), &w, &h, &depth));
    EXPECT_EQ(3u, w);
    EXPECT_EQ(2u, h);
    EXPECT_EQ(16, depth);
    ASSERT_EQ("", WritePngPreview(dir.file("b.png"), px.data(), 3, 2, true));
    std::vector<uint16_t> b = ReadPng(dir.file("b.png"), &w, &h, &depth);
    EXPECT_EQ(8, depth);
    EXPECT_EQ((std::vector<uint16_t>{0, 0, 18, 255, 4, 12}), b);
    EXPECT_NE("", WritePngPreview(dir.file("none/c.png"), px.data(), 3, 2, false));
    EXPECT_FALSE(fs::exists(dir.file("none/c.png.part")));
}

TEST_F(Cli, ScanFetchesEveryPlateWithPreviewsAndCloses) {
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n[Plate_2]\nImage=phantom:shapes\nSlot=4\nAt=3\n");
    EXPECT_EQ(0, Wait(Start({"scan", "--set", "Intra-oral high resolution 25um", "--plates", "2", "--png",
                             "--interval", "1"})))
        << Output();
    for (const char* f : {"LM000001.XYZ", "LM000001.txt", "LM000001.png", "LM000002.XYZ", "LM000002.png"})
        EXPECT_TRUE(fs::exists(ImageDir() + "/" + f)) << f << "\n" << Output();
    EXPECT_NE(std::string::npos, Output().find("2 images received"));
    uint32_t w, h;
    int depth;
    EXPECT_EQ(size_t(320 * 256), ReadPng(ImageDir() + "/LM000001.png", &w, &h, &depth).size());
    for (auto& e : fs::directory_iterator(ImageDir())) EXPECT_NE(".tmp", e.path().extension());
}

TEST_F(Cli, InterruptDisarmsAndClosesWithoutLosingTheImage) {
    // One plate, then nothing: the session runs until interrupted.
    Emulator("[Plate_1]\nImage=phantom:stepwedge\nSlot=2\nAt=0.5\n");
    pid_t pid = Start({"scan", "--interval", "1"});
    for (int i = 0; i < 60000 && !fs::exists(ImageDir() + "/LM000001.XYZ"); i++) usleep(1000);
    ASSERT_TRUE(fs::exists(ImageDir() + "/LM000001.XYZ")) << Output();
    kill(pid, SIGINT);
    EXPECT_EQ(0, Wait(pid)) << Output();
    EXPECT_NE(std::string::npos, Output().find("interrupted"));
    EXPECT_NE(std::string::npos, Output().find("image 1: " + ImageDir() + "/LM000001.XYZ"));
    EXPECT_NE(std::string::npos, Output().find("1 image received"));
    for (auto& e : fs::directory_iterator(ImageDir())) EXPECT_NE(".tmp", e.path().extension());
}

TEST_F(Cli, UnknownParameterSetIsRefused) {
    EXPECT_EQ(1, Wait(Start({"scan", "--set", "no such set"})));
    EXPECT_EQ(2, Wait(Start({"scan", "--plates", "x"})));
}

TEST_F(Cli, InfoAndImages) {
    EXPECT_EQ(0, Wait(Start({"info"}))) << Output();
    EXPECT_NE(std::string::npos, Output().find("serial number:      LS2026-000117")) << Output();
    EXPECT_NE(std::string::npos, Output().find("slots:              4"));

    dir.write("images/LM000003.XYZ", "x");
    dir.write("images/LM000004.XYZ", "x");
    EXPECT_EQ(0, Wait(Start({"images"}))) << Output();
    EXPECT_NE(std::string::npos, Output().find(ImageDir() + "/LM000003.XYZ\n"));
    EXPECT_NE(std::string::npos, Output().find(ImageDir() + "/LM000004.XYZ\n"));
    EXPECT_NE(std::string::npos, Output().find("2 images in the image folder"));
}

}  // namespace
