// Scanner registers and their side effects.
#include <algorithm>

#include "device_state.h"
#include "devicelink/registers.h"

namespace lumora_emu {

double State::HighVoltage() const {
    bool on = HvOn() || (hvStays && hvWasOn);
    return on ? adc.dac * kVoltsPerDacCount : 0.0;
}

uint8_t State::AdcConvert(int channel) const {
    double volts = 0, perCount = 1;
    switch (channel) {
        case 0: volts = HighVoltage(); perCount = kVoltsPerDacCount; break;
        case 1: volts = 3.3; perCount = 0.01953; break;
        case 2: volts = 5.0; perCount = 0.02929; break;
        default: volts = 24.0; perCount = 0.12793; break;
    }
    return uint8_t(std::min(255.0, volts / perCount + 0.5));
}

uint16_t State::Accumulator() const {
    uint32_t light = HighVoltage() > 0.0 ? cfg.ambientLight : 0;
    uint16_t level = uint16_t(std::min<uint32_t>(cfg.darkLevel + light, 0xFFFF));
    uint32_t n = (regs[reg::ADC_OVS] & 31u) + 1;
    uint32_t sum = n <= 16 ? n * level / 16 : n * level / 32;
    uint32_t offset = regs[reg::ADC_OFFSET] | regs[reg::ADC_OFFSET + 1] << 8;
    return uint16_t(std::min<uint32_t>(sum > offset ? sum - offset : 0, 0xFFFF));
}

void State::PollStep() {
    if (clock.Mode() == ClockMode::Stepped) Advance(cfg.pollStepUs);
}

uint8_t State::Read8(uint32_t r) {
    if (!firmwareRunning) return 0xFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) {
        if (r == reg::STATUS || r == reg::LINE_COUNT_LO) PollStep();
        return uint8_t(f->second);
    }
    switch (r) {
        case reg::READ_POINTER: return uint8_t(fifo.ReadPointer());
        case reg::LINE_COUNT_LO:
            PollStep();
            return uint8_t(lineCounter);
        case reg::LINE_COUNT_MID: return uint8_t(lineCounter >> 8);
        case reg::LINE_COUNT_HI: return uint8_t(lineCounter >> 16);
        case reg::CHECKSUM: return uint8_t(checksum);
        case reg::WORDS_WAITING: return uint8_t(std::min<size_t>(fifo.Waiting(), 0xFF));
        case reg::WRITE_POINTER: return uint8_t(fifo.WritePointer());
        case reg::LAMP1_BUSY: return clock.NowUs() < lampBusyUntilUs[0] ? 1 : 0;
        case reg::LAMP2_BUSY: return clock.NowUs() < lampBusyUntilUs[1] ? 1 : 0;
        case reg::LAMP1_STATUS: return lampStatus[0];
        case reg::LAMP2_STATUS: return lampStatus[1];
        case reg::I2C: return pins.ReadSda();
        case reg::INLET:
            return uint8_t((regs[r] & 0xF0) | (transport.InletBits(clock.NowUs()) & 0x0F));
        case reg::ERASE_DATA: {
            if (!cfg.HasEraseUnit() || !cfg.eraseUnitAnswering) return 0;
            uint8_t i = regs[reg::ERASE_INDEX];
            if (i <= 10) return cfg.eraseSensors[i];
            if (i == 13) return cfg.eraseVersion;
            if (i == 14) return cfg.eraseLampStatus;
            if (i == 15) return uint8_t(std::clamp(cfg.eraseLampTemp, 0.0, 255.0));  // whole °C
            return 0;
        }
        case reg::ADC_ACCU: return uint8_t(Accumulator());
        case reg::ADC_ACCU + 1: return uint8_t(Accumulator() >> 8);
        case reg::STATUS: {
            PollStep();
            uint8_t v = statusEvents & 0xFE;
            if (transport.InScan()) v |= 0x01;
            if (eraseReport && cfg.HasEraseUnit()) v |= 0x20;
            return v;
        }
        default: return regs[r & 0xFF];
    }
}

uint16_t State::Read16(uint32_t r) {
    if (!firmwareRunning) return 0xFFFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) return uint16_t(f->second);
    switch (r) {
        case reg::CHECKSUM: return checksum;
        case reg::ADC_ACCU: return Accumulator();
        case reg::READ_POINTER:
        case reg::WORDS_WAITING:
        case reg::WRITE_POINTER: return uint16_t(Read32(r));
        default: return uint16_t(Read8(r) | Read8(r + 1) << 8);
    }
}

uint32_t State::Read32(uint32_t r) {
    if (!firmwareRunning) return 0xFFFFFFFF;
    if (auto f = forcedReads.find(r); f != forcedReads.end()) return f->second;
    switch (r) {
        case reg::READ_POINTER: return fifo.ReadPointer();
        case reg::WORDS_WAITING: return uint32_t(fifo.Waiting());
        case reg::WRITE_POINTER: return fifo.WritePointer();
        default: return uint32_t(Read16(r)) | uint32_t(Read16(r + 2)) << 16;
    }
}

void State::Write8(uint32_t r, uint8_t v) {
    if (!firmwareRunning) return;
    r &= 0xFF;
    uint8_t old = regs[r];
    regs[r] = v;
    switch (r) {
        case reg::CHECKSUM: checksum = 0; break;
        case reg::WRITE_POINTER:
            if (v == 0) fifo.ResetWritePointer();
            break;
        case reg::LAMP1_CMD:
            if (v == 1) lampBusyUntilUs[0] = clock.NowUs() + kLampBusyUs;
            break;
        case reg::LAMP2_CMD:
            if (v == 1) lampBusyUntilUs[1] = clock.NowUs() + kLampBusyUs;
            break;
        case reg::I2C: pins.WritePins(v); break;
        case reg::MOTOR_SERIAL: motor.WritePort(v); break;
        case reg::CONTROL:
            if ((v & 0x80) && !(old & 0x80)) {  // buffer reset pulse
                fifo.Clear();
                lineCounter = 0;
            }
            if (v & 0x08) hvWasOn = true;
            if (!(v & 0x08) && !hvStays) hvWasOn = false;
            break;
        case reg::LINE_TEST:
            if (v == 1 && (regs[reg::LASER] & 0x40)) transport.EmitTestLine(*this);
            break;
        case reg::STATUS:
            statusEvents = uint8_t(statusEvents & ~v);
            regs[r] = old;
            break;
        case reg::PORT_RELEASE:
            if (v == 0x40) ++portReleaseWrites;
            break;
        default: break;
    }
}

void State::Write16(uint32_t r, uint16_t v) {
    if (!firmwareRunning) return;
    if (r == reg::CHECKSUM) {
        checksum = 0;
        return;
    }
    Write8(r, uint8_t(v));
    Write8(r + 1, uint8_t(v >> 8));
}

void State::Write32(uint32_t r, uint32_t v) {
    if (!firmwareRunning) return;
    if (r == reg::READ_POINTER) {
        fifo.SetReadPointer(v);
        return;
    }
    if (r == reg::WRITE_POINTER) {
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
