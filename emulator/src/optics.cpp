#include "optics.h"

#include <algorithm>
#include <cmath>

#include "device_config.h"

namespace lumora_emu {

double Optics::Gain(const DeviceConfig& cfg, double volts) {
    if (volts <= 0.0) return 0.0;
    if (cfg.gainExponent == 0.0 || cfg.gainReference <= 0.0) return 1.0;
    return std::pow(volts / cfg.gainReference, cfg.gainExponent);
}

void Optics::Prepare(const DeviceConfig& cfg, double volts, uint32_t anzPix) {
    gain_ = Gain(cfg, volts);
    dark_ = cfg.darkSignal;
    noise_ = cfg.noise;
    flat_ = cfg.profileFalloff == 0.0 && cfg.profileRipple == 0.0;
    if (flat_ || profile_.size() == anzPix) return;
    profile_.resize(anzPix);
    const double pi = 3.14159265358979323846;
    for (uint32_t i = 0; i < anzPix; ++i) {
        const double u = anzPix > 1 ? double(i) / (anzPix - 1) : 0.5;
        const double x = 2.0 * u - 1.0;
        profile_[i] = (1.0 - cfg.profileFalloff * x * x) *
                      (1.0 + cfg.profileRipple * std::sin(2.0 * pi * cfg.ripplePeriods * u));
    }
}

double Optics::NextNoise() {
    // xorshift64*: two uniform draws summed, scaled to unit standard deviation.
    auto uniform = [this] {
        seed_ ^= seed_ >> 12;
        seed_ ^= seed_ << 25;
        seed_ ^= seed_ >> 27;
        return double((seed_ * 0x2545F4914F6CDD1Dull) >> 11) / double(1ull << 53);
    };
    return (uniform() + uniform() - 1.0) * std::sqrt(6.0);
}

uint16_t Optics::Signal(double light, uint32_t position) {
    if (gain_ <= 0.0) return 0;
    if (!flat_ && position < profile_.size()) light *= profile_[position];
    double v = gain_ * (light + dark_);
    if (noise_ > 0.0) v += gain_ * noise_ * NextNoise();
    return uint16_t(std::clamp(std::lround(v), 0L, 65535L));
}

}  // namespace lumora_emu
