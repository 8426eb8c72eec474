// The image pipeline on an extra-oral plate stream: stream scanning, range detection,
// reconstruction and image writing, in block mode and LINE mode, against the I/O floor of the
// same bytes (stream written to a file and read back, image bytes written). Also the peak
// memory of LINE mode for a plate of 3,000 and of 30,000 lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "common/working_settings.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

namespace {

constexpr int kAnzPix = 4000;     // scan window
constexpr int kPlateX = 700;      // first plate position
constexpr int kPlateWidth = 2500; // values per plate line
constexpr int kEmptyLines = 20;   // before and after the plate

// Produces the stream of one plate line by line, as the scanner sends it.
class PlateStream {
public:
    explicit PlateStream(int lines) : lines_(lines) {}
    // Fills up to maxWords words (whole units); the number of words, 0 at the end.
    size_t Fill(uint16_t* out, size_t maxWords) {
        size_t n = 0;
        while (n + 2 <= maxWords) {
            if (pos_ < 0) {  // the line marker
                if (line_ >= lines_ + 2 * kEmptyLines) break;
                const bool plate = line_ >= kEmptyLines && line_ < kEmptyLines + lines_;
                out[n++] = 0xFFFE;
                out[n++] = uint16_t(plate ? kPlateX : kAnzPix);
                pos_ = plate ? 0 : kPlateWidth;
                if (!plate) ++line_, pos_ = -1;
                continue;
            }
            const int y = line_;
            while (pos_ < kPlateWidth && n + 2 <= maxWords) {
                out[n++] = Pixel(pos_++, y);
                out[n++] = Pixel(pos_++, y);
            }
            if (pos_ >= kPlateWidth) ++line_, pos_ = -1;
        }
        return n;
    }
    static uint16_t Pixel(int x, int y) { return uint16_t(((x * 7) ^ (y * 13)) & 0x3FFF) + 200; }

private:
    int lines_;
    int line_ = 0;
    int pos_ = -1;
};

std::vector<uint16_t> WholeStream(int lines) {
    PlateStream s(lines);
    std::vector<uint16_t> all;
    std::vector<uint16_t> chunk(CHUNK_BYTES / 2);
    for (size_t n; (n = s.Fill(chunk.data(), chunk.size())) > 0;)
        all.insert(all.end(), chunk.begin(), chunk.begin() + long(n));
    return all;
}

// A scanner whose block read serves a stream from memory or from a generator.
class BenchScanner : public Imagefind {
public:
    const std::vector<uint16_t>* memory = nullptr;
    size_t at = 0;
    std::unique_ptr<PlateStream> generator;

