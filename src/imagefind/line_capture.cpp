// Single-line capture for the calibration: words straight from the device's block read.
#include "imagefind/imagefind.h"
#include "platform/clock.h"

namespace {
constexpr int READ_ATTEMPTS = 101;
constexpr int ERR_NO_DATA = -1006;
}  // namespace

int Imagefind::ReadWord(bool reset) {
    if (reset) {
        ReadWordFill = 0;
        ReadWordIndex = 0;
        return 0;
    }
    if (ReadWordIndex >= ReadWordFill) {
        ReadWordFill = 0;
        ReadWordIndex = 0;
        for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
            uint32_t bytes = 0;
            const int r = ReadBlock(ReadWordBuffer, sizeof ReadWordBuffer, &bytes);
            if (r != 0) return r;
            if (bytes > sizeof ReadWordBuffer) bytes = sizeof ReadWordBuffer;
            if (bytes >= 2) {
                ReadWordFill = int(bytes / 2);
                break;
            }
            platform::WaitMs(1);
        }
        if (ReadWordFill == 0) return ERR_NO_DATA;
    }
    return ReadWordBuffer[ReadWordIndex++];
}

int Imagefind::ReadLine(uint16_t* out, int maxWords, int* count) {
    *count = 0;
    ReadWord(true);
    int lineStarts = 0;
    int stored = 0;
    while (stored < maxWords) {
        const int word = ReadWord(false);
        if (word < 0) return word;
        if (word >= 0xFFF0) {
            if (word == 0xFFFE && ++lineStarts >= 2) break;
            if (lineStarts == 1) {
                const int skip = ReadWord(false);
                if (skip < 0) return skip;
                for (int k = 0; k < skip && stored < maxWords; ++k) out[stored++] = 0;
            }
        } else if (lineStarts == 1) {
            out[stored++] = uint16_t(word);
        }
    }
    *count = stored;
    return 0;
}
