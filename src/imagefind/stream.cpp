// Stream scanning: chunks of the scan-data stream become blocks in the temporary file.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lumora/lumora.h"
#include "platform/file_write.h"
#include "platform/log_channel.h"
#include "config/scanner_settings.h"
#include "imagefind/imagefind.h"

namespace {
constexpr uint16_t MARKER_LINE = 0xFFFE;
constexpr uint16_t MARKER_LIMIT = 0xFFF0;  // words above it are markers
constexpr uint16_t PIXEL_MAX = 0xFFEF;
}  // namespace

int Imagefind::ReadScanData(int* emptyLines) {
    *emptyLines = 0;
    uint16_t* chunk = static_cast<uint16_t*>(std::malloc(CHUNK_BYTES));
    if (!chunk) return LUMORA_E_NO_MEMORY;

    uint32_t bytes = 0;
    const int r = DemoActive ? ReadDemoLine(chunk, &bytes) : ReadBlock(chunk, CHUNK_BYTES, &bytes);
    if (r != 0) {
        std::free(chunk);
        return r;
    }
    if (bytes == 0) {
        std::free(chunk);
        *emptyLines = -1;
        return 0;
    }
    if (bytes > CHUNK_BYTES) bytes = CHUNK_BYTES;  // never trust a count beyond the buffer
    const int words = int(bytes / 2) & ~1;        // whole units only

    // Resume the open block of the previous chunk.
    ScanBlock& open = Blockbuffer[AnzBlocks];
    int32_t x = open.AnfX;
    int32_t pending = open.EndX >= open.AnfX ? (open.EndX - open.AnfX + 1) / 2 : 0;
    // Nothing of the open block to continue (a values-less piece, or one clamped to a single
    // position): its data start where the next values are written.
    if (pending == 0) open.Offset = NO_OFFSET;
    int start = 0;
    const int stepY = PrescanStepY > 0 ? PrescanStepY : 1;

    for (int i = 0; i < words; i += 2) {
        const uint16_t word = chunk[i];
        if (word <= MARKER_LIMIT) {
            ++pending;
            continue;
        }
        const uint16_t parameter = chunk[i + 1];
        if (pending > 0) {
            AddBlock(chunk + start, i - start, x, x + 2 * pending - 1, Akt_Y);
            x += 2 * pending;
            *emptyLines = 0;
        }
        if (word == MARKER_LINE) {
            ++Akt_Y;
            x = parameter;
            if (parameter >= AnzPixLine) ++*emptyLines;
            if (PrescanLength != 0 && Akt_Y % stepY == 0) BuildPrescanLine();
        } else {
            x += parameter;
        }
        start = i + 2;
        pending = 0;
    }
    StoreBlock(chunk + start, words - start, x, x + 2 * pending - 1, Akt_Y);
    if (pending > 0) *emptyLines = 0;
    std::free(chunk);
    return 0;
}

void Imagefind::StoreBlock(const uint16_t* values, int count, int anfX, int endX, int y) {
    ScanBlock& block = Blockbuffer[AnzBlocks];
    if (block.Offset == NO_OFFSET) block.Offset = WritePosition();
    const int limit = AnzPixLine + 1;
    if (anfX < 0) {  // only a direct caller can get here; positions start at 0
        endX -= anfX;
        anfX = 0;
    }
    if (anfX > limit) {
        LogPrint(LOG_INFO, "Block length terminate at Start %i,%i", anfX, y);
        anfX = endX = limit;
    } else if (endX > limit) {
        LogPrint(LOG_INFO, "Block length terminate at End %i,%i", endX, y);
        endX = limit;
    }
    if (count > 0 && WTempfile) {
        WritePosition();
        const size_t bytes = size_t(count) * 2;
        int err = platform::InjectedWriteError(platform::WriteTarget::Temporary);
        if (err == 0) err = platform::WriteAt(fileno(WTempfile), values, bytes, int64_t(WPos));
        if (err != 0) {
            block.Damaged = 1;
            if (TempWriteErrno == 0) {
                TempWriteErrno = err;
                LogPrint(LOG_ERROR, "temporary file %s not written: %s", TempFileName,
                         std::strerror(err));
            }
        }
        // The offsets of later blocks stay those of a complete file.
        WPos += bytes;
    }
    block.Y = y;
    block.AnfX = anfX;
    block.EndX = endX;
}

void Imagefind::AddBlock(const uint16_t* values, int count, int anfX, int endX, int y) {
    if (AnzBlocks >= MAX_BLOCKS) {
        if (!OverflowLogged) {
            LogPrint(LOG_ERROR, "internal Blockbuffer overflow, this may be caused by too much light");
            OverflowLogged = 1;
        }
        return;
    }
    StoreBlock(values, count, anfX, endX, y);
    ++AnzBlocks;
    Blockbuffer[AnzBlocks] = ScanBlock{y, endX + 1, endX, NO_OFFSET, 0};
}

int Imagefind::ReadDemoLine(uint16_t* buffer, uint32_t* bytes) {
    int row = DemoLine;
    ++DemoLine;
    if (Settings.Binning == 2) row /= 2;
    buffer[0] = MARKER_LINE;
    if (row >= 0 && row < DemoImage.height && DemoImage.pixels && DemoImage.width > 0) {
        buffer[1] = uint16_t(DemoOffset + 16);
        // A row longer than the chunk is cut to whole units that fit.
        int width = DemoImage.width;
        const int room = int(CHUNK_BYTES / 2) - 2;
        if (width > room) width = room;
        const uint16_t* source = DemoImage.pixels + size_t(row) * DemoImage.width;
        for (int i = 0; i < width; ++i) {
            const uint16_t v = uint16_t(~source[i]);
            buffer[2 + i] = v > PIXEL_MAX ? PIXEL_MAX : v;
        }
        *bytes = uint32_t(width) * 2 + 4;
    } else {
        buffer[1] = uint16_t(AnzPixLine);
        *bytes = 4;
    }
    return 0;
}
