#include <vector>

#include "devicelink/interface_kind.h"
#include "devicelink/registers.h"
#include "diagnostics/hardware_tests.h"
#include "diagnostics/measurement_file.h"
#include "diagnostics/service_context.h"
#include "hardware/hw_access.h"
#include "lumora/lumora.h"
#include "platform/clock.h"

namespace {
// A stream that stops coming: reads that bring nothing, one millisecond apart.
constexpr int EMPTY_READS_LIMIT = 1000;
}  // namespace

int TransferTest(const ServiceContext& context, uint16_t blockBytes, uint16_t blocks,
                 uint16_t retries, TransferTestResult* out) {
    HW_access& dev = *context.device;
    *out = TransferTestResult{};
    dev.maxRetries = retries;
    dev.txErrors = 0;
    dev.ClearReadBlock();
    dev.RegWrite(reg::ACQ_FLAG, 1);
    std::vector<uint16_t> buffer(blockBytes / 2 + 2);
    int result = 0;
    if (context.interfaceKind == INTERFACE_USB) {
        dev.RegWrite(reg::ARM_FLAG, 1);
        const uint64_t wanted = uint64_t(blocks) * blockBytes;
        int empty = 0;
        while (out->bytes < wanted) {
            uint32_t got = 0;
            result = dev.ReadBlock(buffer.data(), blockBytes, &got);
            if (result != 0) break;
            out->bytes += got;
            if (got > 0) {
                empty = 0;
            } else if (++empty >= EMPTY_READS_LIMIT) {
                result = LUMORA_E_NO_STREAM;
                break;
            } else {
                platform::WaitMs(1);
            }
        }
        dev.RegWrite(reg::ARM_FLAG, 0);
    } else {
        for (uint16_t i = 0; i < blocks; ++i) {
            dev.SetReadPointer(dev.GetReadPointer() - blockBytes / 4u);
            uint32_t got = 0;
            result = dev.ReadBlock(buffer.data(), blockBytes, &got);
            if (result != 0) break;
            out->bytes += got;
        }
    }
    dev.RegWrite(reg::ACQ_FLAG, 0);
    out->transferErrors = dev.txErrors;
    MeasurementPrint("transfer-test: %u of %u bytes, %u transfer errors, result %d", out->bytes,
                     unsigned(blocks) * blockBytes, out->transferErrors, result);
    return result;
}
