// High-voltage calibration on a reference plate held in slot 2 or 3: the highest voltage at
// which the dark signal stays low, then a binary search for the voltage at which the plate
// reaches the target level of the pixel size's ADC set-up.
#include "config/config_file.h"
#include "config/scanner_settings.h"
#include "diagnostics/hv_procedures.h"
#include "diagnostics/line_measures.h"
#include "diagnostics/measurement_file.h"
#include "diagnostics/service_context.h"
#include "hardware/hw_access.h"
#include "lumora/lumora.h"
#include "platform/clock.h"
#include "platform/log_channel.h"

namespace {

constexpr double PI = 3.1415926535;
constexpr double FEED_CONSTANT = 6e13;
constexpr uint8_t CALIBRATION_SLOTS = 0x06;       // inlets of slots 2 and 3
constexpr uint8_t CALIBRATION_SLOT_MASK = 6;
constexpr int DARK_START_V = 1200, DARK_STEP_V = 100, DARK_FLOOR_V = 400, DARK_LOWEST_V = 500;
constexpr int DARK_READINGS = 1024;
constexpr uint32_t DARK_SUM_LIMIT = 6711296;      // a mean level below 6554
constexpr uint32_t DARK_SETTLE_MS = 250, SEARCH_SETTLE_MS = 250;
constexpr uint32_t TIMEOUT_FINE_MS = 30000, TIMEOUT_MS = 20000;
constexpr double FINE_PIXEL_M = 2e-5;
constexpr uint16_t WINDOW_PIXELS = 150;
constexpr uint32_t LINES_PER_READING = 11;
constexpr uint16_t EMPTY_LINE_POSITION = 150;     // a line marker this far: no plate in the line
constexpr uint32_t FEWEST_PIXELS = 151;
constexpr int SETTLE_GAIN = 10;
constexpr int SEARCH_START_V = 600, SEARCH_STEPS = 10;
constexpr uint32_t TARGET_PER_SAMPLE = 2700;
constexpr int MIN_OVERSAMPLING = 2, MAX_OVERSAMPLING = 32;

class Calibration {
public:
    Calibration(const ServiceContext& c, uint32_t pixelNm) : dev_(*c.device), pixelNm_(pixelNm) {}

    int Run() {
        const double q = pixelNm_ / 1000.0;  // micrometres
        if (!(q > 0)) return LUMORA_E_RANGE;
        const int settleTarget = int(10000 / q);
        double motorStep = 1e-06, circle = 10.0;
        ConfigIni.get("Scanner", "SMotStep", &motorStep, 1e-06);
        ConfigIni.get("Scanner", "Abtastkreis", &circle, 10.0);
        Settings.SMotReverse = motorStep < 0 ? 1 : 0;
        if (motorStep < 0) motorStep = -motorStep;
        const uint16_t smot = RoundR(motorStep * FEED_CONSTANT / (Settings.Penta * q));
        const uint16_t ovs = RoundR(q * 300 / (Settings.Penta * circle * PI));
        if (ovs < MIN_OVERSAMPLING || ovs > MAX_OVERSAMPLING) {
            LogPrint(LOG_ERROR, "HV calibration: no ADC set-up for %u nm pixels", pixelNm_);
            return LUMORA_E_RANGE;
        }
        Settings.SMOT = smot;
        Settings.ADC_Ovs = ovs;
        timeoutMs_ = Device.PixelSizeX < FINE_PIXEL_M ? TIMEOUT_FINE_MS : TIMEOUT_MS;

        dev_.SetupShuttle(smot, int32_t(Settings.StepsAB));
        dev_.SetSlotMask(CALIBRATION_SLOT_MASK, int32_t(Settings.StepsA));
        dev_.ShuttleCommand(0);
        dev_.SetLaserMode(0);
        dev_.SetAcquisition(0);
        dev_.SetHighVoltageEnable(0);
        dev_.SetSlotLines(1);
        if (dev_.GetInletSensors() & CALIBRATION_SLOTS) {
            MeasurementPrint("hv-calibration: inlet not free");
            return LUMORA_E_INLET_BUSY;
        }

        int r = DarkSearch();
        if (r != 0) return r;
        int slot = 0;
        if ((r = WaitForPlate(&slot)) != 0) return r;

        dev_.SetSlotLines(2);
        const int offset =
            int(180.0 / (6.0 * Settings.Penta) * (slot - 0.5) / 4e-7) - 75 * ovs;
        start_ = uint16_t(offset + Settings.Strt_Pix);
        dev_.SetupAdc(ovs, uint16_t(1228 * ovs), start_, WINDOW_PIXELS, Settings.Blk_Pix);
        dev_.SetLaserMode(1);
        dev_.SetHighVoltageEnable(1);
        if ((r = Settle(settleTarget)) != 0) return r;

        dev_.SetupAdc(ovs, 0, start_, WINDOW_PIXELS, Settings.Blk_Pix);
        int base = 0;
        if ((r = Search(ovs, &base)) != 0) return r;
        dev_.SetSlotLines(0);
        dev_.ShuttleCommand(4);
        dev_.SetLaserMode(0);
        dev_.SetAcquisition(0);
        dev_.SetHighVoltageEnable(0);
        MeasurementPrint("hv-calibration result %d V", base);
        return base;
    }

private:
    int DarkSearch() {
        int hv = DARK_START_V;
        for (;;) {
            dev_.SetHighVoltage(hv);
            dev_.SetHighVoltageEnable(1);
            platform::WaitMs(DARK_SETTLE_MS);
            dev_.ReadAdcLevel();
            uint32_t sum = 0;
            for (int i = 0; i < DARK_READINGS; ++i) sum += dev_.ReadAdcLevel();
            MeasurementPrint("hv-calibration dark: %d V, mean level %u", hv, sum / DARK_READINGS);
            if (sum < DARK_SUM_LIMIT) break;
            hv -= DARK_STEP_V;
            if (hv <= DARK_FLOOR_V) break;
        }
        if (hv < DARK_LOWEST_V) {
            dev_.SetHighVoltageEnable(0);
            MeasurementPrint("hv-calibration: dark signal too high");
            return LUMORA_E_NO_HIGH_VOLTAGE;
        }
        return 0;
    }

