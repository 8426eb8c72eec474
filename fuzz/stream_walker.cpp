// Streams of any words through ReadScanData, split into chunks of any size, followed by range
// detection and image production in block or LINE mode.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "config/log_configuration.h"
#include "platform/log_channel.h"
#include "common/temp_dir.h"
#include "common/working_settings.h"
#include "config/scanner_settings.h"
#include "common/chunk_scanner.h"
#include "imagefind/imagefind.h"

namespace {

using FuzzScanner = ChunkScanner;

const std::string& WorkDir() {
    static TempDir dir;  // removed when the process ends
    static const bool quiet = [] {
        if (dir.path().empty()) std::abort();
        // A quiet log channel: nothing at all is written.
        setenv("LUMORA_ZRCONFIG", dir.write("zrconfig.ini", "[Log]\nTarget=stderr\nLevel=0\n").c_str(), 1);
        RebuildLogChannel();
        return true;
    }();
    (void)quiet;
    return dir.path();
}

// One scanner object for all runs (the tables are large); its files stay open.
FuzzScanner* Scanner() {
    static FuzzScanner* scanner = [] {
        auto* s = new FuzzScanner();
        const std::string temp = WorkDir() + "/scan.tmp";
        s->WTempfile = std::fopen(temp.c_str(), "wb");
        s->RTempfile = std::fopen(temp.c_str(), "rb");
        if (!s->WTempfile || !s->RTempfile) std::abort();
        std::snprintf(s->ImageDir, sizeof s->ImageDir, "%s", WorkDir().c_str());
        return s;
    }();
    return scanner;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    // Header: line length, options, chunk size pattern.
    const int anzPix = 2 + ((data[0] | (data[1] << 8)) % 600);
    const uint8_t options = data[2];
    const uint8_t chunkA = data[3], chunkB = data[4];
    const uint8_t prescan = data[5];
    data += 6;
    size -= 6;

    UseWorkingSettings();
    Settings.Binning = options & 1 ? 2 : 1;
    Settings.OvsFactor = options & 2 ? 2 : 1;
    Settings.Interpolate_Y = 1 + ((options >> 2) & 1);
    Settings.Mirror = (options >> 3) & 1;
    Settings.DeFlash = options & 16 ? 100 : 0;
    Settings.ADC_Ovs = 8;
    Device.MaxImageRatio = 50.0;
    LineWriteMode = (options >> 5) & 1;
    AtriumMode = true;

    FuzzScanner* scanner = Scanner();
    scanner->chunks.clear();
    scanner->AnzPixLine = anzPix - 1;
    scanner->MinImagePixels = 4;
    scanner->Akt_Y = 0;
    scanner->ImageCounter = scanner->ImagesReported = 0;
    delete[] scanner->CalibFactors;
    scanner->CalibFactors = nullptr;
    scanner->CalibCount = 0;
    if (options & 64) {
        scanner->CalibCount = anzPix;
        scanner->CalibFactors = new double[size_t(anzPix)];
        for (int i = 0; i < anzPix; ++i) scanner->CalibFactors[i] = 0.5 + (i % 7) * 0.5;
    }
    scanner->ResetBuffers();
    scanner->SetPrescanMode(prescan % 64);

    // Chunks alternate between two sizes in bytes (any size, odd ones included).
    size_t at = 0;
    for (int k = 0; at < size; ++k) {
        const size_t bytes = std::min<size_t>(size - at, 1 + (k % 2 ? chunkA : chunkB) * 3u);
        std::vector<uint16_t> chunk((bytes + 1) / 2, 0);
        std::memcpy(chunk.data(), data + at, bytes);
        chunk.resize(bytes / 2 ? bytes / 2 : 1);
        scanner->chunks.push_back(std::move(chunk));
        at += bytes;
    }
    uint8_t line[PRESCAN_MAX];
    for (int guard = 0; guard < 100000; ++guard) {
        int empty = 0;
        if (scanner->ReadScanData(&empty) != 0 || empty < 0) break;
        scanner->ProcessRanges(false);
        while (scanner->PrescanAvailable()) scanner->GetPrescanLine(line);
    }
    scanner->ProcessRanges(true);

    char name[1024];
    for (int n = 1; n <= scanner->ImageCounter; ++n) {
        scanner->MakeImageName(name, n);
        std::remove(name);
        std::memcpy(name + std::strlen(name) - 3, "txt", 3);
        std::remove(name);
    }
    return 0;
}
