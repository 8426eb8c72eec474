// Get_Status: reads the hardware status, moves waiting scan data into the image builder and
// answers with the ScannerStatus word.
#include <atomic>

#include "scanner/local_scanner.h"
#include "platform/log_channel.h"
#include "scanner/scanner_state.h"
#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "imagefind/imagefind.h"

namespace {

constexpr uint8_t STATUS_PLATE_IN_SCAN = 0x01;
constexpr uint8_t STATUS_ACKNOWLEDGE = 0x08;
constexpr uint8_t STATUS_ERASE_REPORT = 0x20;

// The busy flag is taken atomically so that two threads polling at once cannot both enter.
std::atomic_flag statusGuard = ATOMIC_FLAG_INIT;

// Demo mode: place the demo image before the plate that starts.
void DemoBookkeeping(Imagefind* dev, const ScanStatus& st, bool scanning, uint32_t lineCount) {
    if (!scanning) {
        dev->DemoLine = -Settings.AbstALines;
        PlateStarted = false;
        dev->DemoOffset = 0;
        return;
    }
    uint8_t slots = st.inlet & Device.SlotMask;
    if (slots == 0 || PlateStarted) return;
    int leadIn = -(Settings.AbstALines / 2);
    if (dev->FastDemo) leadIn /= 4;
    dev->DemoLine = leadIn;
    PlateStarted = true;
    dev->DemoOffset = 0;
    PlateStartLine = int(lineCount);
    if (Device.ImageType == 1) {
        for (int i = 0; i < 4; i++) {
            if (slots & (1u << i)) {
                dev->DemoOffset = uint16_t(Device.AngleTable[i]);
                break;
            }
        }
    } else {
        int offset = (int(Settings.Anz_Pix) - int(dev->DemoImage.width)) / 2;
        dev->DemoOffset = uint16_t(offset > 0 ? offset : 0);
    }
}

void FinishPlate(Imagefind* dev) {
    dev->ProcessRanges(true);
    dev->ResetBuffers();
    dev->ResetWritePointer();
    CleanupPending = false;
    CleanupCounter = 0;
}

int StatusCall(Imagefind* dev) {
    ScanStatus st{};
    dev->GetScanStatus(&st);
    if (st.error != 0 && st.error > -10000) {
        LogPrint(LOG_ERROR, "ERROR Statuscall= %i", int(st.error));
        return st.error;
    }
    bool scanning = (st.status & STATUS_PLATE_IN_SCAN) != 0;
    uint32_t lineCount = st.scanLines;
    if (dev->FastDemo) lineCount *= 2;
    int64_t lines = int64_t(lineCount) - dev->Akt_Y;

    if (dev->DemoActive) DemoBookkeeping(dev, st, scanning, lineCount);

    uint32_t words = scanning ? st.wordsWaiting : dev->GetWordsWaiting();
    bool dataStep = (lines > 5 && scanning) || (words != 0 && !scanning);
    bool demoLineDue = true;
    if (dataStep && dev->DemoActive) {
        if (int(lineCount) == PlateStartLine)
            demoLineDue = false;
        else
            PlateStartLine++;
    }
    if (dataStep && demoLineDue) {
        int emptyLines = 0;
        int r = dev->ReadScanData(&emptyLines);
        if (r != 0) {
            LogPrint(LOG_ERROR, "Checksum error, too many retries (code: %i)", r);
            return r;
        }
        if (emptyLines == 0) {
            if (CleanupCounter > 50) {
                dev->ProcessRanges(false);
                CleanupCounter = 0;
            } else {
                CleanupCounter++;
            }
            CleanupPending = true;
        } else if (emptyLines > 0 && CleanupPending) {
            dev->ProcessRanges(true);
            LogPrint(LOG_INFO, "cleaning Tempfiles, EL=%i", emptyLines);
            dev->ResetBuffers();
            dev->ResetWritePointer();
            CleanupPending = false;
            CleanupCounter = 0;
        }
    } else if (!dataStep && !scanning && CleanupPending && dev->GetWordsWaiting() == 0) {
        LogPrint(LOG_INFO, "finally cleaning Tempfiles, SMotON=0");
        FinishPlate(dev);
    }

    int pending = dev->PendingImages();
    uint32_t word = uint32_t(pending < 0 ? 0 : pending > 255 ? 255 : pending);
    bool eraseReport = IsCalyxa() ? (dev->RegRead(reg::LAMP1_STATUS) != 0 || dev->RegRead(reg::LAMP2_STATUS) != 0)
                                  : (Device.BleachingFeature && (st.status & STATUS_ERASE_REPORT));
    bool receiving = CleanupPending || (lines > 5 && scanning);
    word |= uint32_t(st.inlet) << 8;
    word |= uint32_t(st.slotLines) << 16;
    if (dev->PrescanAvailable()) word |= LUMORA_STATUS_PRESCAN;
    if (scanning) word |= LUMORA_STATUS_PLATE_IN_SCAN;
    if (ScannerActive) word |= LUMORA_STATUS_ARMED;
    if (receiving) word |= LUMORA_STATUS_RECEIVING;
    if (eraseReport) word |= LUMORA_STATUS_ERASE_REPORT;
    word |= uint32_t((st.reg34 >> 3) & 0x3) << 29;

    if (st.status & STATUS_ACKNOWLEDGE) dev->ArmStatus();
    return int(word);
}

}  // namespace

int Local_Get_Status() {
    Imagefind* dev = OpenScannerDevice();
    if (!dev) return LUMORA_E_NOT_OPEN;
    bool busy = statusGuard.test_and_set();
    if (!busy && StatusCallBusy) {  // set by a call that did not finish
        statusGuard.clear();
        busy = true;
    }
    if (busy) {
        LogPrint(LOG_INFO, "ERROR Statuscall interrupted");
        return LUMORA_E_STATUS_BUSY;
    }
    StatusCallBusy = true;
    int result = StatusCall(dev);
    // An image lost to a write error is reported once, in place of the status word.
    if (result >= 0) {
        const int lost = dev->TakeOutputError();
        if (lost != 0) result = lost;
    }
    StatusCallBusy = false;
    statusGuard.clear();
    return result;
}
