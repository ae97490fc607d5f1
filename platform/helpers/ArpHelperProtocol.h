// What passes between the program and vx-arp, the helper that sends raw ARP
// for a process without CAP_NET_RAW. Qt-free: the helper links nothing else.
//
// The helper holds cap_net_raw as a file capability (scripts/setup.sh sets
// it), opens one packet socket, drops every capability and then only answers
// requests on one SOCK_SEQPACKET socket (fd kChannelFd) from the process that
// started it. It exits when that socket reaches EOF or its parent dies. Each
// request names an interface and an IPv4 address; anything but an address of
// a subnet directly attached to that interface is refused without a packet
// sent, so the capability cannot be turned into anything but ARP on the
// user's own segment.
#pragma once

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace vx::arp_helper {

constexpr int kChannelFd = 3;
// Longer deadlines are cut to this: one request must not hold a slot for long.
constexpr uint32_t kMaxDeadlineMs = 5000;
// Requests in flight at once; more are refused (a sweep has at most 256).
constexpr size_t kMaxPending = 1024;
// A request is repeated this often until its deadline: a host may miss one
// broadcast, and a slow host answers each request after its own delay.
constexpr int kRetryMs = 250;

// Addresses in network byte order.
struct Request {
    uint32_t id;
    int32_t ifindex;
    uint32_t target;
    uint32_t deadlineMs;
};

enum Status : uint8_t {
    kAnswered = 0,      // mac holds the answer
    kSilent = 1,        // no answer before the deadline
    kRefused = 2,       // not a request the helper serves; nothing was sent
    kReady = 3,         // first message (id 0): the helper has its socket
    kNoCapability = 4,  // first message (id 0): no packet socket; it exits
};

struct Reply {
    uint32_t id;
    uint8_t status;
    uint8_t mac[6];
    uint8_t reserved;
};

// One IPv4 address of a local interface, as getifaddrs reports it.
struct LocalAddress {
    int ifindex = 0;
    uint32_t address = 0;
    uint32_t netmask = 0;
    bool up = false;
    bool loopback = false;
    bool hasMac = false;  // an Ethernet-like link with a 6-byte address
    uint8_t mac[6] = {};
};

// The local address an ARP request for `target` on `ifindex` is sent from,
// or null when the request must be refused: the interface is down, loopback
// or not Ethernet-like, no address of it has a subnet holding `target`, or
// `target` is that subnet's network or broadcast address or the interface's
// own address. Host routes (/32) hold nothing but themselves.
inline const LocalAddress* SourceFor(const std::vector<LocalAddress>& local, int ifindex,
                                     uint32_t target) {
    for (const LocalAddress& a : local) {
        if (a.ifindex != ifindex || !a.up || a.loopback || !a.hasMac) continue;
        if (a.netmask == 0xffffffffu || a.netmask == 0) continue;
        if ((a.address & a.netmask) != (target & a.netmask)) continue;
        const uint32_t host = target & ~a.netmask;
        // A /31 has neither network nor broadcast address.
        const bool pointToPoint = a.netmask == htonl(0xfffffffeu);
        if (!pointToPoint && (host == 0 || host == ~a.netmask)) return nullptr;
        if (target == a.address) return nullptr;
        return &a;
    }
    return nullptr;
}

}  // namespace vx::arp_helper
