// Which peers may talk to the box: a list of address ranges (CIDR), IPv4 or IPv6. An empty
// list lets every peer in.
#pragma once
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <vector>

class PeerFilter {
public:
    // Adds "addr/bits" or a single "addr"; false for a malformed range.
    bool Add(const std::string& cidr);
    bool Allows(const sockaddr* peer) const;
    bool empty() const { return ranges_.empty(); }

private:
    struct Range {
        int family;
        unsigned char bytes[16];
        int bits;
    };
    std::vector<Range> ranges_;
};

// The peer's address as text ("127.0.0.1", "::1"); IPv4-mapped IPv6 addresses as IPv4.
std::string PeerText(const sockaddr* peer);
