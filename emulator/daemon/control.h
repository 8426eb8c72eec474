// The control socket of lumora-emud: one text command per line, one reply line each ("ok ..."
// or "error: ..."). Tests and people feed plates, move the clock, inject faults, and hold the
// driver at a chosen moment of a scan.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace emud {

// A hold stops answering the driver connections once the plate with that number (in the
// order fed, from 1) has reached the scan (and that many of its rows were scanned): the
// driver then waits inside a call, as it would on a stalled device, until a release.
struct Hold {
    int plate = 0;      // 0: none set
    uint32_t rows = 0;  // and at least this many of its rows scanned
    bool held = false;  // reached: driver connections are not served
};

struct ControlContext {
    Hold* hold;
    size_t drivers = 0;  // driver connections open
    bool quit = false;   // set by "quit"
};

// Runs one command line and returns the reply line (without its newline).
std::string Execute(const std::string& line, ControlContext& context);

// True once the hold's plate is in the scan or beyond (sets hold.held).
bool HoldReached(Hold& hold);

}  // namespace emud
