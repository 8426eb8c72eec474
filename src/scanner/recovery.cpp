// Recovery of images left in the scanner memory by an interrupted scan.
#include "platform/log_channel.h"
#include "config/scanner_settings.h"
#include "diagnostics/device_memory.h"
#include "imagefind/imagefind.h"
#include "lumora/lumora.h"
#include "scanner/open_steps.h"
#include "scanner/scanner_state.h"

int RecoverScannerMemory() {
    Imagefind* dev = ScannerDevice;
    LogPrint(LOG_INFO, "try to recover images from scanner memory");
    dev->ResetBuffers();
    dev->SetSlotLines(0);
    dev->ShuttleCommand(4);
    // Reading does not erase the buffer RAM, and the write pointer goes back to 0 after every
    // plate: the data of the plate the ended session was reading start at address 0. Reading
    // from there gives that plate from its first line, also the lines that session had read.
    const uint32_t readBefore = dev->GetReadPointer();
    const uint32_t waitingBefore = dev->GetWordsWaiting();
    dev->SetReadPointer(0);
    if (readBefore != 0 && dev->GetWordsWaiting() < uint64_t(waitingBefore) + readBefore)
        LogPrint(LOG_WARNING, "the first %u bytes of the interrupted scan are no longer in scanner memory",
                 readBefore * 4u);
    // The pixel sizes stay those of the parameter set of this open: an info file with pixel
    // size 0 is refused by Get_ImageInfo, and the rebuilt image would be no image at all.

    // A device that keeps reporting waiting words must not hold the open forever: never read
    // more chunks than the buffer RAM can hold, plus a margin.
    uint64_t maxChunks = uint64_t(Device.BufferRam.size) / CHUNK_BYTES + 64;
    uint64_t chunks = 0;
    int quietChunks = 0;
    bool inImage = false;
    while (dev->GetWordsWaiting() != 0) {
        if (++chunks > maxChunks) {
            LogPrint(LOG_ERROR, "scanner memory does not drain, recovery stopped");
            break;
        }
        int emptyLines = 0;
        const int32_t blocksBefore = dev->AnzBlocks;
        int r = dev->ReadScanData(&emptyLines);
        if (r != 0) {
            LogPrint(LOG_ERROR, "Checksum error, too many retrys ");
            dev->ClearReadBlock();
            DeviceShutdown();
            return r;
        }
        // A chunk that brought plate data starts an image even when the plate's end came in
        // the same chunk (a small plate, or the last lines of one): else it would be dropped.
        if (dev->AnzBlocks != blocksBefore) inImage = true;
        if (emptyLines == 0) {
            if (++quietChunks > 51) {
                dev->ProcessRanges(false);
                quietChunks = 0;
            }
            inImage = true;
        } else if (emptyLines > 0 && inImage) {
            // Empty lines end the chunk: every plate has passed. All ranges are finished, also
            // one whose last line is a single line back (the status call does the same).
            dev->ProcessRanges(true);
            dev->ResetBuffers();
            dev->ResetWritePointer();
            quietChunks = 0;
            inImage = false;
        }
    }
    if (inImage) dev->ProcessRanges(false);
    dev->ResetWritePointer();
    LogPrint(LOG_INFO, "%i images succesfull recovered from scanner memory", dev->PendingImages());
    LogPrint(LOG_ERROR, "open terminated because scanner memory was not empty");
    if (CountersChanged) WriteDataProm(dev);  // the recovered plates are counted at once
    DeviceShutdown();
    return LUMORA_E_OLD_DATA;
}
