#include "plate_transport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "device_state.h"

namespace lumora_emu {

namespace {
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
uint32_t Unit(uint16_t first, uint16_t second) { return uint32_t(first) | uint32_t(second) << 16; }
}  // namespace

uint16_t StreamValue(uint16_t pixel16, uint16_t dark16, uint8_t ovsRegister, uint16_t offset) {
    uint32_t n = (ovsRegister & 31u) + 1;
    uint32_t level = uint32_t(pixel16) + dark16;
    uint32_t sum = n <= 16 ? n * level / 16 : n * level / 32;
    int64_t v = int64_t(sum) - offset;
    if (v < 0) v = 0;
    return uint16_t(std::min<int64_t>(v, stream::kMaxValue));
}

void PlateTransport::Reset() {
    plates_.clear();
    lastUs_ = 0;
    lineIndex_ = 0;
    everArmed_ = false;
    lineClockRunning_ = false;
    nextLineUs_ = 0;
}

void PlateTransport::Feed(const PlateEntry& entry, PlateImage image, uint64_t nowUs) {
    Plate p;
    p.entry = entry;
    p.entry.slot = std::clamp(entry.slot, 1, 4);
    p.image = std::move(image);
    if (everArmed_ || p.entry.stay) p.arriveUs = nowUs + uint64_t(std::max(0.0, entry.atSeconds) * 1e6);
    plates_.push_back(std::move(p));
}

bool PlateTransport::Running(const State& s) {
    uint8_t cmd = s.regs[registers::kShuttleCommand];
    return s.firmwareRunning && (cmd & bits::kShuttleScanMask) == bits::kShuttleScan;
}

bool PlateTransport::FreeRunning(const State& s) {
    return s.firmwareRunning && (s.regs[registers::kLaser] & bits::kLaserModeMask) == bits::kLaserCalibration;
}

uint64_t PlateTransport::LinePeriodUs(const State& s) {
    uint32_t rpm = s.motor.Speed();
    return rpm ? 60000000ull / rpm : 0;
}

double PlateTransport::FeedMmPerSecond(const State& s) {
    // The shuttle steps at 1 MHz / divider; each step moves the SMOT step size.
    uint32_t divider = uint32_t(s.Reg16(registers::kShuttleDividerLow)) + 1;
    double stepMm = (s.cfg.smotStep ? s.cfg.smotStep : 1000) * 1e-6;
    return stepMm * 1e6 / divider;
}

uint32_t PlateTransport::SlotOffset(const State& s, int slot) {
    uint32_t anzPix = s.Reg16(registers::kPixelCount);
    uint32_t range = s.cfg.scanRange ? s.cfg.scanRange : 180;
    uint32_t pos = uint32_t(std::lround((slot - 1) * 45.0 / range * anzPix));
    return (pos & ~1u) + 16;
}

uint8_t PlateTransport::InletBits(uint64_t nowUs) const {
    uint8_t bits = 0;
    for (const Plate& p : plates_) {
        bool present = (p.stage == PlateStage::AtInlet) ||
                       (p.stage != PlateStage::Pending && p.stage != PlateStage::AtInlet &&
                        nowUs < p.inletClearUs) ||
                       (p.entry.stay && (p.stage == PlateStage::Travelling || p.stage == PlateStage::InScan));
        if (present) bits |= uint8_t(1 << (p.entry.slot - 1));
    }
    return bits;
}

bool PlateTransport::InScan() const {
    return std::any_of(plates_.begin(), plates_.end(),
                       [](const Plate& p) { return p.stage == PlateStage::InScan; });
}

std::vector<PlateState> PlateTransport::States() const {
    std::vector<PlateState> out;
    for (const Plate& p : plates_) {
        PlateState st;
        st.slot = p.entry.slot;
        st.stage = p.stage;
        st.firstLine = p.firstCounter;
        st.xOffset = p.xOffset;
        st.width = p.image.width;
        st.height = p.image.height;
        out.push_back(st);
    }
    return out;
}

void PlateTransport::StartDraw(Plate& p, uint64_t atUs, const State& s) {
    double travelS = (s.cfg.distA ? s.cfg.distA : 10) / FeedMmPerSecond(s);
    uint64_t period = LinePeriodUs(s);
    p.drawUs = atUs;
    p.reachUs = atUs + uint64_t(travelS * 1e6);
    p.inletClearUs = atUs + uint64_t(p.image.height) * (period ? period : 10000);
    p.stage = PlateStage::Travelling;
}

bool PlateTransport::MayDraw(const Plate& p, const State& s) const {
    if (!Running(s) || ((s.regs[registers::kSlotLines] >> (2 * (p.entry.slot - 1))) & 1) == 0)
        return false;
    // The image-type lock keeps out plates of a type not accepted.
    uint8_t lock = s.regs[registers::kInlet] & (bits::kTypeLockIntra | bits::kTypeLockExtra);
    if (lock && p.entry.type == 1 && !(lock & bits::kTypeLockIntra)) return false;
    if (lock && p.entry.type == 2 && !(lock & bits::kTypeLockExtra)) return false;
    return true;
}

void PlateTransport::TakeOutStaying(uint64_t atUs, State& s) {
    for (Plate& p : plates_) {
        if (!p.entry.stay || (p.stage != PlateStage::Travelling && p.stage != PlateStage::InScan))
            continue;
        if (p.stage == PlateStage::InScan) s.statusEvents |= bits::kPlateLeft;
        p.stage = PlateStage::Pending;
        p.arriveUs = atUs + uint64_t(std::max(0.0, p.entry.atSeconds) * 1e6);
    }
}

void PlateTransport::AdvanceTo(uint64_t nowUs, State& s) {
    // Registers only change between calls, so whatever they say now holds since lastUs_.
    uint64_t since = std::min(lastUs_, nowUs);
    if (!Running(s)) TakeOutStaying(since, s);
    if (FreeRunning(s) && !lineClockRunning_ && LinePeriodUs(s) > 0) {
        lineClockRunning_ = true;
        nextLineUs_ = since + LinePeriodUs(s);
    }
    if (Running(s) && !everArmed_) {
        everArmed_ = true;
        armedAtUs_ = since;
        for (Plate& p : plates_)
            if (p.stage == PlateStage::Pending && !p.entry.stay)
                p.arriveUs = armedAtUs_ + uint64_t(std::max(0.0, p.entry.atSeconds) * 1e6);
    }
    for (Plate& p : plates_)
        if (p.stage == PlateStage::AtInlet && MayDraw(p, s)) StartDraw(p, std::max(since, p.arriveUs), s);

    for (;;) {
        uint64_t due = kNever;
        Plate* who = nullptr;
        for (Plate& p : plates_) {
            uint64_t t = kNever;
            if (p.stage == PlateStage::Pending && (everArmed_ || p.entry.stay)) t = p.arriveUs;
            if (p.stage == PlateStage::Travelling) t = p.reachUs;
            if (t < due) {
                due = t;
                who = &p;
            }
        }
        uint64_t period = LinePeriodUs(s);
        if (lineClockRunning_ && period > 0 && nextLineUs_ <= due) {
            due = nextLineUs_;
            who = nullptr;
        }
        if (due > nowUs) break;
        if (!who) {
            EmitLine(s);
            nextLineUs_ += period;
            if (!InScan() && !FreeRunning(s)) lineClockRunning_ = false;
        } else if (who->stage == PlateStage::Pending) {
            who->stage = PlateStage::AtInlet;
            if (MayDraw(*who, s)) StartDraw(*who, due, s);
        } else {
            who->stage = PlateStage::InScan;
            who->firstLine = lineIndex_ + kLeadLines;
            who->firstCounter = s.lineCounter + kLeadLines;
            who->xOffset = SlotOffset(s, who->entry.slot);
            if (!lineClockRunning_) {
                lineClockRunning_ = true;
                nextLineUs_ = due;
            }
        }
    }
    // A polygon standing still holds the line clock; it resumes from now, without a burst.
    if (lineClockRunning_ && LinePeriodUs(s) == 0) nextLineUs_ = nowUs;
    lastUs_ = nowUs;
}

void PlateTransport::EmitLine(State& s, bool testLine) {
    // Lines that are not recorded (acquisition off) only move the counters.
    if (testLine || (s.regs[registers::kLaser] & bits::kAcquisitionOn)) {
        uint64_t line = lineIndex_;
        uint32_t anzPix = s.Reg16(registers::kPixelCount);
        uint8_t ovs = s.regs[registers::kOversampling];
        uint16_t offset = s.Reg16(registers::kAdcOffset);
        uint16_t threshold = s.Reg16(registers::kAdcThreshold);
        bool everything = s.regs[registers::kAdcOutput] != 0 || testLine;
        Optics& optics = s.optics;
        optics.Prepare(s.cfg, s.HighVoltage(), anzPix);
        bool signal = optics.On();
        // Without a plate the photomultiplier gives its dark signal; in the line test it also
        // sees the ambient light.
        double light = testLine ? s.cfg.ambientLight : 0.0;
        if (optics.Noisy()) {
            values_.resize(anzPix);
            for (uint32_t pos = 0; pos < anzPix; ++pos)
                values_[pos] = StreamValue(optics.Signal(light), s.cfg.darkLevel, ovs, offset);
        } else {
            values_.assign(anzPix, StreamValue(optics.Signal(light), s.cfg.darkLevel, ovs, offset));
        }
        for (Plate& p : plates_) {
            if (testLine) break;
            if (p.stage != PlateStage::InScan || line < p.firstLine) continue;
            p.xOffset = SlotOffset(s, p.entry.slot);  // follows a change of the pixels per line
            uint64_t row = line - p.firstLine;
            if (p.entry.stay) row %= p.image.height;  // held: its rows over and over
            if (row >= p.image.height || !signal) continue;
            for (uint32_t x = 0; x < p.image.width; ++x) {
                uint32_t pos = p.xOffset + x;
                if (pos >= anzPix) break;
                uint16_t pixel = optics.Signal(p.image.At(int(x), int(row)), pos);
                uint16_t v = StreamValue(pixel, s.cfg.darkLevel, ovs, offset);
                values_[pos] = std::max(values_[pos], v);
            }
        }

        // Pairs of positions (2k, 2k + 1) go out when either value passes the threshold.
        words_.clear();
        uint32_t pos = 0;   // position after the last value sent
        bool started = false;
        for (uint32_t k = 0; 2 * k + 1 < anzPix; ++k) {
            uint16_t a = values_[2 * k], b = values_[2 * k + 1];
            if (!everything && a <= threshold && b <= threshold) continue;
            if (!started) {
                words_.push_back(Unit(stream::kLineMarker, uint16_t(2 * k)));
                started = true;
            } else if (2 * k != pos) {
                words_.push_back(Unit(stream::kSkipMarker, uint16_t(2 * k - pos)));
            }
            words_.push_back(Unit(a, b));
            pos = 2 * k + 2;
        }
        if (!started) words_.push_back(Unit(stream::kLineMarker, uint16_t(std::min<uint32_t>(std::max<uint32_t>(anzPix, 1), 0xFFFF))));
        s.fifo.Push(words_.data(), words_.size());
    }
    s.lineCounter = (s.lineCounter + 1) & 0xFFFFFF;
    ++lineIndex_;

    for (Plate& p : plates_)
        if (p.stage == PlateStage::InScan && !p.entry.stay &&
            lineIndex_ >= p.firstLine + p.image.height + kRunOutLines)
        {
            p.stage = PlateStage::Done;
            s.statusEvents |= bits::kPlateLeft;
        }
}

}  // namespace lumora_emu
