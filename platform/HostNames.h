// A host's name as the LAN tells it: reverse DNS through the resolver this
// machine is configured with, the NetBIOS node-status table (UDP 137), and a
// multicast-DNS reverse query on the host's segment. Qt-free and thread-safe;
// every wait is bounded and can be cut short from another thread.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vx::platform {

// In order of preference: a better source's answer wins over an earlier one.
enum class NameSource { None = 0, Dns, NetBios, Mdns };

struct HostName {
    std::string name;  // UTF-8, as the source gave it (raw, not yet cleaned)
    NameSource source = NameSource::None;
};

struct NameLookupConfig {
    int dnsMs = 2000;
    int netbiosMs = 1000;
    int mdnsMs = 1000;
    // Name servers to ask; empty means the system resolver's (resolv.conf).
    std::vector<sockaddr_in> dnsServers;
    uint16_t netbiosPort = 137;  // 0 leaves the source out
    uint16_t mdnsPort = 5353;    // 0 leaves the source out
};

// Wakes every lookup that waits on it, from any thread; lasts once set.
class LookupCancel {
public:
    LookupCancel();
    ~LookupCancel();
    LookupCancel(const LookupCancel&) = delete;
    LookupCancel& operator=(const LookupCancel&) = delete;
    void Cancel();
    bool Cancelled() const;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// Asks every source at once and returns the most preferred useful answer: a
// source's answer counts once every better source has answered or given up.
// `address` in network byte order. Returns at the latest after the longest
// bound, or at once when `cancel` is set.
HostName LookUpHostName(uint32_t address, const NameLookupConfig& config,
                        const LookupCancel* cancel = nullptr);

// The wire formats, exposed for tests and the fuzz targets.
namespace hostnames_detail {

// A node-status request for the wildcard name.
std::vector<uint8_t> NodeStatusQuery(uint16_t id);
// The machine's name from a node-status reply to request `id`: the first
// unique workstation name (suffix 0x00), else the first unique server name
// (0x20), spaces trimmed, in the sender's code page; empty when none.
std::string ParseNodeStatus(const uint8_t* data, size_t size, uint16_t id);

// "4.3.2.1.in-addr.arpa" for 1.2.3.4 (network byte order).
std::string ReverseName(uint32_t address);
// A standard query for the PTR of `name`; `unicastResponse` sets the
// multicast-DNS bit that asks for a direct answer.
std::vector<uint8_t> PtrQuery(uint16_t id, const std::string& name, bool unicastResponse);
// The target of the first PTR answer whose owner is `name` (case-insensitive),
// without the final dot; empty for anything else. With `checkId` the reply
// must answer request `id` without error.
std::string ParsePtrReply(const uint8_t* data, size_t size, const std::string& name, bool checkId,
                          uint16_t id);

}  // namespace hostnames_detail

}  // namespace vx::platform
