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
    dev->SetReadPointer(dev->GetWritePointer());
    Device.PixelSizeX = 0;
    Device.PixelSizeY = 0;

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
        int r = dev->ReadScanData(&emptyLines);
        if (r != 0) {
            LogPrint(LOG_ERROR, "Checksum error, too many retrys ");
            dev->ClearReadBlock();
            DeviceShutdown();
            return r;
        }
        if (emptyLines == 0) {
            if (++quietChunks > 51) {
                dev->ProcessRanges(false);
                quietChunks = 0;
            }
            inImage = true;
        } else if (emptyLines > 0 && inImage) {
            dev->ProcessRanges(false);
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
