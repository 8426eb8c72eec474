// The lumora scan command as a person runs it: a child process against the emulator.
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "common/child_process.h"
#include "common/png_read.h"
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
        return StartProgram(LUMORA_CLI, args, dir.file("out.txt"));
    }
    std::string Output() const { return TempDir::read(dir.file("out.txt")); }
};

TEST_F(Cli, ScanFetchesEveryPlateWithPreviewsAndCloses) {
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n[Plate_2]\nImage=phantom:shapes\nSlot=4\nAt=3\n");
    EXPECT_EQ(0, WaitForExit(Start({"scan", "--set", "Intra-oral high resolution 25um", "--plates", "2",
                                    "--png", "--interval", "1"})))
        << Output();
    for (const char* f : {"LM000001.XYZ", "LM000001.txt", "LM000001.png", "LM000002.XYZ", "LM000002.png"})
        EXPECT_TRUE(fs::exists(ImageDir() + "/" + f)) << f << "\n" << Output();
    EXPECT_NE(std::string::npos, Output().find("2 images received"));
    PngImage preview;
    ASSERT_TRUE(ReadPng(ImageDir() + "/LM000001.png", &preview));
    EXPECT_EQ(size_t(320 * 256), preview.samples.size());
    EXPECT_GT(preview.xppm, 0u);  // the pixel size of the image's info record
    for (auto& e : fs::directory_iterator(ImageDir())) EXPECT_NE(".tmp", e.path().extension());
}

TEST_F(Cli, InterruptDisarmsAndClosesWithoutLosingTheImage) {
    // One plate, then nothing: the session runs until interrupted.
    Emulator("[Plate_1]\nImage=phantom:stepwedge\nSlot=2\nAt=0.5\n");
    pid_t pid = Start({"scan", "--interval", "1"});
    for (int i = 0; i < 60000 && !fs::exists(ImageDir() + "/LM000001.XYZ"); i++) usleep(1000);
    ASSERT_TRUE(fs::exists(ImageDir() + "/LM000001.XYZ")) << Output();
    kill(pid, SIGINT);
    EXPECT_EQ(0, WaitForExit(pid)) << Output();
    EXPECT_NE(std::string::npos, Output().find("interrupted"));
    EXPECT_NE(std::string::npos, Output().find("image 1: " + ImageDir() + "/LM000001.XYZ"));
    EXPECT_NE(std::string::npos, Output().find("1 image received"));
    for (auto& e : fs::directory_iterator(ImageDir())) EXPECT_NE(".tmp", e.path().extension());
}

TEST_F(Cli, UnknownParameterSetIsRefused) {
    EXPECT_EQ(1, WaitForExit(Start({"scan", "--set", "no such set"})));
    EXPECT_EQ(2, WaitForExit(Start({"scan", "--plates", "x"})));
}

TEST_F(Cli, InfoAndImages) {
    EXPECT_EQ(0, WaitForExit(Start({"info"}))) << Output();
    EXPECT_NE(std::string::npos, Output().find("serial number:      LS2026-000117")) << Output();
    EXPECT_NE(std::string::npos, Output().find("slots:              4"));

    dir.write("images/LM000003.XYZ", "x");
    dir.write("images/LM000004.XYZ", "x");
    EXPECT_EQ(0, WaitForExit(Start({"images"}))) << Output();
    EXPECT_NE(std::string::npos, Output().find(ImageDir() + "/LM000003.XYZ\n"));
    EXPECT_NE(std::string::npos, Output().find(ImageDir() + "/LM000004.XYZ\n"));
    EXPECT_NE(std::string::npos, Output().find("2 images in the image folder"));
}

}  // namespace
