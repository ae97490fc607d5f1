#include "platform/Neighbour.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <netinet/if_ether.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/NetworkInfo.h"

namespace vx::platform {

namespace {

using Clock = std::chrono::steady_clock;
using Mac = std::array<unsigned char, 6>;

// A raw request is repeated this often until the deadline: a host may miss one
// broadcast, and a slow host answers each request after its own delay.
constexpr int kArpRetryMs = 250;
// The neighbour table is re-read at least this often; notifications usually
// come first.
constexpr int kNeighbourPollMs = 50;
// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port keeps a real service from taking it as input.
constexpr uint16_t kTriggerPort = 9;

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

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// 0 unknown, 1 raw ARP works, 2 it does not (no CAP_NET_RAW).
std::atomic<int> g_rawState{0};

int OpenArpSocket() {
    int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd >= 0) {
        g_rawState.store(1, std::memory_order_relaxed);
    } else if (errno == EPERM || errno == EACCES || errno == EAFNOSUPPORT) {
        g_rawState.store(2, std::memory_order_relaxed);
    }
    return fd;
}

// Keeps the kernel from waking this socket for anything but a reply from the
// target; with hundreds of concurrent probes each would otherwise see every
// reply on the segment. Offsets are into the ARP header (SOCK_DGRAM).
bool AttachReplyFilter(int fd, uint32_t target) {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),  // ar_op
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPOP_REPLY, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 14),  // sender protocol address
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ntohl(target), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog prog{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &prog, sizeof prog) == 0;
}

bool ResolveRaw(const Ipv4Interface& itf, uint32_t target, Mac& mac, int deadlineMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    Fd fd(OpenArpSocket());
    if (!fd.valid()) return false;
    AttachReplyFilter(fd.get(), target);  // an optimisation; replies are checked below anyway
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ARP);
    local.sll_ifindex = itf.index;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;

    ether_arp request{};
    request.ea_hdr.ar_hrd = htons(ARPHRD_ETHER);
    request.ea_hdr.ar_pro = htons(ETH_P_IP);
    request.ea_hdr.ar_hln = 6;
    request.ea_hdr.ar_pln = 4;
    request.ea_hdr.ar_op = htons(ARPOP_REQUEST);
    std::memcpy(request.arp_sha, itf.mac.data(), 6);
    std::memcpy(request.arp_spa, &itf.address, 4);
    std::memcpy(request.arp_tpa, &target, 4);
    sockaddr_ll broadcast = local;
    broadcast.sll_halen = 6;
    std::memset(broadcast.sll_addr, 0xff, 6);

    auto nextSend = Clock::now();
    for (;;) {
        if (Clock::now() >= nextSend) {
            ::sendto(fd.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&broadcast),
                     sizeof broadcast);
            nextSend += std::chrono::milliseconds(kArpRetryMs);
        }
        int left = RemainingMs(deadline);
        if (left == 0) return false;
        int untilSend = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextSend - Clock::now()).count());
        int wait = std::max(0, std::min(left, untilSend));
        pollfd p{fd.get(), POLLIN, 0};
        int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR) return false;
        if (r <= 0) continue;
        unsigned char buf[256];
        ssize_t n;
        while ((n = ::recv(fd.get(), buf, sizeof buf, MSG_DONTWAIT)) > 0) {
            if (n < static_cast<ssize_t>(sizeof(ether_arp))) continue;
            ether_arp reply;
            std::memcpy(&reply, buf, sizeof reply);
            if (ntohs(reply.ea_hdr.ar_op) != ARPOP_REPLY) continue;
            if (ntohs(reply.ea_hdr.ar_pro) != ETH_P_IP) continue;
            if (reply.ea_hdr.ar_hln != 6 || reply.ea_hdr.ar_pln != 4) continue;
            if (std::memcmp(reply.arp_spa, &target, 4) != 0) continue;
            std::memcpy(mac.data(), reply.arp_sha, 6);
            return true;
        }
    }
}

