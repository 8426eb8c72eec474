// Emulated time. Stepped: time moves only when someone waits or polls. Realtime/fast: a wait
// also sleeps for the wait divided by the factor.
#pragma once
#include <cstdint>
#include "lumora_emu/emulator.h"

namespace lumora_emu {

class EmuClock {
public:
    void Reset() { nowUs_ = 0; }
    uint64_t NowUs() const { return nowUs_; }
    uint64_t NowMs() const { return nowUs_ / 1000; }
    void AdvanceUs(uint64_t us) { nowUs_ += us; }
    void SetMode(ClockMode mode, double factor);
    ClockMode Mode() const { return mode_; }
    double Factor() const { return factor_; }
    // Wall time a wait of ms emulated milliseconds takes (0 in stepped mode).
    uint64_t WallUsFor(uint32_t ms) const;

private:
    uint64_t nowUs_ = 0;
    ClockMode mode_ = ClockMode::Stepped;
    double factor_ = 1.0;
};

}  // namespace lumora_emu
