// Driver requests per second through the EPP port into the emulator, one full IDPROM read, and
// a plain in-memory register loop as the baseline of the same run.
//   build/bin/hardware_bench   (LUMORA_LIBDIR overrides where liblumoraemu.so is found)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "hardware/hw_access.h"
#include "hardware/registers.h"

namespace {

// The baseline: the same select-then-access pattern on an array, no driver in between.
struct MemoryRegisters {
    uint8_t regs[256] = {};
    uint32_t selected = 0;
    void Select(uint32_t r) { selected = r & 0xFF; }
    void Write(uint8_t v) { regs[selected] = v; }
    uint8_t Read(uint32_t r) const { return regs[r & 0xFF]; }
};

// Nanoseconds per request of the plain loop, measured once per run.
double PlainNsPerRequest() {
    static double ns = [] {
        MemoryRegisters m;
        constexpr int N = 20000000;
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < N; ++i) {
            m.Select(reg::I2C);
            m.Write(uint8_t(i));
            benchmark::DoNotOptimize(m.Read(reg::I2C));
            benchmark::ClobberMemory();
        }
        auto t1 = std::chrono::steady_clock::now();
        return std::chrono::duration<double, std::nano>(t1 - t0).count() / (3.0 * N);
    }();
    return ns;
}

HW_access* Scanner() {
    static HW_access* hw = [] {
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        auto* h = new HW_access();
        if (h->OpenDevice() != 0 || h->Init_Interface() != 0) {
            delete h;
            return static_cast<HW_access*>(nullptr);
        }
        return h;
    }();
    return hw;
}

void BM_PlainRegisterLoop(benchmark::State& state) {
    MemoryRegisters m;
    uint8_t v = 0;
    for (auto _ : state) {
        m.Select(reg::I2C);
        m.Write(v++);
        benchmark::DoNotOptimize(m.Read(reg::I2C));
        benchmark::ClobberMemory();
    }
    state.counters["requests_per_s"] =
        benchmark::Counter(double(state.iterations()) * 3, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainRegisterLoop);

void BM_DriverRequests(benchmark::State& state) {
    HW_access* hw = Scanner();
    if (!hw) {
        state.SkipWithError("emulator not available (set LUMORA_LIBDIR)");
        return;
    }
    uint8_t v = 0;
    for (auto _ : state) {
        hw->RegWrite(reg::I2C, uint8_t(v++ | 0x80));  // select + write
        benchmark::DoNotOptimize(hw->RegRead(reg::I2C));
    }
    const double requests = double(state.iterations()) * 3;
    state.counters["requests_per_s"] = benchmark::Counter(requests, benchmark::Counter::kIsRate);
    state.counters["ns_per_request"] = benchmark::Counter(
        requests, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["plain_ns_per_request"] = PlainNsPerRequest();
}
BENCHMARK(BM_DriverRequests);

void BM_IdpromRead(benchmark::State& state) {
    HW_access* hw = Scanner();
    if (!hw) {
        state.SkipWithError("emulator not available (set LUMORA_LIBDIR)");
        return;
    }
    uint8_t buffer[256];
    for (auto _ : state) {
        if (hw->I2C_PROM_read(buffer, i2c::IDPROM, 0, 255) != 0) {
            state.SkipWithError("IDPROM read failed");
            break;
        }
    }
    state.counters["reads_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IdpromRead)->Unit(benchmark::kMillisecond);

}  // namespace

// The ratio needs both numbers of the same run: driver time per request over plain time.
int main(int argc, char** argv) {
    setenv("LUMORA_LIBDIR", LUMORA_BUILD_LIBDIR, 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    struct RatioReporter : benchmark::ConsoleReporter {
        double driverNs = 0;
        void ReportRuns(const std::vector<Run>& runs) override {
            std::vector<Run> copy = runs;
            for (Run& r : copy) {
                if (r.benchmark_name().find("BM_DriverRequests") == 0 && r.iterations > 0) {
                    double ns = r.GetAdjustedRealTime() / 3.0;  // three requests per iteration
                    r.counters["ratio_to_plain"] = ns / PlainNsPerRequest();
                }
            }
            ConsoleReporter::ReportRuns(copy);
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
