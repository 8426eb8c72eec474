// Plate transport. A plate reaches its inlet At seconds after the transport first ran
// (shuttle command 2), sets its inlet sensor, is drawn in once its slot line is enabled while
// the transport runs, travels distance A to the scan line at the feed speed, and is then
// scanned one plate row per scan line, one plate pixel per ADC pixel position, starting at the
// slot's offset. Each scan line goes into the buffer RAM in the stream format as it is due
// (with acquisition on). A staying plate is put into its inlet by hand, held at the scan line
// while the transport runs, and taken out when it stops (see PlateEntry::stay).
#pragma once
#include <cstdint>
#include <vector>

#include "lumora_emu/emulator.h"

namespace lumora_emu {

struct State;

class PlateTransport {
public:
    static constexpr uint32_t kLeadLines = 8;     // empty lines before a plate's first row
    static constexpr uint32_t kRunOutLines = 12;  // empty lines after its last row

    void Reset();
    // A plate fed after the first arming reaches its inlet At seconds after it was fed.
    void Feed(const PlateEntry& entry, PlateImage image, uint64_t nowUs);
    // Moves everything up to emulated time nowUs.
    void AdvanceTo(uint64_t nowUs, State& s);
    // One line without plates, every position sent (the line test): the photomultiplier
    // sees the ambient light while the high voltage is on.
    void EmitTestLine(State& s) { EmitLine(s, true); }
    uint8_t InletBits(uint64_t nowUs) const;
    bool InScan() const;
    std::vector<PlateState> States() const;

    static bool Running(const State& s);                // shuttle command 2
    // Laser in its calibration mode (mode 1): every line of the polygon is delivered, with or
    // without a plate; in the other modes lines come only while a plate is in the scan.
    static bool FreeRunning(const State& s);
    static uint64_t LinePeriodUs(const State& s);      // 0 while the polygon stands still
    static double FeedMmPerSecond(const State& s);
    static uint32_t SlotOffset(const State& s, int slot);

private:
    struct Plate {
        PlateEntry entry;
        PlateImage image;
        PlateStage stage = PlateStage::Pending;
        uint64_t arriveUs = 0, drawUs = 0, reachUs = 0, inletClearUs = 0;
        uint64_t firstLine = 0;        // transport line index of the first row
        uint32_t firstCounter = 0;     // line-counter value of the first row
        uint32_t xOffset = 0;
    };
    void EmitLine(State& s, bool testLine = false);
    void StartDraw(Plate& p, uint64_t atUs, const State& s);
    bool MayDraw(const Plate& p, const State& s) const;
    void TakeOutStaying(uint64_t atUs, State& s);

    std::vector<Plate> plates_;
    uint64_t lastUs_ = 0;
    uint64_t lineIndex_ = 0;
    bool everArmed_ = false;
    uint64_t armedAtUs_ = 0;
    bool lineClockRunning_ = false;
    uint64_t nextLineUs_ = 0;
    std::vector<uint16_t> values_;
    std::vector<uint32_t> words_;
};

}  // namespace lumora_emu
