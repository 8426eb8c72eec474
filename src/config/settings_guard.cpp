#include "config/settings_guard.h"

#include <cmath>

#include "config/get_konfigpara.h"
#include "config/scanner_settings.h"
#include "lumora/lumora.h"
#include "platform/log_channel.h"

namespace {

constexpr double PIXEL_NM_MAX = 4294967295.0;  // pixel sizes are kept in nanometres, 32 bits
constexpr double STEPS_MAX = 256.0 * 2048 - 1;  // feed distances: steps / 2048 go to 8-bit registers
constexpr double ANZ_PIX_MIN = 16, ANZ_PIX_MAX = 65535;
constexpr double USUAL_SCAN_CIRCLE = 0.1;      // about the identification PROM's reflector scale

bool Within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// The name of the motor step's source.
const char* StepKey(const KonfigInputs& in) {
    return in.geometryFromIdprom ? "SMotStep (identification PROM)" : "SMotStep";
}

}  // namespace

int CheckDerivedSettings(const KonfigOutput& out) {
    const KonfigInputs& in = out.inputs;
    const ScannerSettings& s = *out.settings;
    const DeviceRecord& d = *out.device;
    int result = 0;

    if (!Within(in.adcOvsRaw, ADC_OVS_MIN - 0.5, 2.0 * ADC_OVS_MAX + 1.0) ||
        s.ADC_Ovs < ADC_OVS_MIN || s.ADC_Ovs > ADC_OVS_MAX) {
        LogPrint(LOG_ERROR,
                 "Abtastkreis=%g%s and Res_X=%g give an ADC oversampling of %g (%i ... %i "
                 "possible); a usual Abtastkreis is about %g",
                 in.scanCircle, in.geometryFromIdprom ? " (identification PROM)" : "", in.resX,
                 in.adcOvsRaw, ADC_OVS_MIN, ADC_OVS_MAX, USUAL_SCAN_CIRCLE);
        result = LUMORA_E_RANGE;
    }
    const double nmX = d.PixelSizeX * 1e9;
    if (result == 0 && !Within(nmX, 1.0, PIXEL_NM_MAX)) {
        LogPrint(LOG_ERROR, "Abtastkreis=%g and Res_X=%g give a pixel width of %g nm",
                 in.scanCircle, in.resX, nmX);
        result = LUMORA_E_RANGE;
    }
    if (!Within(in.smotRaw, 0.5, SHUTTLE_DIVIDER_MAX)) {
        LogPrint(LOG_ERROR,
                 "%s=%g, Res_Y=%g and Interpolate_Y=%li give a motor divider of %g (1 ... %g "
                 "possible)",
                 StepKey(in), in.motorStep, in.resY, in.interpolateY, in.smotRaw,
                 SHUTTLE_DIVIDER_MAX);
        result = LUMORA_E_RANGE;
    }
    const double nmY = d.PixelSizeY * 1e9;
    if (!Within(nmY, 1.0, PIXEL_NM_MAX)) {
        LogPrint(LOG_ERROR,
                 "%s=%g, Res_Y=%g and Interpolate_Y=%li give a pixel height of %g nm",
                 StepKey(in), in.motorStep, in.resY, in.interpolateY, nmY);
        result = LUMORA_E_RANGE;
    }
    if (!Within(in.stepsARaw, -STEPS_MAX, STEPS_MAX) || !Within(in.stepsABRaw, -STEPS_MAX, STEPS_MAX)) {
        LogPrint(LOG_ERROR,
                 "%s=%g, Abst_A=%g and Abst_B=%g give feed distances of %g and %g steps "
                 "(at most %g)",
                 StepKey(in), in.motorStep, in.abstA, in.abstB, in.stepsARaw, in.stepsABRaw,
                 STEPS_MAX);
        result = LUMORA_E_RANGE;
    }
    if (!Within(in.anzPixRaw, ANZ_PIX_MIN - 0.5, ANZ_PIX_MAX)) {
        LogPrint(LOG_ERROR, "ScanRange=%g with an ADC oversampling of %u gives %g pixels per line",
                 in.scanRange, unsigned(s.ADC_Ovs), in.anzPixRaw);
        result = LUMORA_E_RANGE;
    }
    return result;
}
