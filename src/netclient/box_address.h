// Where the network box listens: "host" (port 8080), "host:port", "[v6addr]" or
// "[v6addr]:port"; always HTTP with the path "/RPC2".
#pragma once
#include <string>

constexpr int kBoxPort = 8080;
constexpr const char* kBoxPath = "/RPC2";
constexpr size_t kServerNameMax = 259;

struct BoxAddress {
    std::string host;  // name or address, without brackets
    int port = kBoxPort;
};

// False (and out unchanged) for an empty host, a port outside 1 ... 65535 or an unclosed
// bracket.
bool ParseBoxAddress(const char* server, BoxAddress* out);
// "host:port", with brackets around an IPv6 address.
std::string BoxAuthority(const BoxAddress& address);
