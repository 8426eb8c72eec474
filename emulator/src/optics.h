// What the photomultiplier makes of the light of a scan line: gain with the high voltage,
// dark signal and noise growing with the gain, and the light-collection profile along the
// line. With the defaults (gain exponent 0, flat profile, no dark signal or noise) a plate
// pixel reaches the ADC unchanged while the high voltage is on.
#pragma once
#include <cstdint>
#include <vector>

namespace lumora_emu {

struct DeviceConfig;

class Optics {
public:
    // Takes the model for a line of anzPix positions at the given voltage (0 = off).
    void Prepare(const DeviceConfig& cfg, double volts, uint32_t anzPix);
    bool On() const { return gain_ > 0.0; }
    double Gain() const { return gain_; }
    // Signal on the 16-bit sample scale (before the ADC's dark level) for light at a line
    // position; noise is drawn from a fixed sequence, so runs repeat exactly.
    uint16_t Signal(double light, uint32_t position);
    // The same for a light level seen by the whole photomultiplier (ambient light).
    uint16_t Signal(double light) { return Signal(light, kNoPosition); }
    bool Noisy() const { return noise_ > 0.0; }

    static double Gain(const DeviceConfig& cfg, double volts);

private:
    static constexpr uint32_t kNoPosition = 0xFFFFFFFF;
    double NextNoise();

    double gain_ = 0.0, dark_ = 0.0, noise_ = 0.0;
    bool flat_ = true;
    std::vector<double> profile_;
    uint64_t seed_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace lumora_emu
