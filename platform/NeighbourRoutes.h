// The pieces of the three ARP routes (Neighbour.cpp) that a whole sweep
// (ArpSweep.cpp) drives itself. Internal to the platform library.
#pragma once

#include <QString>

#include <netinet/if_ether.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

#include "platform/NetworkInfo.h"
#include "platform/helpers/ArpHelperProtocol.h"

namespace vx::platform::neighbour_detail {

// A descriptor closed with its scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The broadcast request for `target` from `itf`.
ether_arp ArpRequestFor(const Ipv4Interface& itf, uint32_t target);

// A packet socket for ARP (not bound), or -1 without CAP_NET_RAW.
int OpenRawArpSocket();

// Gets every reply the helper sends about one request; runs on the helper
// client's reader thread under its lock, so it must not call back into it.
using HelperSink = std::function<void(const vx::arp_helper::Reply&)>;
// Hands a request to the process's helper (starting it if needed); its
// replies go to `sink` until ForgetHelperRequest. 0 when no helper runs.
uint32_t SubmitToHelper(int ifindex, uint32_t target, int deadlineMs, HelperSink sink);
void ForgetHelperRequest(uint32_t id);

// One datagram that makes the kernel resolve `target`.
void TriggerResolution(uint32_t target);
// Asks for a dump of `ifindex`'s IPv4 neighbour entries on netlink socket `fd`.
bool QueryNeighbours(int fd, int ifindex, uint32_t seq);
// The kernel's neighbour timers of an interface.
NeighbourTimers TimersOf(const Ipv4Interface& itf);
// Notes a use of `target` (a trigger about to go out) and returns how long
// before it the earlier ones were (NeighbourUses::earlierMs).
std::vector<int64_t> NoteUseOf(uint32_t target);
long ClockTicksPerSecond();

bool ParseIpv4(const QString& text, uint32_t& address);

}  // namespace vx::platform::neighbour_detail
