// The driver's calls on the emulated device: one request message in, one reply out.
#pragma once
#include <cstdint>
#include <set>
#include <vector>

#include "wire.h"

namespace emud {

// Answers one request of a driver connection. handles: the device handles this connection
// opened (closed with it). The reply header and its output bytes are appended to reply.
void Answer(const Request& request, const uint8_t* input, std::set<int>* handles,
            std::vector<uint8_t>* reply);

// Closes what a connection left open, as a kernel driver does when its process ends.
void CloseHandles(std::set<int>* handles);

}  // namespace emud
