#include "netclient/box_address.h"

#include <cstdlib>
#include <cstring>

namespace {

bool ParsePort(const std::string& text, int* port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    *port = int(value);
    return true;
}

}  // namespace

bool ParseBoxAddress(const char* server, BoxAddress* out) {
    if (!server) return false;
    std::string text(server, strnlen(server, kServerNameMax));
    BoxAddress parsed;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos || close == 1) return false;
        parsed.host = text.substr(1, close - 1);
        std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || !ParsePort(rest.substr(1), &parsed.port)))
            return false;
    } else {
        size_t colon = text.find(':');
        // More than one colon: a bare IPv6 address, which keeps the protocol's port.
        if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
            parsed.host = text.substr(0, colon);
            if (!ParsePort(text.substr(colon + 1), &parsed.port)) return false;
        } else {
            parsed.host = text;
        }
    }
    if (parsed.host.empty()) return false;
    *out = parsed;
    return true;
}

std::string BoxAuthority(const BoxAddress& address) {
    bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}
