#include "clock.h"

namespace lumora_emu {

void EmuClock::SetMode(ClockMode mode, double factor) {
    mode_ = mode;
    if (!(factor >= 0.001 && factor <= 1e6)) factor = 1.0;
    factor_ = mode == ClockMode::Fast ? factor : 1.0;
}

uint64_t EmuClock::WallUsFor(uint32_t ms) const {
    if (mode_ == ClockMode::Stepped) return 0;
    return uint64_t(double(ms) * 1000.0 / factor_);
}

}  // namespace lumora_emu
