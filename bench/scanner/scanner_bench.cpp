// Local scanner against the emulator: open time, driver requests per idle status poll, and
// the time from a plate leaving the scan line to its image file being complete.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/temp_dir.h"
#include "lumora/lumora.h"
#include "lumora_emu/emulator.h"

namespace fs = std::filesystem;

namespace {

// A workstation of its own: the example configuration, a log at level 4, the emulator.
class Workstation {
public:
    Workstation() {
        fs::create_directories(dir_ + "/devices");
        fs::copy_file(std::string(LUMORA_SOURCE_DIR) + "/examples/lumora.ini", dir_ + "/lumora.ini");
        Write("zrconfig.ini",
              "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=images\nScriptDir=scripts\n"
              "[Log]\nTarget=file:log.txt\nLevel=4\n");
        Write("devices/Lumora.mcs", ":0400000001020304F2\n:00000001FF\n");
        setenv("LUMORA_ZRCONFIG", (dir_ + "/zrconfig.ini").c_str(), 1);
        setenv("LUMORA_REGISTRY", (dir_ + "/registry.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ + "/xdg").c_str(), 1);
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        setenv("LUMORA_EMULATOR", (dir_ + "/emulator.ini").c_str(), 1);
        setenv("LUMORA_RUNTIME_DIR", dir_.c_str(), 1);
        Emulator("");
    }
    ~Workstation() {
        Close_Scanner();
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ + "/" + name) << text; }
    void Emulator(const std::string& plates) {
        Write("emulator.ini", "[Clock]\nMode=stepped\n" + plates);
        lumora_emu::TheDevice().Reset(true);
    }
    void ClearImages() {
        std::error_code ec;
        fs::remove_all(dir_ + "/images", ec);
    }

private:
    TempDir temp_;
    const std::string dir_ = temp_.path();
};

void BM_OpenClose(benchmark::State& state) {
    Workstation w;
    for (auto _ : state) {
        if (Open_Scanner(1) != 0) state.SkipWithError("Open_Scanner failed");
        Close_Scanner();
    }
}
BENCHMARK(BM_OpenClose)->Unit(benchmark::kMillisecond);

void BM_IdleStatusPoll(benchmark::State& state) {
    Workstation w;
    if (Open_Scanner(1) != 0 || Aktivate_Scanner() != 0) {
        state.SkipWithError("cannot open and arm the scanner");
        return;
    }
    lumora_emu::Device& emu = lumora_emu::TheDevice();
    uint64_t before = emu.RequestCount();
    for (auto _ : state) benchmark::DoNotOptimize(Get_Status());
    state.counters["requests_per_poll"] =
        double(emu.RequestCount() - before) / double(state.iterations());
    Close_Scanner();
}
BENCHMARK(BM_IdleStatusPoll)->Unit(benchmark::kMicrosecond);

// From the moment the plate's last line leaves the scan line to the moment its image waits.
void BM_PlateToImage(benchmark::State& state, int set, std::string plate) {
    Workstation w;
    lumora_emu::Device& emu = lumora_emu::TheDevice();
    double emulatedMs = 0;
    for (auto _ : state) {
        w.ClearImages();
        w.Emulator("[Plate_1]\n" + plate + "\n");
        if (Open_Scanner(set) != 0 || Aktivate_Scanner() != 0) {
            state.SkipWithError("cannot open and arm the scanner");
            break;
        }
        bool left = false;
        auto t0 = std::chrono::steady_clock::now();
        uint64_t e0 = 0;
        int st = 0;
        for (long i = 0; i < 5000000; i++) {
            st = Get_Status();
            if (st < 0 || (st & 0xFF)) break;
            lumora_emu::PlateState p = emu.Plates().at(0);
            bool scanned = p.stage == lumora_emu::PlateStage::Done ||
                           (p.stage == lumora_emu::PlateStage::InScan && emu.LineCounter() >= p.firstLine + p.height);
            if (!left && scanned) {
                left = true;
                t0 = std::chrono::steady_clock::now();
                e0 = emu.NowMs();
            }
        }
        auto t1 = std::chrono::steady_clock::now();
        if (st <= 0 || !left) {
            state.SkipWithError("no image");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        emulatedMs += double(emu.NowMs() - e0);
        char name[1024];
        Get_ImageName(name);
        Close_Scanner();
    }
    state.counters["emulated_ms"] = benchmark::Counter(emulatedMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_PlateToImage, intraoral_25um, 1,
                  "Image=phantom:stepwedge\nSlot=1\nAt=0.5\nWidth=1240\nHeight=1640")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_PlateToImage, extraoral_50um, 3,
                  "Image=phantom:shapes\nSlot=1\nAt=0.5\nWidth=1600\nHeight=2000")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