    bool TimedOut(uint64_t start) const { return platform::NowMs() - start >= timeoutMs_; }

    int WaitForPlate(int* slot) {
        dev_.ShuttleCommand(2);
        const uint64_t start = platform::NowMs();
        for (;;) {
            const uint8_t inlet = dev_.GetInletSensors() & CALIBRATION_SLOTS;
            if (inlet && dev_.IsScanning()) {
                *slot = (inlet & 0x02) ? 2 : 3;
                MeasurementPrint("hv-calibration: plate in slot %d", *slot);
                return 0;
            }
            if (TimedOut(start)) {
                dev_.SetSlotLines(0);
                dev_.SetHighVoltageEnable(0);
                MeasurementPrint("hv-calibration: time-out waiting for a plate");
                return LUMORA_E_PLATE_TIMEOUT;
            }
            platform::WaitMs(1);
        }
    }

    int PlateLeft() {
        dev_.ShuttleCommand(0);
        dev_.SetLaserMode(0);
        dev_.SetAcquisition(0);
        dev_.SetHighVoltageEnable(0);
        MeasurementPrint("hv-calibration: the plate left the scan");
        return LUMORA_E_PLATE_TIMEOUT;
    }

    // Waits for fresh lines after the buffer was cleared, then takes the statistics of one
    // block. -1011 when the plate leaves the scan or the lines stop coming.
    int Reading(StreamStatistics* stats) {
        const uint64_t start = platform::NowMs();
        while (dev_.Anz_ScanLine() < LINES_PER_READING) {
            if (!dev_.IsScanning() || TimedOut(start)) return PlateLeft();
            platform::WaitMs(1);
        }
        return ReadStreamStatistics(&dev_, EMPTY_LINE_POSITION, stats);
    }

    int Settle(int target) {
        const uint64_t start = platform::NowMs();
        int k = 0;
        while (k < target) {
            if (TimedOut(start)) return PlateLeft();
            dev_.SetAcquisition(0);
            dev_.ClearReadBlock();
            dev_.SetAcquisition(1);
            StreamStatistics stats;
            if (int r = Reading(&stats); r != 0) return r;
            k = stats.lateLines > 0 || stats.pixels < FEWEST_PIXELS ? 0 : k + SETTLE_GAIN;
            MeasurementPrint("hv-calibration settle %d/%d", k, target);
        }
        return 0;
    }

    int Search(uint16_t ovs, int* base) {
        int step = SEARCH_START_V;
        for (int i = 0; i < SEARCH_STEPS; ++i) {
            dev_.SetHighVoltage(*base + step);
            dev_.SetHighVoltageEnable(1);
            dev_.SetAcquisition(0);
            platform::WaitMs(SEARCH_SETTLE_MS);
            dev_.ClearReadBlock();
            dev_.SetAcquisition(1);
            StreamStatistics stats;
            if (int r = Reading(&stats); r != 0) return r;
            const uint32_t pixels = stats.pixels ? stats.pixels : 1;
            const uint64_t mean = stats.sum / pixels;
            const uint64_t target = uint64_t(TARGET_PER_SAMPLE) * ovs;
            MeasurementPrint("hv-calibration search %d/%d: %d V, mean %llu of %llu", i + 1,
                             SEARCH_STEPS, *base + step, (unsigned long long)mean,
                             (unsigned long long)target);
            if (mean < target) *base += step;
            step /= 2;
        }
        return 0;
    }

    HW_access& dev_;
    uint32_t pixelNm_;
    uint32_t timeoutMs_ = TIMEOUT_MS;
    uint16_t start_ = 0;
};

}  // namespace

int HighVoltageCalibration(const ServiceContext& context, uint32_t pixelNm) {
    return Calibration(context, pixelNm).Run();
}
