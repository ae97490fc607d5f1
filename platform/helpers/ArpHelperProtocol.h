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
// user's own segment. Nor into a flood: requests go out at most at
// kRequestsPerSecond after a burst of kRequestBurst (a sweep of a /24 with a
// second request to its silent addresses), a request for a target already
// pending joins it instead of sending again, and every request is held for
// at least kMinDeadlineMs.
#pragma once

#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vx::arp_helper {

constexpr int kChannelFd = 3;
// Longer deadlines are cut to this: one request must not hold a slot for long.
constexpr uint32_t kMaxDeadlineMs = 5000;
// Requests in flight at once; more are refused (a sweep has at most 256).
constexpr size_t kMaxPending = 1024;
// An unanswered request is repeated once, this long after it first went
// out: a host may miss one broadcast (a burst can overflow a busy host's
// backlog), and one that answers 300 ms late still answers the repeat
// within a 500 ms deadline.
constexpr int kRetryMs = 150;
constexpr int kSendsPerRequest = 2;
// Shorter deadlines (other than 0, which sends nothing) are raised to this:
// a request is a slot held for a while, not a packet per message.
constexpr uint32_t kMinDeadlineMs = 100;
// The token bucket that bounds what the helper puts on the wire. The burst
// covers a /24 asked twice; the rate refills it between sweeps. First
// requests go before repeats when tokens run short.
constexpr int kRequestsPerSecond = 400;
constexpr int kRequestBurst = 520;

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
    kAnotherMac = 5,    // after kAnswered: a different MAC answered the same
                        // target before the deadline (two stations, one address)
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
    bool noArp = false;   // the link is marked NOARP: nothing may be asked on it
    uint8_t mac[6] = {};
};

// The local address an ARP request for `target` on `ifindex` is sent from,
// or null when the request must be refused: the interface is down, loopback,
// marked NOARP or not Ethernet-like, no address of it has a subnet holding `target`, or
// `target` is that subnet's network or broadcast address or the interface's
// own address. Host routes (/32) hold nothing but themselves.
inline const LocalAddress* SourceFor(const std::vector<LocalAddress>& local, int ifindex,
                                     uint32_t target) {
    for (const LocalAddress& a : local) {
        if (a.ifindex != ifindex || !a.up || a.loopback || a.noArp || !a.hasMac) continue;
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

// Requests the helper may send now and later: `Take` at each send. Time is
// the caller's, in milliseconds of a steady clock.
class TokenBucket {
public:
    TokenBucket(int perSecond, int burst) : m_perSecond(perSecond), m_burst(burst), m_tokens(burst) {}
    bool Take(int64_t nowMs) {
        Refill(nowMs);
        if (m_tokens < 1.0) return false;
        m_tokens -= 1.0;
        return true;
    }
    // Milliseconds until the next token (0 when one is there).
    int WaitMs(int64_t nowMs) {
        Refill(nowMs);
        if (m_tokens >= 1.0) return 0;
        return static_cast<int>((1.0 - m_tokens) * 1000.0 / m_perSecond) + 1;
    }

private:
    void Refill(int64_t nowMs) {
        if (m_lastMs >= 0 && nowMs > m_lastMs)
            m_tokens = std::min<double>(m_burst, m_tokens + (nowMs - m_lastMs) * m_perSecond / 1000.0);
        if (nowMs > m_lastMs) m_lastMs = nowMs;
    }
    const int m_perSecond;
    const int m_burst;
    double m_tokens;
    int64_t m_lastMs = -1;
};

}  // namespace vx::arp_helper
