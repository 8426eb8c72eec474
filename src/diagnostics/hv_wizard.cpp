// High-voltage wizard: coarse search without a plate, wait for a plate, fine search on it.
#include <algorithm>
#include <vector>

#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "diagnostics/diagnostic_channels.h"
#include "diagnostics/hv_procedures.h"
#include "diagnostics/line_measures.h"
#include "diagnostics/measurement_file.h"
#include "diagnostics/service_context.h"
#include "hardware/hw_access.h"
#include "lumora/lumora.h"
#include "platform/clock.h"
#include "platform/log_channel.h"

namespace {

constexpr uint32_t SETTLE_MS = 600;
constexpr int COARSE_START_V = 900, COARSE_STEP_V = 150, COARSE_STEPS = 5;
constexpr int DARK_LIMIT = 6553;          // 10 % of the 16-bit range
constexpr int LOWEST_USABLE_V = 700;
constexpr int PLATE_LEVEL = 13107;        // 20 %: a plate is in the line
constexpr int LIMIT_INTRA = 43711, LIMIT_OTHER = 58981;
constexpr double LEAD_INTRA_M = 0.005, LEAD_OTHER_M = 0.02;
constexpr double FINE_START_V = 600.0, FINE_STEP_V = 300.0;
constexpr int FINE_STEPS = 8, FINE_LINES = 3;
constexpr int IMAGE_TYPE_INTRA = 1;

class Wizard {
public:
    Wizard(const ServiceContext& c, uint32_t timeoutMs)
        : dev_(*c.device), lines_(*c.lines), armed_(c.scanArmed), timeoutMs_(timeoutMs),
          line_(Settings.Anz_Pix ? Settings.Anz_Pix : 1) {}

    int Run() {
        if (armed_) return LUMORA_E_ARMED;
        dev_.ShuttleCommand(0);
        dev_.SetSlotLines(2);
        dev_.ArmStatus();
        dev_.RegWrite(reg::ARM_FLAG, 0);
        dev_.SetupAdc(Settings.ADC_Ovs, 0, Settings.Strt_Pix, Settings.Anz_Pix, Settings.Blk_Pix);
        dev_.SetLaserMode(1);
        LogPrint(LOG_INFO, "Starting HV-Wizard_Ex, finding Lightlevel");

        int r = CoarseSearch();
        if (r != 0) return r;
        dev_.SetupAdc(Settings.ADC_Ovs, uint16_t(Settings.ADC_Ovs * 820), Settings.Strt_Pix,
                      Settings.Anz_Pix, Settings.Blk_Pix);
        dev_.ClearReadBlock();
        lines_.ResetImageFinder();
        dev_.ShuttleCommand(2);
        dev_.SetLaserMode(1);
        dev_.SetAcquisition(1);
        dev_.SetSlotLines(3);
        dev_.ArmStatus();
        if ((r = WaitForPlate()) != 0) return r;
        if ((r = SkipPlateLead()) != 0) return r;
        int volts = 0;
        if ((r = FineSearch(&volts)) != 0) return r;
        dev_.SetAcquisition(0);
        dev_.SetHighVoltageEnable(0);
        dev_.ShuttleCommand(4);
        dev_.SetLaserMode(0);
        dev_.SetSlotLines(2);
        MeasurementPrint("hv-wizard result %d V", volts);
        return volts;
    }

private:
    // Windowed maximum of the next line, scaled to the 16-bit range when asked.
    int LineMaximum(bool scaled, int* maximum) {
        std::fill(line_.begin(), line_.end(), 0);
        int count = 0;
        const int r = lines_.ReadLine(line_.data(), int(line_.size()), &count);
        if (r < 0) return r;
        const int m = WindowedMaximum(line_.data(), int(line_.size()));
        *maximum = scaled ? int(m * Device.PixScale) : m;
        return 0;
    }

    int Stop(int result) {
        dev_.SetSlotLines(0);
        dev_.SetAcquisition(0);
        dev_.SetHighVoltageEnable(0);
        return result;
    }

