#include "control.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "lumora_emu/emulator.h"

namespace emud {

namespace {

using lumora_emu::PlateStage;

constexpr double kMaxAdvanceMs = 24.0 * 3600 * 1000;  // one emulated day at a time

bool Number(const std::string& text, double low, double high, double* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (*end || errno || !std::isfinite(v) || v < low || v > high) return false;
    *out = v;
    return true;
}

const char* StageName(PlateStage s) {
    switch (s) {
        case PlateStage::Pending: return "pending";
        case PlateStage::AtInlet: return "inlet";
        case PlateStage::Travelling: return "travelling";
        case PlateStage::InScan: return "scan";
        case PlateStage::Done: return "done";
    }
    return "?";
}

std::string State(const ControlContext& c) {
    lumora_emu::Device& d = lumora_emu::TheDevice();
    std::ostringstream o;
    o << "ok now=" << d.NowMs() << " held=" << (c.hold->held ? 1 : 0) << " drivers=" << c.drivers
      << " fifo=" << d.FifoWords() << " firmware=" << (d.FirmwareRunning() ? 1 : 0) << " plates=";
    auto plates = d.Plates();
    for (size_t i = 0; i < plates.size(); ++i) o << (i ? "," : "") << StageName(plates[i].stage);
    if (plates.empty()) o << "-";
    return o.str();
}

// feed IMAGE [slot=N] [at=S] [width=W] [height=H] [type=intra|extra|any]
std::string Feed(const std::vector<std::string>& w) {
    if (w.size() < 2) return "error: feed IMAGE [slot=N] [at=S] [width=W] [height=H] [type=T]";
    lumora_emu::PlateEntry p;
    p.image = w[1];
    for (size_t i = 2; i < w.size(); ++i) {
        size_t eq = w[i].find('=');
        std::string key = w[i].substr(0, eq), value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
        double v = 0;
        if (key == "slot" && Number(value, 1, 4, &v) && v == std::floor(v)) p.slot = int(v);
        else if (key == "at" && Number(value, 0, 86400, &v)) p.atSeconds = v;
        else if (key == "width" && Number(value, 1, 65535, &v) && v == std::floor(v)) p.width = uint16_t(v);
        else if (key == "height" && Number(value, 1, 65535, &v) && v == std::floor(v)) p.height = uint16_t(v);
        else if (key == "type" && (value == "any" || value == "intra" || value == "extra"))
            p.type = value == "intra" ? 1 : value == "extra" ? 2 : 0;
        else return "error: bad plate setting " + w[i];
    }
    lumora_emu::PlateImage image;
    std::string error;
    if (!lumora_emu::Device::LoadPlateImage(p, &image, &error)) return "error: " + error;
    lumora_emu::TheDevice().FeedPlate(p);
    return "ok plate " + std::to_string(lumora_emu::TheDevice().Plates().size());
}

std::string Fault(const std::vector<std::string>& w) {
    lumora_emu::Device& d = lumora_emu::TheDevice();
    double v = 0;
    const std::string what = w.size() > 1 ? w[1] : "";
    const std::string value = w.size() > 2 ? w[2] : "";
    if (what == "corrupt" && Number(value, 0, 1e6, &v)) d.CorruptNextTransfers(int(v));
    else if (what == "olddata" && Number(value, 0, 64e6, &v)) d.FillOldData(size_t(v));
    else if (what == "laser-temp" && Number(value, -60, 200, &v)) d.SetLaserTemperature(v);
    else if (what == "ambient" && Number(value, 0, 65535, &v)) d.SetAmbientLight(uint16_t(v));
    else if (what == "firmware" && (value == "0" || value == "1")) d.SetFirmwareRunning(value == "1");
    else return "error: fault corrupt N | olddata WORDS | laser-temp C | ambient LEVEL | firmware 0|1";
    return "ok";
}

}  // namespace

bool HoldReached(Hold& hold) {
    if (hold.plate <= 0 || hold.held) return hold.held;
    auto plates = lumora_emu::TheDevice().Plates();
    if (size_t(hold.plate) <= plates.size()) {
        const lumora_emu::PlateState& p = plates[size_t(hold.plate) - 1];
        const uint32_t line = lumora_emu::TheDevice().LineCounter();
        const uint32_t rows = line > p.firstLine ? line - p.firstLine : 0;
        hold.held = p.stage == PlateStage::Done || (p.stage == PlateStage::InScan && rows >= hold.rows);
    }
    return hold.held;
}

std::string Execute(const std::string& line, ControlContext& c) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.empty()) return "error: empty command";
    const std::string& cmd = w[0];
    lumora_emu::Device& d = lumora_emu::TheDevice();
    double v = 0;
    if (cmd == "state" && w.size() == 1) return State(c);
    if (cmd == "feed") return Feed(w);
    if (cmd == "advance" && w.size() == 2 && Number(w[1], 0, kMaxAdvanceMs, &v)) {
        d.AdvanceMs(uint64_t(v));
        return "ok now=" + std::to_string(d.NowMs());
    }
    if (cmd == "clock" && (w.size() == 2 || w.size() == 3)) {
        double factor = 1;
        if (w.size() == 3 && !Number(w[2], 0.001, 1e6, &factor)) return "error: bad clock factor " + w[2];
        if (w[1] == "stepped") d.SetClockMode(lumora_emu::ClockMode::Stepped);
        else if (w[1] == "realtime") d.SetClockMode(lumora_emu::ClockMode::Realtime);
        else if (w[1] == "fast") d.SetClockMode(lumora_emu::ClockMode::Fast, factor);
        else return "error: clock stepped|realtime|fast [FACTOR]";
        return "ok";
    }
    double rows = 0;
    if (cmd == "hold" && (w.size() == 2 || w.size() == 3) && Number(w[1], 1, 1e6, &v) && v == std::floor(v) &&
        (w.size() == 2 || (Number(w[2], 0, 65535, &rows) && rows == std::floor(rows)))) {
        *c.hold = Hold{int(v), uint32_t(rows), false};
        HoldReached(*c.hold);
        return "ok";
    }
    if (cmd == "release" && w.size() == 1) {
        *c.hold = Hold{};
        return "ok";
    }
    if (cmd == "peek" && w.size() == 2 && Number(w[1], 0, 255, &v) && v == std::floor(v))
        return "ok " + std::to_string(d.PeekRegister(uint32_t(v)));
    if (cmd == "fault") return Fault(w);
    if (cmd == "reset" && w.size() == 1) {
        d.Reset(true);
        *c.hold = Hold{};
        return "ok";
    }
    if (cmd == "quit" && w.size() == 1) {
        c.quit = true;
        return "ok";
    }
    return "error: unknown command " + line.substr(0, 80) +
           " (state, feed, advance, clock, hold, release, peek, fault, reset, quit)";
}

}  // namespace emud