    int ReadBlock(uint16_t* buffer, uint32_t bufferBytes, uint32_t* bytesRead) override {
        size_t words = 0;
        if (memory) {
            words = std::min(memory->size() - at, size_t(bufferBytes / 2));
            std::memcpy(buffer, memory->data() + at, words * 2);
            at += words;
        } else if (generator) {
            words = generator->Fill(buffer, bufferBytes / 2);
        }
        *bytesRead = uint32_t(words * 2);
        return 0;
    }
};

std::string WorkDir() {
    static TempDir dir;
    if (dir.path().empty()) std::abort();
    return dir.path();
}

void UseSettings() {
    UseWorkingSettings();
    Settings.DeFlash = 5000;
    Device.MaxImageRatio = 20.0;
}

std::unique_ptr<BenchScanner> NewScanner() {
    auto scanner = std::make_unique<BenchScanner>();
    scanner->AnzPixLine = kAnzPix - 1;
    scanner->CalibCount = kAnzPix;
    scanner->CalibFactors = new double[kAnzPix];
    for (int i = 0; i < kAnzPix; ++i) scanner->CalibFactors[i] = 1.0;
    std::snprintf(scanner->ImageDir, sizeof scanner->ImageDir, "%s", WorkDir().c_str());
    const std::string temp = WorkDir() + "/scan.tmp";
    scanner->WTempfile = std::fopen(temp.c_str(), "wb");
    scanner->RTempfile = std::fopen(temp.c_str(), "rb");
    if (!scanner->WTempfile || !scanner->RTempfile) std::abort();
    scanner->ResetBuffers();
    return scanner;
}

// One plate through the status-poll loop: read a chunk, process ranges, until the stream ends.
void RunPlate(BenchScanner* scanner) {
    scanner->Akt_Y = 0;
    scanner->ResetBuffers();
    for (;;) {
        int empty = 0;
        if (scanner->ReadScanData(&empty) != 0) std::abort();
        if (empty < 0) break;
        scanner->ProcessRanges(false);
    }
    scanner->ProcessRanges(true);
    char name[1024];
    scanner->MakeImageName(name, scanner->ImageCounter);
    std::remove(name);
    std::memcpy(name + std::strlen(name) - 3, "txt", 3);
    std::remove(name);
}

double StreamMB(const std::vector<uint16_t>& s) { return double(s.size()) * 2 / 1e6; }

// The I/O floor: the stream bytes written to a file and read back, the image bytes written.
double FloorSeconds(const std::vector<uint16_t>& stream, size_t imageBytes) {
    const auto start = std::chrono::steady_clock::now();
    const std::string path = WorkDir() + "/floor.tmp";
    FILE* w = std::fopen(path.c_str(), "wb");
    const size_t chunkWords = CHUNK_BYTES / 2;
    for (size_t at = 0; at < stream.size(); at += chunkWords)
        std::fwrite(stream.data() + at, 2, std::min(chunkWords, stream.size() - at), w);
    std::fflush(w);
    FILE* r = std::fopen(path.c_str(), "rb");
    std::vector<uint16_t> back(chunkWords);
    while (std::fread(back.data(), 2, chunkWords, r) > 0) benchmark::DoNotOptimize(back.data());
    std::fclose(r);
    std::fclose(w);
    const std::string image = WorkDir() + "/floor.XYZ";
    FILE* out = std::fopen(image.c_str(), "wb");
    std::vector<uint16_t> row(kPlateWidth, 1);
    for (size_t done = 0; done < imageBytes; done += row.size() * 2) std::fwrite(row.data(), 2, row.size(), out);
    std::fclose(out);
    std::remove(path.c_str());
    std::remove(image.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_IoFloor(benchmark::State& state) {
    const std::vector<uint16_t> stream = WholeStream(int(state.range(0)));
    const size_t imageBytes = size_t(state.range(0)) * kPlateWidth * 2;
    for (auto _ : state) benchmark::DoNotOptimize(FloorSeconds(stream, imageBytes));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size() * 2));
}

void BM_Pipeline(benchmark::State& state) {
    const int lines = int(state.range(0));
    const bool lineMode = state.range(1) != 0;
    const std::vector<uint16_t> stream = WholeStream(lines);
    const size_t imageBytes = size_t(lines) * kPlateWidth * 2;
    UseSettings();
    LineWriteMode = lineMode ? 1 : 0;
    auto scanner = NewScanner();
    scanner->memory = &stream;
    double floor = 0, pipeline = 0;
    for (auto _ : state) {
        scanner->at = 0;
        const auto start = std::chrono::steady_clock::now();
        RunPlate(scanner.get());
        pipeline += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        floor += FloorSeconds(stream, imageBytes);
        state.ResumeTiming();
    }
    if (scanner->ImageCounter != int(state.iterations())) state.SkipWithError("no image produced");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size() * 2));
    state.counters["stream_MB"] = StreamMB(stream);
    state.counters["floor_ratio"] = floor > 0 ? pipeline / floor : 0;
    LineWriteMode = 0;
}

long PeakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Peak resident memory while LINE mode handles one plate of the given length, streamed from a
// generator (the stream itself is never held).
void BM_LineModePeakMemory(benchmark::State& state) {
    const int lines = int(state.range(0));
    UseSettings();
    LineWriteMode = 1;
    long peak = 0, base = 0;
    for (auto _ : state) {
        ResetPeak();  // the growth includes the scanner object with its tables
        base = PeakKiB();
        auto scanner = NewScanner();
        scanner->generator = std::make_unique<PlateStream>(lines);
        RunPlate(scanner.get());
        peak = PeakKiB();
        if (scanner->ImageCounter != 1) state.SkipWithError("no image produced");
    }
    state.counters["peak_MiB"] = double(peak) / 1024;
    state.counters["growth_MiB"] = double(peak - base) / 1024;
    state.counters["stream_MB"] = double(lines) * (kPlateWidth + 2) * 2 / 1e6;
    LineWriteMode = 0;
}

// Memory first, while the process holds nothing else.
BENCHMARK(BM_LineModePeakMemory)->Arg(3000)->Arg(30000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoFloor)->Arg(3000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline)->Args({3000, 0})->Args({3000, 1})->ArgNames({"lines", "line_mode"})
    ->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(WorkDir(), ec);
    return 0;
}
