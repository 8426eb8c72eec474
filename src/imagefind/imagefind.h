// The image finder: reads the scan-data stream, finds plate ranges, rebuilds and writes images.
// The one process-wide ScannerDevice is an Imagefind (EPP) or an ImageFindUSB.
#pragma once
#include <dirent.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include "devicelink/interface_kind.h"
#include "hardware/hw_access.h"
#include "imagefile/image_desc.h"
#include "imagefind/output_mode.h"
#include "lumora/lumora.h"

struct ScanBlock {
    int32_t Y;
    int32_t AnfX;
    int32_t EndX;
    uint32_t Offset;  // byte offset of the first value in the temporary file; 0xFFFFFFFF = none
    uint8_t Damaged;  // a write of its values to the temporary file failed
};

struct PlateRange {
    int32_t AnfX;
    int32_t AnfY;
    int32_t EndX;
    int32_t EndY;
};

constexpr int MAX_BLOCKS = 100000;
constexpr int MAX_RANGES = 1000;
constexpr int PRESCAN_LINES = 32;
constexpr int PRESCAN_MAX = 1024;
constexpr uint32_t CHUNK_BYTES = 40960;
constexpr uint32_t NO_OFFSET = 0xFFFFFFFFu;


class Imagefind : public HW_access {
public:
    Imagefind();
    ~Imagefind() override;

    // Stream scanning and ranges.
    int ReadScanData(int* emptyLines);
    void AddBlock(const uint16_t* values, int count, int anfX, int endX, int y);
    void StoreBlock(const uint16_t* values, int count, int anfX, int endX, int y);
    void ProcessRanges(bool final);
    void ResetBuffers();
    int ReadDemoLine(uint16_t* buffer, uint32_t* bytes);

    // Prescan lines.
    int SetPrescanMode(int length);
    void BuildPrescanLine();
    bool PrescanAvailable() const { return PrescanWrite != PrescanRead; }
    void GetPrescanLine(uint8_t* out);

    // Single-line capture for the calibration.
    int ReadWord(bool reset);
    int ReadLine(uint16_t* out, int maxWords, int* count);

    // Reconstruction.
    int CollectImage(int range, ImageDesc* out);
    int WriteImageLines(int range, const char* fileName);
    void WriteBinnedLine(uint16_t* line, int count, FILE* file, uint16_t* accumulator, bool second);

    // Image output. One thread produces (the status poll); any thread may take names. A
    // number becomes visible in ImageCounter only once its image and info files are complete.
    void ProduceImage(int range);
    void MakeImageName(char* out, int number) const;  // out: 1024 bytes
    int PendingImages() const {
        return ImageCounter.load(std::memory_order_acquire) - ImagesReported.load(std::memory_order_acquire);
    }
    int NextImageName(char* out);
    // Sets both counters to the highest number used in ImageDir (image files and the numbering
    // file); returns the highest number of the image files alone.
    int InitImageCounter();
    // The result code of an image that could not be produced since the last call, once
    // (LUMORA_E_DISK_SPACE or LUMORA_E_FILE), else 0.
    int TakeOutputError() { return OutputError.exchange(0); }
    // True when a block of the range lost values on their way to the temporary file.
    bool RangeDamaged(int range) const;
    // Keeps the code of a failed image for the next status poll (the first one wins).
    void ReportOutputError(int err);
    int FindOldImage(char* path, bool first);
    void FillImageInfo(ImageInfo* info, int range);
    int RunImoScript(uint32_t size, uint16_t* pixels, const char* scriptPath);

    // Post-processing of an image in memory (size = width | height << 16).
    static void MirrorImage(ImageDesc* image);
    static int DeFlashFilter(uint32_t size, uint16_t* pixels, uint16_t threshold);
    static int WindowStatistics(uint32_t size, const uint16_t* pixels, uint8_t winX, uint8_t winY,
                                ImageInfo* info);

