// Imagefind: construction, destruction, table reset and the shared helpers of the pipeline.
#include "imagefind/imagefind.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "config/scanner_settings.h"
#include "lumora/lumora.h"
#include "imagefile/zrip_wrapper.h"

Imagefind::Imagefind() {
    std::memset(Rangebuffer, 0, sizeof Rangebuffer);
    // The block table (2 MB) is not cleared: blocks 0 ... AnzBlocks are always written before
    // they are read, and an open that touched every page of it cost more than the rest of it.
    std::memset(PrescanRing, 0, sizeof PrescanRing);
    std::memset(ReadWordBuffer, 0, sizeof ReadWordBuffer);
    ResetBuffers();
}

Imagefind::~Imagefind() {
    if (OldImageSearch) closedir(OldImageSearch);
    OldImageSearch = nullptr;
    if (RTempfile) std::fclose(RTempfile);
    if (WTempfile) std::fclose(WTempfile);
    RTempfile = WTempfile = nullptr;
    delete[] CalibFactors;
    CalibFactors = nullptr;
    if (DemoImage.pixels) Zrip().Destroy_Image(&DemoImage);
    DemoImage = ImageDesc{};
}

void Imagefind::ResetBuffers() {
    AnzBlocks = 0;
    LastCollect = 0;
    AnzRanges = 0;
    std::memset(Rangebuffer, 0, sizeof Rangebuffer);
    Blockbuffer[0] = ScanBlock{0, 0, -1, NO_OFFSET, 0};
    if (RTempfile) std::rewind(RTempfile);
    if (WTempfile) std::rewind(WTempfile);
    WPos = 0;
    WPosFile = WTempfile;
    OverflowLogged = 0;
    TempWriteErrno = 0;
}

uint32_t Imagefind::WritePosition() {
    if (WPosFile != WTempfile) {
        long p = WTempfile ? std::ftell(WTempfile) : 0;
        WPos = p > 0 ? uint64_t(p) : 0;
        WPosFile = WTempfile;
    }
    // Offsets are 32 bits: data past 4 GiB have no offset and read back as missing.
    return WPos < NO_OFFSET ? uint32_t(WPos) : NO_OFFSET;
}

int Imagefind::ReadTemp(uint32_t offset, uint16_t* out, int count) {
    if (count <= 0) return 0;
    if (!RTempfile || offset == NO_OFFSET) return -1;
    const int fd = fileno(RTempfile);
    char* dst = reinterpret_cast<char*>(out);
    size_t want = size_t(count) * 2;
    size_t got = 0;
    while (got < want) {
        ssize_t n = pread(fd, dst + got, want - got, off_t(offset) + off_t(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (got == 0) return -1;
            break;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    return int(got / 2);
}

int EffectiveBinning() { return Settings.Binning == 2 ? 2 : 1; }
int EffectiveOvsFactor() { return Settings.OvsFactor == 2 ? 2 : 1; }
int EffectiveInterpolation() { return Settings.Interpolate_Y > 1 ? Settings.Interpolate_Y : 1; }

RangeSizes SizesOf(const PlateRange& r) {
    RangeSizes s{};
    s.rawWidth = r.EndX - r.AnfX + 1;
    s.rawHeight = (r.EndY - r.AnfY + 1) / EffectiveBinning();
    s.width = s.rawWidth / EffectiveOvsFactor();
    const int64_t h = int64_t(EffectiveInterpolation()) * s.rawHeight;
    s.height = h > INT32_MAX ? INT32_MAX : int32_t(h);
    return s;
}

int WriteErrorCode(int err) {
    return err == ENOSPC || err == EDQUOT ? LUMORA_E_DISK_SPACE : LUMORA_E_FILE;
}

bool Imagefind::RangeDamaged(int range) const {
    if (range < 1 || range > AnzRanges) return false;
    const PlateRange& r = Rangebuffer[range];
    for (int b = 0; b < LastCollect; ++b) {
        const ScanBlock& block = Blockbuffer[b];
        if (block.Damaged && block.Y >= r.AnfY && block.Y <= r.EndY && block.AnfX <= r.EndX &&
            block.EndX >= r.AnfX)
            return true;
    }
    return false;
}

bool PartialName(char* out, size_t size, const char* finalName) {
    const char* slash = std::strrchr(finalName, '/');
    const size_t dirLength = slash ? size_t(slash - finalName + 1) : 0;
    const int n = std::snprintf(out, size, "%.*s.%s.part", int(dirLength), finalName,
                                finalName + dirLength);
    return n > 0 && size_t(n) < size;
}
