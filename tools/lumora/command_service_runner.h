// Runs service commands of the scanner in a child process: the child opens the scanner with a
// parameter set, carries out the requests one after the other and closes it again, while this
// process shows the measurements the procedures write as they come. Ctrl-C ends the child at
// once; the scanner is then opened and closed again here, which stops its high voltage,
// laser and motors, so that it stays usable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "library.h"

struct ServiceRequest {
    unsigned code = 0;
    std::vector<uint8_t> in;
    int outSize = 0;
};

struct ServiceReply {
    int result = 0;
    std::vector<uint8_t> out;  // outLen bytes
};

enum class SessionEnd { Done, OpenFailed, Interrupted, Lost };

struct ServiceSession {
    SessionEnd end = SessionEnd::Lost;
    int openResult = 0;
    std::vector<ServiceReply> replies;  // one for each request carried out
};

// progressLabel: shown before the measurement lines ("" for quick commands: then no
// measurement lines are shown).
ServiceSession RunServiceSession(Library& library, int paramSet,
                                 const std::vector<ServiceRequest>& requests,
                                 const std::string& progressLabel);