    int CoarseSearch() {
        int hv = COARSE_START_V, step = COARSE_STEP_V;
        for (int i = 0; i < COARSE_STEPS; ++i) {
            dev_.SetAcquisition(0);
            dev_.SetHighVoltage(hv);
            dev_.SetHighVoltageEnable(1);
            platform::WaitMs(SETTLE_MS);
            dev_.SetAcquisition(1);
            dev_.ClearReadBlock();
            int m = 0;
            if (int r = LineMaximum(true, &m); r != 0) return Stop(r);
            MeasurementPrint("hv-wizard coarse %d/%d: %d V, dark level %d", i + 1, COARSE_STEPS,
                             hv, m);
            hv += m <= DARK_LIMIT ? step : -step;
            step /= 2;
        }
        if (hv < LOWEST_USABLE_V) {
            MeasurementPrint("hv-wizard: dark signal too high, %d V below %d V", hv,
                             LOWEST_USABLE_V);
            return Stop(LUMORA_E_NO_HIGH_VOLTAGE);
        }
        return 0;
    }

    bool TimedOut(uint64_t start) const { return platform::NowMs() - start >= timeoutMs_; }

    int TimeOut() {
        LogPrint(LOG_INFO, "Timeout");
        MeasurementPrint("hv-wizard: time-out waiting for a plate");
        return Stop(LUMORA_E_PLATE_TIMEOUT);
    }

    int WaitForPlate() {
        const int wanted = int(PLATE_LEVEL / Device.PixScale);
        const uint64_t start = platform::NowMs();
        for (;;) {
            if (TimedOut(start)) return TimeOut();
            if (!dev_.IsScanning()) {
                platform::WaitMs(1);
                continue;
            }
            dev_.ClearReadBlock();
            int m = 0;
            int r = LineMaximum(false, &m);
            if (r == 0) r = LineMaximum(false, &m);
            if (r != 0) return Stop(r);
            if (m >= wanted) {
                MeasurementPrint("hv-wizard: plate found, level %d", m);
                return 0;
            }
        }
    }

    // Lets the plate's leading part pass with the high voltage at 0.
    int SkipPlateLead() {
        const bool intra = Device.ImageType == IMAGE_TYPE_INTRA;
        const int binning = Settings.Binning == 2 ? 2 : 1;
        const double lead = binning * (intra ? LEAD_INTRA_M : LEAD_OTHER_M);
        const uint32_t lines = Device.PixelSizeY > 0 ? uint32_t(lead / Device.PixelSizeY) : 0;
        dev_.SetHighVoltage(0);
        dev_.ClearReadBlock();
        const uint64_t start = platform::NowMs();
        while (dev_.Anz_ScanLine() < lines) {
            if (TimedOut(start)) return TimeOut();
            platform::WaitMs(1);
        }
        dev_.ClearReadBlock();
        return 0;
    }

    int FineSearch(int* volts) {
        const int limit = Device.ImageType == IMAGE_TYPE_INTRA ? LIMIT_INTRA : LIMIT_OTHER;
        double hv = FINE_START_V, step = FINE_STEP_V;
        int h = 0;
        for (int i = 0; i < FINE_STEPS; ++i) {
            h = int(hv);
            dev_.SetHighVoltage(h);
            dev_.SetHighVoltageEnable(1);
            dev_.SetLaserMode(1);
            dev_.SetAcquisition(0);
            platform::WaitMs(SETTLE_MS);
            int32_t applied = 0;
            ReadDiagnosticChannel(&dev_, DIAG_HIGH_VOLTAGE, &applied);
            dev_.SetAcquisition(1);
            dev_.ClearReadBlock();
            int m = 0, best = 0;
            int r = LineMaximum(true, &m);  // the first line after the clear is not used
            for (int k = 0; r == 0 && k < FINE_LINES; ++k) {
                r = LineMaximum(true, &m);
                if (m > best) best = m;
            }
            if (r != 0) return Stop(r);
            MeasurementPrint("hv-wizard fine %d/%d: %d V (output %.1f V), plate level %d of %d",
                             i + 1, FINE_STEPS, h, applied / 1000.0, best, limit);
            hv += best > limit ? -step : step;
            step /= 2;
        }
        *volts = h;
        return 0;
    }

    HW_access& dev_;
    ScanLineSource& lines_;
    bool armed_;
    uint32_t timeoutMs_;
    std::vector<uint16_t> line_;
};

}  // namespace

int HighVoltageWizard(const ServiceContext& context, uint32_t timeoutMs) {
    return Wizard(context, timeoutMs).Run();
}
