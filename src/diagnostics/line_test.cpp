#include <vector>

#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "diagnostics/hardware_tests.h"
#include "diagnostics/measurement_file.h"
#include "diagnostics/service_context.h"
#include "hardware/hw_access.h"
#include "platform/clock.h"

namespace {
constexpr uint16_t LINE_TEST_OVERSAMPLING = 32;
constexpr uint16_t LINE_TEST_REST = 2048;
constexpr uint32_t LINE_TEST_BLOCK_BYTES = LINE_TEST_VALUES * 2;
constexpr int LINE_TEST_MAX_BLOCKS = 2048;
constexpr uint16_t FIRST_MARKER = 65520;
}  // namespace

int LineTest(const ServiceContext& context, uint16_t volts, uint16_t* out) {
    HW_access& dev = *context.device;
    dev.SetLaserMode(0);
    dev.ShuttleCommand(0);
    dev.SetAcquisition(0);
    dev.SetSlotLines(0);
    dev.ClearReadBlock();
    platform::WaitMs(5);
    dev.SetHighVoltageEnable(1);
    dev.SetHighVoltage(volts);
    dev.SetupAdc(LINE_TEST_OVERSAMPLING, 0, Settings.Strt_Pix, LINE_TEST_VALUES, LINE_TEST_REST);
    dev.SetAcquisition(1);
    dev.RegWrite(reg::LINE_TEST, 1);
    platform::WaitMs(15);
    dev.RegWrite(reg::LINE_TEST, 1);

    std::vector<uint16_t> block(LINE_TEST_BLOCK_BYTES / 2);
    int collected = 0, result = 0;
    bool skipNext = false;
    for (int b = 0; b < LINE_TEST_MAX_BLOCKS && collected < LINE_TEST_VALUES; ++b) {
        uint32_t bytes = 0;
        result = dev.ReadBlock(block.data(), LINE_TEST_BLOCK_BYTES, &bytes);
        if (result != 0) break;
        if (bytes > LINE_TEST_BLOCK_BYTES) bytes = LINE_TEST_BLOCK_BYTES;
        for (uint32_t i = 0; i < bytes / 2 && collected < LINE_TEST_VALUES; ++i) {
            if (skipNext) {
                skipNext = false;
            } else if (block[i] >= FIRST_MARKER) {
                skipNext = true;
            } else {
                out[collected++] = block[i];
            }
        }
    }
    uint64_t sum = 0;
    uint16_t low = 0xFFFF, high = 0;
    for (int i = 0; i < collected; ++i) {
        sum += out[i];
        if (out[i] < low) low = out[i];
        if (out[i] > high) high = out[i];
    }
    MeasurementPrint("line-test %u V: %d values, min %u, max %u, mean %.1f", volts, collected,
                     collected ? low : 0, high, collected ? double(sum) / collected : 0.0);
    return result;
}
