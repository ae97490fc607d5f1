// Asking a host on the local segment for its MAC address (ARP).
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace vx::platform {

// True, with `mac` set ("%02X.%02X.%02X.%02X.%02X.%02X"), when `address`
// answered ARP before the deadline; false (mac empty) for silence, a malformed
// address or one that no local interface's subnet holds. This machine's own
// addresses answer with their interface's MAC. Thread-safe: every call has
// its own sockets and no shared state beyond an atomic.
//
// With CAP_NET_RAW a raw ARP request is broadcast and the reply awaited;
// without it a UDP datagram makes the kernel resolve the address and its
// neighbour table is read. The environment variable VX_RESOLVE_MODE ("raw" or
// "neigh") pins one of the two for the whole process.
//
// Silence always costs the whole deadline, so it bounds a sweep: 254
// addresses at 32 concurrent probes take about eight deadlines. Hosts on a
// LAN answer within milliseconds; half a second still leaves a slow
// (power-saving) device a second request and its answer.
constexpr int kDefaultResolveDeadlineMs = 500;
bool ResolveMac(const QString& address, QString& mac, int deadlineMs = kDefaultResolveDeadlineMs);

enum class ResolveMode { Automatic, RawArp, NeighbourTable };

// Like ResolveMac with a given mode. RawArp without the capability is silent.
bool ResolveMacWith(ResolveMode mode, const QString& address, QString& mac, int deadlineMs);

// What VX_RESOLVE_MODE chose (Automatic when unset or unrecognised).
ResolveMode DefaultResolveMode();

// Whether raw ARP is possible in this process (tries to open the socket).
bool CanUseRawArp();

QString FormatMac(const unsigned char* bytes);

namespace neighbour_detail {

// What one pass over rtnetlink messages said about one address.
struct NeighbourScan {
    bool seen = false;      // an entry for the address on the interface was read
    bool answered = false;  // ... and its state carries a valid link-layer address
    std::array<unsigned char, 6> mac{};
    bool finished = false;  // NLMSG_DONE or NLMSG_ERROR for a request was read
    int error = 0;          // errno of that NLMSG_ERROR (0 for an acknowledgement)
};

// Scans a buffer of netlink messages (a reply to RTM_GETNEIGH, a dump part or
// multicast notifications) for `address` (network byte order) on `ifindex`,
// and merges what it finds into `scan`. Truncated or malformed messages end
// the scan without reading past `len`.
void ScanNeighbourMessages(const void* data, size_t len, uint32_t address, int ifindex,
                           NeighbourScan& scan);

// reachable, stale, delay, probe, permanent (and noarp) hold an address;
// incomplete, failed and none do not.
bool StateHasAnswer(uint16_t state);

}  // namespace neighbour_detail

}  // namespace vx::platform
