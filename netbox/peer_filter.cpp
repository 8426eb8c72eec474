#include "peer_filter.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

namespace {

// The address bytes of peer (IPv4-mapped IPv6 taken as IPv4); false for another family.
bool AddressBytes(const sockaddr* peer, int* family, unsigned char bytes[16]) {
    if (peer->sa_family == AF_INET) {
        *family = AF_INET;
        std::memcpy(bytes, &reinterpret_cast<const sockaddr_in*>(peer)->sin_addr, 4);
        return true;
    }
    if (peer->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(peer)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            *family = AF_INET;
            std::memcpy(bytes, a.s6_addr + 12, 4);
        } else {
            *family = AF_INET6;
            std::memcpy(bytes, a.s6_addr, 16);
        }
        return true;
    }
    return false;
}

bool PrefixMatches(const unsigned char* a, const unsigned char* b, int bits) {
    int whole = bits / 8, rest = bits % 8;
    if (std::memcmp(a, b, size_t(whole)) != 0) return false;
    if (rest == 0) return true;
    unsigned char mask = static_cast<unsigned char>(0xFF << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

}  // namespace

bool PeerFilter::Add(const std::string& cidr) {
    std::string address = cidr;
    int bits = -1;
    size_t slash = cidr.find('/');
    if (slash != std::string::npos) {
        address = cidr.substr(0, slash);
        std::string n = cidr.substr(slash + 1);
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos)
            return false;
        bits = std::atoi(n.c_str());
    }
    Range r{};
    if (inet_pton(AF_INET, address.c_str(), r.bytes) == 1) {
        r.family = AF_INET;
        if (bits < 0) bits = 32;
        if (bits > 32) return false;
    } else if (inet_pton(AF_INET6, address.c_str(), r.bytes) == 1) {
        r.family = AF_INET6;
        if (bits < 0) bits = 128;
        if (bits > 128) return false;
    } else {
        return false;
    }
    r.bits = bits;
    ranges_.push_back(r);
    return true;
}

bool PeerFilter::Allows(const sockaddr* peer) const {
    if (ranges_.empty()) return true;
    int family = 0;
    unsigned char bytes[16];
    if (!AddressBytes(peer, &family, bytes)) return false;
    for (const Range& r : ranges_)
        if (r.family == family && PrefixMatches(r.bytes, bytes, r.bits)) return true;
    return false;
}

std::string PeerText(const sockaddr* peer) {
    int family = 0;
    unsigned char bytes[16];
    char text[INET6_ADDRSTRLEN] = "?";
    if (AddressBytes(peer, &family, bytes)) inet_ntop(family, bytes, text, sizeof text);
    return text;
}