void SendTrigger(uint32_t target) {
    Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kTriggerPort);
    to.sin_addr.s_addr = target;
    const char byte = 0;
    ::sendto(fd.get(), &byte, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// One RTM_GETNEIGH: for the single entry (kernels since 5.0), or, when the
// kernel does not know that request, a dump of the interface's IPv4 entries.
bool SendNeighbourQuery(int fd, uint32_t target, int ifindex, bool dump, uint32_t seq) {
    struct {
        nlmsghdr header;
        ndmsg neighbour;
        char attributes[64];
    } request{};
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | (dump ? NLM_F_DUMP : 0);
    request.header.nlmsg_seq = seq;
    request.neighbour.ndm_family = AF_INET;
    request.neighbour.ndm_ifindex = ifindex;
    size_t length = NLMSG_LENGTH(sizeof(ndmsg));
    if (!dump) {
        auto* attr =
            reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(length));
        attr->rta_type = NDA_DST;
        attr->rta_len = RTA_LENGTH(4);
        std::memcpy(RTA_DATA(attr), &target, 4);
        length = NLMSG_ALIGN(length) + RTA_ALIGN(attr->rta_len);
    }
    request.header.nlmsg_len = static_cast<uint32_t>(length);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return ::sendto(fd, &request, length, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) ==
           static_cast<ssize_t>(length);
}

bool ResolveFromTable(const Ipv4Interface& itf, uint32_t target, Mac& mac, int deadlineMs) {
    using neighbour_detail::NeighbourScan;
    const auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    Fd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd.valid()) return false;
    // Notifications tell at once when the entry turns reachable; the periodic
    // query covers a missed (overrun) notification.
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_NEIGH;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;

    SendTrigger(target);
    static std::atomic<uint32_t> s_seq{1};
    bool dump = false;
    auto nextQuery = Clock::now();
    std::vector<char> buf(32 * 1024);
    for (;;) {
        if (Clock::now() >= nextQuery) {
            SendNeighbourQuery(fd.get(), target, itf.index, dump, s_seq.fetch_add(1));
            nextQuery = Clock::now() + std::chrono::milliseconds(kNeighbourPollMs);
        }
        ssize_t n;
        while ((n = ::recv(fd.get(), buf.data(), buf.size(), MSG_DONTWAIT)) > 0) {
            NeighbourScan scan;
            neighbour_detail::ScanNeighbourMessages(buf.data(), static_cast<size_t>(n), target,
                                                    itf.index, scan);
            if (scan.answered) {
                mac = scan.mac;
                return true;
            }
            // ENOENT means "no entry yet"; anything else means the single-entry
            // request is not understood here, so fall back to dumps.
            if (scan.finished && scan.error != 0 && scan.error != ENOENT && !dump) {
                dump = true;
                nextQuery = Clock::now();
            }
        }
        int left = RemainingMs(deadline);
        if (left == 0) return false;
        int untilQuery = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextQuery - Clock::now())
                .count());
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, std::max(0, std::min(left, untilQuery))) < 0 && errno != EINTR)
            return false;
    }
}

bool ParseAddress(const QString& text, uint32_t& address) {
    in_addr a{};
    QByteArray latin = text.trimmed().toLatin1();
    if (inet_pton(AF_INET, latin.constData(), &a) != 1) return false;
    address = a.s_addr;
    return true;
}

}  // namespace

