// Driver requests per second through the EPP port into the emulator, one full IDPROM read, and
// a plain in-memory register loop as the baseline of the same run.
//   build/bin/hardware_bench   (LUMORA_LIBDIR overrides where liblumoraemu.so is found)
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "hardware/hw_access.h"
#include "devicelink/registers.h"

namespace {

// The baseline: the same select-then-access pattern on an array, no driver in between.
struct MemoryRegisters {
    uint8_t regs[256] = {};
    uint32_t selected = 0;
    void Select(uint32_t r) { selected = r & 0xFF; }
    void Write(uint8_t v) { regs[selected] = v; }
    uint8_t Read(uint32_t r) const { return regs[r & 0xFF]; }
};

// Counts the requests passed to the opened port.
class CountingPort : public platform::DriverPort {
public:
    explicit CountingPort(platform::DriverPort* inner) : inner_(inner) {}
    ~CountingPort() override { delete inner_; }
    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* returned) override {
        ++count;
        return inner_->Request(code, in, inSize, out, outSize, returned);
    }
    const char* Name() const override { return inner_->Name(); }
    uint64_t count = 0;

private:
    platform::DriverPort* inner_;
};

// CPU nanoseconds per access of the plain loop, measured once per run.
double PlainNsPerRequest() {
    static double ns = [] {
        MemoryRegisters m;
        constexpr int N = 20000000;
        timespec t0{}, t1{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        for (int i = 0; i < N; ++i) {
            m.Select(reg::I2C);
            m.Write(uint8_t(i));
            benchmark::DoNotOptimize(m.Read(reg::I2C));
            benchmark::ClobberMemory();
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        double ns = (t1.tv_sec - t0.tv_sec) * 1e9 + double(t1.tv_nsec - t0.tv_nsec);
        return ns / (3.0 * N);
    }();
    return ns;
}

HW_access* Scanner() {
    static HW_access* hw = [] {
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        auto* h = new HW_access();
        // A firmware of no data records is enough to start the emulated device.
        char path[] = "/tmp/lumora-bench-XXXXXX";
        int fd = mkstemp(path);
        bool ok = fd >= 0 && write(fd, ":00000001FF\n", 12) == 12;
        if (fd >= 0) close(fd);
        ok = ok && h->OpenDevice() == 0 && h->Init_Interface() == 0 &&
             h->Init_Firmware(path, 1) == 0;
        unlink(path);
        if (!ok) {
            delete h;
            return static_cast<HW_access*>(nullptr);
        }
        h->hDevice = new CountingPort(h->hDevice);
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
    state.counters["time_per_request"] = benchmark::Counter(
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
    auto* port = static_cast<CountingPort*>(hw->hDevice);
    const uint64_t before = port->count;
    for (auto _ : state) {
        if (hw->I2C_PROM_read(buffer, i2c::IDPROM, 0, 255) != 0) {
            state.SkipWithError("IDPROM read failed");
            break;
        }
    }
    if (state.iterations() > 0)
        state.counters["requests_per_read"] =
            double(port->count - before) / double(state.iterations());
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
                    double ns = r.GetAdjustedCPUTime() / 3.0;  // three requests per iteration
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
