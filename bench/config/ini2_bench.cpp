// Load and look-up cost of a large configuration document.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/ini2.h"

namespace {

std::string WriteDocument(int sections) {
    char path[] = "/tmp/lumora-ini2-bench-XXXXXX";
    int fd = mkstemp(path);
    std::string text;
    for (int i = 0; i < sections; ++i)
        text += "[Param_" + std::to_string(i) + "]\nParamName=set " + std::to_string(i) +
                "\nRes_X=50\nRes_Y=50\n";
    (void)!write(fd, text.data(), text.size());
    close(fd);
    return path;
}

void BM_Load(benchmark::State& state) {
    std::string path = WriteDocument(int(state.range(0)));
    for (auto _ : state) {
        ini2 ini;
        ini.load(path.c_str());
        benchmark::DoNotOptimize(ini.getSize());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_Load)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Lookup(benchmark::State& state) {
    std::string path = WriteDocument(int(state.range(0)));
    ini2 ini;
    ini.load(path.c_str());
    char section[64], value[1024];
    int n = 0;
    for (auto _ : state) {
        ini2::index(section, sizeof section, "param_#", n);
        benchmark::DoNotOptimize(ini.get(section, "RES_Y", value, nullptr));
        n = (n + 7919) % int(state.range(0));
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_Lookup)->Arg(100)->Arg(100000);

}  // namespace