    uint8_t InterfaceKind = INTERFACE_EPP;

    // Values per line buffer during a rebuild: positions 0 ... AnzPixLine + 255.
    int LineBufferLength() const { return AnzPixLine + 256; }

    int32_t MinImagePixels = 0;
    FILE* RTempfile = nullptr;
    FILE* WTempfile = nullptr;
    int32_t Akt_Y = 0;
    char ImageDir[1024] = "C:\\";
    int32_t AnzPixLine = 0;
    double* CalibFactors = nullptr;  // new double[]; freed by the destructor
    int32_t CalibCount = 0;  // entries of CalibFactors (Anz_Pix)
    uint8_t DemoActive = 0;
    uint8_t FastDemo = 0;
    ImageDesc DemoImage;
    int32_t DemoLine = -1000;
    uint16_t DemoOffset = 0;
    uint8_t OverflowLogged = 0;
    int32_t AnzBlocks = 0;
    std::atomic<int32_t> ImagesReported{0};
    std::atomic<int32_t> ImageCounter{0};
    std::atomic<int32_t> OutputError{0};
    char TempFileName[1024] = "";  // the temporary file, for messages
    int TempWriteErrno = 0;        // first write error on the temporary file since the last reset
    int LineWriteErrno = 0;        // first write error of the running LINE-mode image
    uint8_t BinToggle = 0;
    int32_t AnzRanges = 0;
    int32_t LastCollect = 0;
    int32_t PrescanStepX = 1, PrescanStepY = 1, PrescanLength = 0, PrescanDivisor = 256;
    int32_t PrescanWrite = 0, PrescanRead = 0;
    PlateRange Rangebuffer[MAX_RANGES + 2];  // numbered 1 ... 1000
    ScanBlock Blockbuffer[MAX_BLOCKS + 1];   // the open block lives at [AnzBlocks]
    uint8_t PrescanRing[PRESCAN_LINES][PRESCAN_MAX];

protected:
    // Reads count values at byte offset of R-Tempfile; the number of values read, or -1 when
    // the position cannot be reached.
    int ReadTemp(uint32_t offset, uint16_t* out, int count);
    // Rebuilds and calibrates line y of range r in line (LineBufferLength() values); the block
    // cursor only moves forward.
    void RebuildLine(int y, const PlateRange& r, uint16_t* line, int* cursor);
    // Checks a range before a rebuild; false (with a log line) when it cannot be rebuilt.
    bool RangeUsable(int range) const;
    uint32_t WritePosition();

    uint64_t WPos = 0;           // byte position of W-Tempfile
    FILE* WPosFile = nullptr;    // the stream WPos belongs to
    uint16_t ReadWordBuffer[1000];
    int ReadWordFill = 0, ReadWordIndex = 0;
    DIR* OldImageSearch = nullptr;
    char OldImageDir[260] = "";
};

// Working factors normalised for the rebuild: Binning and OvsFactor 1 or 2, Interpolate_Y >= 1.
int EffectiveBinning();
int EffectiveOvsFactor();
int EffectiveInterpolation();
// Image sizes of a range: raw width and height, image width and height (32-bit, not cut).
struct RangeSizes {
    int32_t rawWidth, rawHeight, width, height;
};
RangeSizes SizesOf(const PlateRange& r);
// Bytes of a width x height 16-bit image for the log: wraps like a 32-bit int, never overflows.
inline int ByteCount(uint16_t width, uint16_t height) {
    return int(uint32_t(width) * height * 2u);
}
// The result code for a failed write with system error err: LUMORA_E_DISK_SPACE when the
// volume is full, else LUMORA_E_FILE.
int WriteErrorCode(int err);
// Name of the temporary sibling of an image or info file: the same directory, "." + name +
// ".part" (false when it does not fit in size).
bool PartialName(char* out, size_t size, const char* finalName);

extern Imagefind* ScannerDevice;  // null while the scanner is closed
