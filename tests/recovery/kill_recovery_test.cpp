// What a clinic lives through: `lumora scan` of three plates against lumora-emud is killed
// (SIGKILL) while the second plate is in the scan, before the driver took any of its lines or
// after it took some. The scanner keeps that plate in its memory; the next `lumora scan`
// rebuilds it at the open (the -1012 path), opens again and scans the third plate. Every
// plate comes out exactly once, equal to the plate fed, and no temporary or partial file is
// left.
#include <signal.h>

#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "common/child_process.h"
#include "emud/daemon.h"
#include "emud/plate_check.h"
#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class KillRecovery : public ScannerTest, public ::testing::WithParamInterface<int> {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}, {"Scanner", "Kalibrierdaten", ""}, {"Param_1", "Binning", "0"},
                {"Param_1", "Interpolate_Y", "1"}, {"Param_1", "Script", ""}, {"Param_1", "DeFlash", "0"}});
    }
    void TearDown() override {
        for (pid_t pid : running) {
            kill(pid, SIGKILL);
            WaitForExit(pid);
        }
        ScannerTest::TearDown();
    }

    // `lumora ARGS...` with its output in the file; the process id.
    pid_t Start(const std::vector<std::string>& args, const std::string& output) {
        const pid_t pid = StartProgram(LUMORA_CLI, args, output);
        running.insert(pid);
        return pid;
    }
    // Exit status (128 + signal), or -1 when it did not end in `seconds`.
    int Wait(pid_t pid, double seconds = 120) {
        int status = -1;
        if (!daemon->WaitFor([&] { return HasEnded(pid, &status); }, seconds)) return -1;
        running.erase(pid);
        return status;
    }
    bool Ended(pid_t pid) {
        int status;
        if (!HasEnded(pid, &status)) return false;
        running.erase(pid);
        return true;
    }
    std::string Stage(size_t plate) {
        std::istringstream plates(daemon->State("plates"));
        std::string stage;
        for (size_t i = 0; i <= plate && std::getline(plates, stage, ',');) i++;
        return stage;
    }
    // The log from the recovery on, for a failure message.
    std::string RecoveryLines() {
        std::string log = Log();
        size_t at = log.find("old data found in scanner memory");
        return at == std::string::npos ? "no recovery in the log" : log.substr(at, 6000);
    }
    int Peek(int reg) { return std::stoi(daemon->Command("peek " + std::to_string(reg)).substr(3)); }

    std::unique_ptr<EmudProcess> daemon;
    std::set<pid_t> running;
};

