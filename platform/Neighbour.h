// Asking a host on the local segment for its MAC address (ARP).
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/helpers/ArpHelperProtocol.h"

namespace vx::platform {

// True, with `mac` set ("%02X.%02X.%02X.%02X.%02X.%02X"), when `address`
// answered ARP before the deadline; false (mac empty) for silence, a malformed
// address or one that no local interface's subnet holds. This machine's own
// addresses answer with their interface's MAC. Thread-safe.
//
// Three routes, tried in this order (ActiveRoute()):
// - RawArp: the process has CAP_NET_RAW (root) and broadcasts its own ARP
//   requests on a packet socket of its own.
// - Helper: vx-arp beside the program holds cap_net_raw as a file capability
//   (scripts/setup.sh sets it) and sends the requests for the process. One
//   helper serves every probe of the process over one socket pair; the
//   capability never enters the program, its Qt or its plug-ins. Both raw
//   routes repeat an unanswered request once, 150 ms after the first.
// - NeighbourTable, the last resort: a UDP datagram makes the kernel resolve
//   the address (one ARP request per probe) and rtnetlink reads the entry.
//   The kernel keeps an entry usable for up to 1.5 x base_reachable_time
//   after its last confirmation and re-checks it only after
//   delay_first_probe_time, so an entry counts as an answer only while its
//   confirmation is recent enough that a host still there must have been
//   re-confirmed by then, and never while the kernel is probing it unanswered.
//   A host that vanishes is seen silent up to NeighbourExtraDelayMs() late.
// The environment variable VX_RESOLVE_MODE ("raw", "helper" or "neigh") pins
// one route for the whole process; VX_ARP_HELPER names the helper program.
//
// Silence always costs the whole deadline; a sweep of many addresses asks
// them all at once instead (ArpSweep.h), so that it costs one deadline.
// Hosts on a LAN answer within milliseconds; half a second still leaves a
// slow (power-saving) device a second request and its answer.
constexpr int kDefaultResolveDeadlineMs = 500;
bool ResolveMac(const QString& address, QString& mac, int deadlineMs = kDefaultResolveDeadlineMs);

// Asked every few tens of milliseconds while a resolution waits; yes ends it
// at once as silence. A stopped probe thus does not hold up an exit.
using ResolveCancelled = std::function<bool()>;

enum class ResolveMode { Automatic, RawArp, NeighbourTable, Helper };

// Like ResolveMac with a given route. RawArp without the capability, and
// Helper without a working helper, are silent.
bool ResolveMacWith(ResolveMode mode, const QString& address, QString& mac, int deadlineMs,
                    const ResolveCancelled& cancelled = {});

// What VX_RESOLVE_MODE chose (Automatic when unset or unrecognised).
ResolveMode DefaultResolveMode();

// The route ResolveMac takes in this process (never Automatic). Starts the
// helper when the process has no capability of its own.
ResolveMode ActiveRoute();

// Whether raw ARP is possible in this process (tries to open the socket).
bool CanUseRawArp();

// Whether the helper runs and holds its packet socket (starts it if needed).
bool CanUseArpHelper();

// The helper program this process starts: $VX_ARP_HELPER, else vx-arp beside
// the executable (HelperPrograms.h).
QString ArpHelperPath();

// The one command that gives the helper its capability.
QString ExactModeCommand();

// The most a host that vanishes while probed is still reported answering in
// the neighbour-table route, from the kernel's timers for the interface
// facing `address` (0 when no interface faces it).
int NeighbourExtraDelayMs(const QString& address);

QString FormatMac(const unsigned char* bytes);

namespace neighbour_detail {

// Starts the ARP helper at `path` on a new socket pair and waits for its
// greeting; the process's end of the pair (close-on-exec), or -1 (pid -1)
// when the helper did not come up with its packet socket. The helper dies
// with the calling thread.
int StartArpHelper(const std::string& path, pid_t& pid);
// One reply from the helper; false at EOF or on a short message.
bool ReadHelperReply(int fd, vx::arp_helper::Reply& reply);

// What one pass over rtnetlink messages said about one address.
struct NeighbourScan {
    bool seen = false;      // an entry for the address on the interface was read
    bool answered = false;  // ... and its state carries a valid link-layer address
    std::array<unsigned char, 6> mac{};
    uint16_t state = 0;           // the entry's NUD_* state
    int64_t confirmedAgeMs = -1;  // since the kernel last confirmed it; -1 unknown
    uint32_t probes = 0;          // unanswered probes the kernel sent (NDA_PROBES)
    bool finished = false;        // NLMSG_DONE or NLMSG_ERROR for a request was read
    int error = 0;                // errno of that NLMSG_ERROR (0 for an acknowledgement)
};

// Scans a buffer of netlink messages (a reply to RTM_GETNEIGH, a dump part or
// multicast notifications) for `address` (network byte order) on `ifindex`,
// and merges what it finds into `scan`. Truncated or malformed messages end
// the scan without reading past `len`. `clockTicksPerSecond` converts the
// entry's cache times (USER_HZ); a pure function of its inputs.
void ScanNeighbourMessages(const void* data, size_t len, uint32_t address, int ifindex,
                           NeighbourScan& scan, long clockTicksPerSecond = 100);

// The same for every IPv4 entry in the buffer: `entry` gets the interface,
// the address (network byte order) and what one message said about it;
// NLMSG_DONE and NLMSG_ERROR go into `end` (finished, error) when given.
void ForEachNeighbour(const void* data, size_t len, long clockTicksPerSecond,
                      const std::function<void(int, uint32_t, const NeighbourScan&)>& entry,
                      NeighbourScan* end = nullptr);

// reachable, stale, delay, probe, permanent (and noarp) hold an address;
// incomplete, failed and none do not.
bool StateHasAnswer(uint16_t state);

// The kernel's neighbour timers for one interface, in milliseconds.
struct NeighbourTimers {
    int64_t baseReachableMs = 30000;
    int64_t delayFirstProbeMs = 5000;
};

// How old a confirmation may be while the host can still be there, when
// none of this module's uses came after the entry left reachable: the
// kernel keeps an entry reachable up to 1.5 x base after it, then waits
// delay_first_probe_time (or until the next use, `sinceLastUseMs`, when the
// entry went stale unused) before it asks again; one second covers timer
// slack and the answer's flight.
int64_t EvidenceWindowMs(const NeighbourTimers& timers, int64_t sinceLastUseMs);

// What this module's own uses of one address say about its entry: the
// interface's timers, and how long before the current use the earlier
// ones were (most recent first).
struct NeighbourUses {
    NeighbourTimers timers;
    std::vector<int64_t> earlierMs;
};

// Whether a confirmation `confirmedAgeMs` old, read `elapsedMs` after the
// current use, can still come from a host that is there. Once one of the
// uses came after the entry could leave reachable, the kernel re-checked
// the entry delay_first_probe_time after the first such use: the
// confirmation counts until then (and the one second of slack), however
// recent the last use. Without such a use, EvidenceWindowMs decides.
bool ConfirmationCounts(const NeighbourUses& uses, int64_t confirmedAgeMs, int64_t elapsedMs);

// Whether the entry is evidence of an answer: permanent entries always;
// reachable, stale and delay ones when ConfirmationCounts; an entry being
// probed never (a host that is there answers a probe at once).
bool ShowsRecentAnswer(const NeighbourScan& scan, const NeighbourUses& uses, int64_t elapsedMs);

}  // namespace neighbour_detail

}  // namespace vx::platform
