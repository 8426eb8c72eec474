// Scanner registers and their side effects.
#include <algorithm>
#include <vector>

#include "device_state.h"
#include "device_map.h"

namespace lumora_emu {

double State::HighVoltage() const {
    bool on = HvOn() || (hvStays && hvWasOn);
    return on ? adc.dac * kVoltsPerDacCount : 0.0;
}

uint8_t State::AdcConvert(int channel) const {
    double volts = 0, perCount = 1;
    switch (channel) {
        case 0: volts = HighVoltage(); perCount = kVoltsPerDacCount; break;
        case 1: volts = cfg.supply3V3; perCount = 0.01953; break;
        case 2: volts = cfg.supply5V; perCount = 0.02929; break;
        default: volts = cfg.supply24V; perCount = 0.12793; break;
    }
    return uint8_t(std::clamp(volts / perCount + 0.5, 0.0, 255.0));
}

uint16_t State::Accumulator() {
    // The photomultiplier sees the ambient light (and its own dark signal) while the HV is on.
    optics.Prepare(cfg, HighVoltage(), Reg16(registers::kPixelCount));
    uint32_t light = optics.Signal(cfg.ambientLight);
    uint16_t level = uint16_t(std::min<uint32_t>(cfg.darkLevel + light, 0xFFFF));
    uint32_t n = (regs[registers::kOversampling] & 31u) + 1;
    uint32_t sum = n <= 16 ? n * level / 16 : n * level / 32;
    uint32_t offset = regs[registers::kAdcOffset] | regs[registers::kAdcOffset + 1] << 8;
    return uint16_t(std::min<uint32_t>(sum > offset ? sum - offset : 0, 0xFFFF));
}

bool State::TransferTest() const {
    return regs[registers::kAcquisitionFlag] == 1 && !(regs[registers::kLaser] & bits::kAcquisitionOn);
}

void State::FillTestPattern(size_t words) {
    std::vector<uint32_t> pattern(words);
    for (uint32_t& w : pattern) {
        // Two counting 16-bit values, both below the stream's markers.
        const uint16_t v = uint16_t(testPattern++ % stream::kMaxValue);
        w = uint32_t(v) | uint32_t(stream::kMaxValue - v) << 16;
    }
    fifo.Push(pattern.data(), pattern.size());
}

// Words the USB transfer test keeps waiting in the buffer RAM.
constexpr size_t kTestStreamWords = 16384;

void State::PollStep() {
    if (clock.Mode() == ClockMode::Stepped) Advance(cfg.pollStepUs);
}

uint8_t State::Read8(uint32_t r) {
    if (!firmwareRunning) return 0xFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) {
        if (r == registers::kStatus || r == registers::kLineCountLow) PollStep();
        return uint8_t(f->second);
    }
    switch (r) {
        case registers::kReadPointer: return uint8_t(fifo.ReadPointer());
        case registers::kLineCountLow:
            PollStep();
            return uint8_t(lineCounter);
        case registers::kLineCountMiddle: return uint8_t(lineCounter >> 8);
        case registers::kLineCountHigh: return uint8_t(lineCounter >> 16);
        case registers::kChecksum: return uint8_t(checksum);
        case registers::kWordsWaiting: return uint8_t(std::min<size_t>(fifo.Waiting(), 0xFF));
        case registers::kWritePointer: return uint8_t(fifo.WritePointer());
        case registers::kLamp1Busy: return clock.NowUs() < lampBusyUntilUs[0] ? 1 : 0;
        case registers::kLamp2Busy: return clock.NowUs() < lampBusyUntilUs[1] ? 1 : 0;
        case registers::kLamp1Flags: return lampStatus[0];
        case registers::kLamp2Flags: return lampStatus[1];
        case registers::kI2cPins: return pins.ReadSda();
        case registers::kInlet:
            return uint8_t((regs[r] & ~bits::kInletSensors) |
                           (transport.InletBits(clock.NowUs()) & bits::kInletSensors));
        case registers::kEraseData: {
            if (!cfg.HasEraseUnit() || !cfg.eraseUnitAnswering) return 0;
            uint8_t i = regs[registers::kEraseIndex];
            if (i <= 10) return cfg.eraseSensors[i];
            if (i == 13) return cfg.eraseVersion;
            if (i == 14) return cfg.eraseLampStatus;
            if (i == 15) return uint8_t(std::clamp(cfg.eraseLampTemp, 0.0, 255.0));  // whole °C
            return 0;
        }
        case registers::kAdcAccumulator: return uint8_t(Accumulator());
        case registers::kAdcAccumulator + 1: return uint8_t(Accumulator() >> 8);
        case registers::kStatus: {
            PollStep();
            uint8_t v = uint8_t(statusEvents & ~bits::kPlateInScan);
            if (transport.InScan()) v |= bits::kPlateInScan;
            if (eraseReport && cfg.HasEraseUnit()) v |= bits::kEraseReport;
            return v;
        }
        default: return regs[r & 0xFF];
    }
}

