// lumora service as a technician runs it: a child process against the emulator.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/child_process.h"
#include "scanner/scanner_fixture.h"

namespace {

class ServiceCli : public ScannerTest {
public:
    pid_t Start(std::vector<std::string> args) {
        args.insert(args.begin(), "service");
        return StartProgram(LUMORA_CLI, args, dir.file("out.txt"));
    }
    int Run(const std::vector<std::string>& args) { return WaitForExit(Start(args)); }
    std::string Output() const { return TempDir::read(dir.file("out.txt")); }
};

TEST_F(ServiceCli, DiagShowsEveryChannelWithItsUnit) {
    ASSERT_EQ(0, Run({"diag"})) << Output();
    const std::string out = Output();
    for (const char* line : {"high voltage            0.00 V\n", "+5 V supply             5.01 V\n",
                             "+3.3 V supply           3.30 V\n", "+24 V supply           24.05 V\n",
                             "laser temperature      25.00 C\n", "second temperature     30.00 C\n"})
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;
}

TEST_F(ServiceCli, ReportLineTestAndRegisters) {
    ASSERT_EQ(0, Run({"report", dir.file("r/report.txt")})) << Output();
    EXPECT_NE(std::string::npos, TempDir::read(dir.file("r/report.txt")).find("\nend of report\n"));

    ASSERT_EQ(0, Run({"line-test", "650", "--csv", dir.file("line.csv"), "--png", dir.file("line.png")}))
        << Output();
    const std::string csv = TempDir::read(dir.file("line.csv"));
    EXPECT_EQ(0u, csv.find("pixel,value\n0,48\n1,48\n"));  // ambient light at gain 1
    EXPECT_EQ(2345, std::count(csv.begin(), csv.end(), '\n'));
    EXPECT_EQ(0u, TempDir::read(dir.file("line.png")).find("\x89PNG"));

    ASSERT_EQ(0, Run({"reg", "read", "0xC2", "16"})) << Output();
    EXPECT_NE(std::string::npos, Output().find("register 0xC2 = 0x")) << Output();
    ASSERT_EQ(0, Run({"prom", "read", "0xA8", "16"})) << Output();
    EXPECT_NE(std::string::npos, Output().find("LS2026-000117")) << Output();
    ASSERT_EQ(0, Run({"transfer-test", "4096", "4", "3"})) << Output();
    EXPECT_NE(std::string::npos, Output().find("16384 of 16384 bytes received, 0 transfers repeated"));
}

TEST_F(ServiceCli, FailuresAndUsage) {
    EXPECT_EQ(1, Run({"calibrate", dir.file("none.XYZ")}));
    EXPECT_NE(std::string::npos, Output().find("calibration file")) << Output();
    EXPECT_EQ(2, Run({"hv-calibrate", "many"}));
    EXPECT_EQ(2, Run({"reg", "write", "0x300", "1"}));
    EXPECT_EQ(2, Run({"frobnicate"}));
    EXPECT_EQ(2, Run({}));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(ServiceCli, CtrlCStopsTheWizardAndLeavesTheScannerAtRest) {
    // Real time and no plate: the wizard would wait for one for about 25 s.
    dir.write("emulator.ini", "[Clock]\nMode=realtime\n");
    const pid_t pid = Start({"hv-wizard"});
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        started = Output().find("hv-wizard coarse 1/5") != std::string::npos;
    }
    ASSERT_TRUE(started) << Output();
    kill(pid, SIGINT);
    EXPECT_EQ(130, WaitForExit(pid));
    const std::string out = Output();
    EXPECT_NE(std::string::npos, out.find("interrupted: stopping the scanner")) << out;
    EXPECT_NE(std::string::npos, out.find("the scanner was stopped and closed")) << out;
    // The open and close after the interruption are in the log: the scanner was usable.
    EXPECT_GE(CountLogged("enter Close_Scanner"), 1) << Log().substr(0, 2000);
}

}  // namespace