TEST_P(KillRecovery, EveryPlateExactlyOnceAfterAKillDuringTheSecond) {
    const lumora_emu::PlateEntry plates[3] = {{"phantom:stepwedge", 1, 0.5, 128, 96},
                                             {"phantom:shapes", 2, 3, 144, 112},
                                             {"phantom:bars", 3, 0.5, 112, 80}};
    auto describe = [](const lumora_emu::PlateEntry& p, int n) {
        return "[Plate_" + std::to_string(n) + "]\nImage=" + p.image + "\nSlot=" + std::to_string(p.slot) +
               "\nAt=" + std::to_string(p.atSeconds) + "\nWidth=" + std::to_string(p.width) +
               "\nHeight=" + std::to_string(p.height) + "\n";
    };
    // The first two plates wait at their inlets; the third comes after the restart.
    Emulator(describe(plates[0], 1) + describe(plates[1], 2));
    daemon = std::make_unique<EmudProcess>(dir.path(), dir.file("emulator.ini"));
    ASSERT_GT(daemon->pid(), 0) << daemon->output();
    setenv("LUMORA_EPP_DEVICE", daemon->address().c_str(), 1);

    // The driver stalls inside a call once the second plate reaches the scan; then it is killed.
    ASSERT_EQ("ok", daemon->Command("hold 2 " + std::to_string(GetParam())));
    const std::string out1 = dir.file("scan1.txt"), out2 = dir.file("scan2.txt");
    pid_t first = Start({"scan", "--set", "1", "--plates", "3", "--interval", "1"}, out1);
    ASSERT_TRUE(daemon->WaitFor([&] { return daemon->State("held") == "1" || Ended(first); }, 120))
        << TempDir::read(out1);
    ASSERT_EQ("1", daemon->State("held")) << TempDir::read(out1);
    AdcSettings adc;
    adc.oversampling = uint8_t(Peek(0xD0));
    adc.offset = uint16_t(Peek(0xD2) | Peek(0xD3) << 8);
    kill(first, SIGKILL);
    ASSERT_EQ(128 + SIGKILL, Wait(first));
    EXPECT_NE(std::string::npos, TempDir::read(out1).find("image 1: " + ImageDir() + "/LM000001.XYZ"))
        << TempDir::read(out1);
    const std::string leftover = ImageDir() + "/Lumora-" + std::to_string(first) + ".tmp";
    EXPECT_TRUE(fs::exists(leftover));
    // The scanner outlives the process: it notices the connection end, and the plate passes
    // on into its memory.
    ASSERT_TRUE(daemon->WaitFor([&] { return daemon->State("drivers") == "0"; }, 30));
    for (int i = 0; i < 10000 && Stage(1) != "done"; i++) daemon->Command("advance 20");
    ASSERT_EQ("done", Stage(1)) << daemon->Command("state");
    EXPECT_NE("0", daemon->State("fifo"));
    ASSERT_EQ("ok", daemon->Command("release"));

    // The next session: the open rebuilds the plate, opens again; then the third plate.
    pid_t second = Start({"scan", "--set", "1", "--plates", "2", "--interval", "1"}, out2);
    ASSERT_TRUE(daemon->WaitFor(
        [&] { return TempDir::read(out2).find("armed") != std::string::npos || Ended(second); }, 120))
        << TempDir::read(out2);
    ASSERT_EQ("ok plate 3", daemon->Command("feed phantom:bars slot=3 at=0.5 width=112 height=80"));
    EXPECT_EQ(0, Wait(second)) << TempDir::read(out2);
    const std::string output = TempDir::read(out2);
    EXPECT_NE(std::string::npos,
              output.find("image 1: " + ImageDir() + "/LM000002.XYZ (recovered from the scanner memory)"))
        << output;
    EXPECT_NE(std::string::npos, output.find("image 2: " + ImageDir() + "/LM000003.XYZ")) << output;
    EXPECT_NE(std::string::npos, output.find("2 images received")) << output;
    EXPECT_TRUE(Logged(5, "1 images succesfull recovered from scanner memory")) << RecoveryLines();
    EXPECT_TRUE(Logged(3, "open terminated because scanner memory was not empty"));
    EXPECT_TRUE(Logged(5, "temporary file " + leftover + " of process " + std::to_string(first) +
                              ", which has ended, removed"));

    // Exactly the three images and their info files, and the record of the highest number
    // handed out: nothing temporary, nothing partial.
    std::set<std::string> files;
    for (auto& e : fs::directory_iterator(ImageDir())) files.insert(e.path().filename().string());
    EXPECT_EQ((std::set<std::string>{".lumora-last-image", "LM000001.XYZ", "LM000001.txt", "LM000002.XYZ", "LM000002.txt",
                                     "LM000003.XYZ", "LM000003.txt"}),
              files);
    for (int i = 0; i < 3; i++) {
        char name[32];
        snprintf(name, sizeof name, "/LM%06d.XYZ", i + 1);
        EXPECT_EQ("", CompareWithPlate(ImageDir() + name, plates[i], adc)) << "plate " << i + 1;
    }
    // The daemon's scanner is still usable, and its memory is empty.
    EXPECT_EQ("done,done,done", daemon->State("plates"));
    EXPECT_EQ("0", daemon->State("fifo"));
    EXPECT_EQ("0", daemon->State("drivers"));
}

// Rows of the second plate scanned at the kill: none (the driver took none of its lines), and
// 40 of 112 (the driver had taken most of them into its temporary file, which died with it).
INSTANTIATE_TEST_SUITE_P(RowsScannedAtTheKill, KillRecovery, ::testing::Values(0, 40));

}  // namespace