uint16_t State::Read16(uint32_t r) {
    if (!firmwareRunning) return 0xFFFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) return uint16_t(f->second);
    switch (r) {
        case registers::kChecksum: return checksum;
        case registers::kAdcAccumulator: return Accumulator();
        case registers::kReadPointer:
        case registers::kWordsWaiting:
        case registers::kWritePointer: return uint16_t(Read32(r));
        default: return uint16_t(Read8(r) | Read8(r + 1) << 8);
    }
}

uint32_t State::Read32(uint32_t r) {
    if (!firmwareRunning) return 0xFFFFFFFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) return f->second;
    switch (r) {
        case registers::kReadPointer: return fifo.ReadPointer();
        case registers::kWordsWaiting:
            if (TransferTest() && regs[registers::kArmFlag] == 1 && fifo.Waiting() < kTestStreamWords)
                FillTestPattern(kTestStreamWords - fifo.Waiting());
            return uint32_t(fifo.Waiting());
        case registers::kWritePointer: return fifo.WritePointer();
        default: return uint32_t(Read16(r)) | uint32_t(Read16(r + 2)) << 16;
    }
}

void State::Write8(uint32_t r, uint8_t v) {
    if (!firmwareRunning) return;
    r &= 0xFF;
    uint8_t old = regs[r];
    regs[r] = v;
    switch (r) {
        case registers::kChecksum: checksum = 0; break;
        case registers::kWritePointer:
            if (v == 0) fifo.ResetWritePointer();
            break;
        case registers::kLamp1Command:
            if (v == 1) lampBusyUntilUs[0] = clock.NowUs() + kLampBusyUs;
            break;
        case registers::kLamp2Command:
            if (v == 1) lampBusyUntilUs[1] = clock.NowUs() + kLampBusyUs;
            break;
        case registers::kI2cPins: pins.WritePins(v); break;
        case registers::kMotorPort: motor.WritePort(v); break;
        case registers::kControl:
            if ((v & bits::kBufferReset) && !(old & bits::kBufferReset)) {
                fifo.Clear();
                lineCounter = 0;
            }
            if (v & bits::kHighVoltageOn) hvWasOn = true;
            if (!(v & bits::kHighVoltageOn) && !hvStays) hvWasOn = false;
            break;
        case registers::kLineTest:
            if (v == 1 && (regs[registers::kLaser] & bits::kAcquisitionOn)) transport.EmitTestLine(*this);
            break;
        case registers::kStatus:
            statusEvents = uint8_t(statusEvents & ~v);
            regs[r] = old;
            break;
        case registers::kPortRelease:
            if (v == bits::kPortReleased) ++portReleaseWrites;
            break;
        default: break;
    }
}

void State::Write16(uint32_t r, uint16_t v) {
    if (!firmwareRunning) return;
    if (r == registers::kChecksum) {
        checksum = 0;
        return;
    }
    Write8(r, uint8_t(v));
    Write8(r + 1, uint8_t(v >> 8));
}

void State::Write32(uint32_t r, uint32_t v) {
    if (!firmwareRunning) return;
    if (r == registers::kReadPointer) {
        const uint64_t back = (uint64_t(fifo.ReadPointer()) + fifo.Capacity() - v % fifo.Capacity()) %
                              fifo.Capacity();
        fifo.SetReadPointer(v);
        // The transfer test reads the same memory again: whatever was there comes back.
        if (TransferTest() && back < fifo.Capacity() / 2 && fifo.Waiting() < back)
            FillTestPattern(size_t(back) - fifo.Waiting());
        return;
    }
    if (r == registers::kWritePointer) {
        if (v == 0) fifo.ResetWritePointer();
        return;
    }
    Write16(r, uint16_t(v));
    Write16(r + 2, uint16_t(v >> 16));
}

size_t State::BlockRead(uint32_t* out, size_t words) {
    size_t n = fifo.Read(out, words);
    for (size_t i = 0; i < n; ++i) checksum = uint16_t(checksum + (out[i] & 0xFFFF) + (out[i] >> 16));
    ++blockTransfers;
    if (n > 0 && corruptTransfers > 0) {
        --corruptTransfers;
        checksum = uint16_t(checksum ^ 0x5A5A);
    }
    return n;
}

}  // namespace lumora_emu