QString FormatMac(const unsigned char* b) {
    return QString::asprintf("%02X.%02X.%02X.%02X.%02X.%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}

ResolveMode DefaultResolveMode() {
    static const ResolveMode mode = [] {
        const char* v = std::getenv("VX_RESOLVE_MODE");
        if (v && std::strcmp(v, "raw") == 0) return ResolveMode::RawArp;
        if (v && std::strcmp(v, "neigh") == 0) return ResolveMode::NeighbourTable;
        return ResolveMode::Automatic;
    }();
    return mode;
}

bool CanUseRawArp() {
    int state = g_rawState.load(std::memory_order_relaxed);
    if (state == 0) {
        Fd probe(OpenArpSocket());
        state = g_rawState.load(std::memory_order_relaxed);
    }
    return state == 1;
}

bool ResolveMac(const QString& address, QString& mac, int deadlineMs) {
    return ResolveMacWith(DefaultResolveMode(), address, mac, deadlineMs);
}

bool ResolveMacWith(ResolveMode mode, const QString& address, QString& mac, int deadlineMs) {
    mac.clear();
    uint32_t target = 0;
    if (!ParseAddress(address, target)) return false;
    if (auto own = InterfaceOwning(target)) {
        if (!own->hasMac) return false;
        mac = FormatMac(own->mac.data());
        return true;
    }
    auto itf = InterfaceFacing(target);
    if (!itf || !itf->hasMac) return false;
    if (mode == ResolveMode::Automatic)
        mode = CanUseRawArp() ? ResolveMode::RawArp : ResolveMode::NeighbourTable;
    Mac found{};
    deadlineMs = std::max(0, deadlineMs);
    bool ok = mode == ResolveMode::RawArp ? ResolveRaw(*itf, target, found, deadlineMs)
                                          : ResolveFromTable(*itf, target, found, deadlineMs);
    if (ok) mac = FormatMac(found.data());
    return ok;
}

namespace neighbour_detail {

bool StateHasAnswer(uint16_t state) {
    return (state &
            (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP)) != 0;
}

void ScanNeighbourMessages(const void* data, size_t len, uint32_t address, int ifindex,
                           NeighbourScan& scan) {
    const char* p = static_cast<const char*>(data);
    size_t left = len;
    while (left >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, p, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > left) return;
        const char* body = p + NLMSG_HDRLEN;
        const size_t bodyLen = header.nlmsg_len - NLMSG_HDRLEN;
        if (header.nlmsg_type == NLMSG_DONE) {
            scan.finished = true;
        } else if (header.nlmsg_type == NLMSG_ERROR) {
            scan.finished = true;
            if (bodyLen >= sizeof(nlmsgerr)) {
                nlmsgerr e;
                std::memcpy(&e, body, sizeof e);
                scan.error = -e.error;
            }
        } else if (header.nlmsg_type == RTM_NEWNEIGH && bodyLen >= sizeof(ndmsg)) {
            ndmsg n;
            std::memcpy(&n, body, sizeof n);
            bool dstMatches = false;
            bool haveMac = false;
            Mac mac{};
            size_t at = NLMSG_ALIGN(sizeof(ndmsg));
            while (at + sizeof(rtattr) <= bodyLen) {
                rtattr attr;
                std::memcpy(&attr, body + at, sizeof attr);
                if (attr.rta_len < sizeof(rtattr) || at + attr.rta_len > bodyLen) break;
                const char* value = body + at + RTA_LENGTH(0);
                const size_t valueLen = attr.rta_len - RTA_LENGTH(0);
                if (attr.rta_type == NDA_DST && valueLen == 4) {
                    dstMatches = std::memcmp(value, &address, 4) == 0;
                } else if (attr.rta_type == NDA_LLADDR && valueLen == 6) {
                    std::memcpy(mac.data(), value, 6);
                    haveMac = true;
                }
                at += RTA_ALIGN(attr.rta_len);
            }
            if (n.ndm_family == AF_INET && n.ndm_ifindex == ifindex && dstMatches) {
                scan.seen = true;
                if (haveMac && StateHasAnswer(n.ndm_state)) {
                    scan.answered = true;
                    scan.mac = mac;
                }
            }
        }
        const size_t step = NLMSG_ALIGN(header.nlmsg_len);
        if (step >= left) return;
        p += step;
        left -= step;
    }
}

}  // namespace neighbour_detail

}  // namespace vx::platform
