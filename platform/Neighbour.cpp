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
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/NetworkInfo.h"
#include "platform/HelperPrograms.h"
#include "platform/NeighbourRoutes.h"
#include "platform/helpers/ArpHelperProtocol.h"

extern char** environ;

namespace vx::platform {

namespace {

using Clock = std::chrono::steady_clock;
using Mac = std::array<unsigned char, 6>;
using neighbour_detail::HelperSink;

constexpr int kArpRetryMs = vx::arp_helper::kRetryMs;
// The neighbour table is re-read at least this often; notifications usually
// come first.
constexpr int kNeighbourPollMs = 50;
// The longest a waiting resolution goes without asking whether it was cancelled.
constexpr int kCancelPollMs = 25;
// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port keeps a real service from taking it as input.
constexpr uint16_t kTriggerPort = 9;

using neighbour_detail::Fd;

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

bool ResolveRaw(const Ipv4Interface& itf, uint32_t target, Mac& mac, int deadlineMs,
                const ResolveCancelled& cancelled) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    Fd fd(OpenArpSocket());
    if (!fd.valid()) return false;
    AttachReplyFilter(fd.get(), target);  // an optimisation; replies are checked below anyway
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ARP);
    local.sll_ifindex = itf.index;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;

    const ether_arp request = neighbour_detail::ArpRequestFor(itf, target);
    sockaddr_ll broadcast = local;
    broadcast.sll_halen = 6;
    std::memset(broadcast.sll_addr, 0xff, 6);

    auto nextSend = Clock::now();
    int sends = 0;
    for (;;) {
        if (sends < vx::arp_helper::kSendsPerRequest && Clock::now() >= nextSend) {
            ++sends;
            ::sendto(fd.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&broadcast),
                     sizeof broadcast);
            nextSend += std::chrono::milliseconds(kArpRetryMs);
        }
        int left = RemainingMs(deadline);
        if (left == 0) return false;
        int untilSend = sends < vx::arp_helper::kSendsPerRequest
                            ? static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   nextSend - Clock::now())
                                                   .count())
                            : left;
        if (cancelled && cancelled()) return false;
        int wait = std::max(0, std::min({left, untilSend, kCancelPollMs}));
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

// The process's one vx-arp. A thread of its own starts the helper and reads
// its replies: the helper dies with the thread that started it
// (PR_SET_PDEATHSIG), so that thread must live as long as the helper is
// needed, which probe threads do not. Callers send their requests directly
// and wait for their own reply.
class ArpHelperClient {
public:
    ArpHelperClient() = default;
    ArpHelperClient(const ArpHelperClient&) = delete;
    ArpHelperClient& operator=(const ArpHelperClient&) = delete;
    ~ArpHelperClient() { Shutdown(); }

    // kAnswered (mac set), kSilent or kRefused; -1 when no helper runs.
    int Resolve(int ifindex, uint32_t target, int deadlineMs, Mac& mac,
                const ResolveCancelled& cancelled) {
        std::unique_lock lock(m_lock);
        if (!EnsureRunningLocked(lock)) return -1;
        Waiter waiter;
        const uint32_t id = SendLocked(ifindex, target, deadlineMs, [&waiter](const Reply& r) {
            if (r.status == vx::arp_helper::kAnotherMac) return;  // a caller takes the first
            waiter.status = r.status;
            std::memcpy(waiter.mac.data(), r.mac, 6);
            waiter.done = true;
            waiter.changed.notify_one();
        });
        if (id == 0) return vx::arp_helper::kSilent;
        // The helper ends every request by its deadline; the grace only
        // covers a helper that hangs.
        const auto limit = Clock::now() + std::chrono::milliseconds(deadlineMs + 1000);
        while (!waiter.done && Clock::now() < limit) {
            if (cancelled) {
                lock.unlock();  // the caller's callback runs under none of our locks
                const bool stop = cancelled();
                lock.lock();
                if (stop) break;
            }
            waiter.changed.wait_until(
                lock, std::min(limit, Clock::now() + std::chrono::milliseconds(kCancelPollMs)),
                [&] { return waiter.done; });
        }
        m_waiting.erase(id);
        if (!waiter.done) return vx::arp_helper::kSilent;
        mac = waiter.mac;
        return waiter.status;
    }

    // Sends a request without waiting: every reply to it (the answer,
    // further MACs, silence) goes to `sink` on the reader thread, under this
    // client's lock, until Forget(id). 0 when no helper runs or the request
    // could not be sent.
    uint32_t Submit(int ifindex, uint32_t target, int deadlineMs, HelperSink sink) {
        std::unique_lock lock(m_lock);
        if (!EnsureRunningLocked(lock)) return 0;
        return SendLocked(ifindex, target, deadlineMs, std::move(sink));
    }

    void Forget(uint32_t id) {
        std::lock_guard guard(m_lock);
        m_waiting.erase(id);
    }

    bool Available() {
        std::unique_lock lock(m_lock);
        return EnsureRunningLocked(lock);
    }

private:
    using Reply = vx::arp_helper::Reply;
    struct Waiter {
        std::condition_variable changed;
        bool done = false;
        int status = vx::arp_helper::kSilent;
        Mac mac{};
    };

    uint32_t SendLocked(int ifindex, uint32_t target, int deadlineMs, HelperSink sink) {
        uint32_t id = m_nextId++;
        if (id == 0) id = m_nextId++;  // 0 is the helper's greeting
        const vx::arp_helper::Request request{id, ifindex, target,
                                              static_cast<uint32_t>(std::max(0, deadlineMs))};
        m_waiting[id] = std::move(sink);
        if (::send(m_fd, &request, sizeof request, MSG_NOSIGNAL) != sizeof request) {
            m_waiting.erase(id);
            return 0;
        }
        return id;
    }

    enum State { Idle, Starting, Running, Gone };

    // A helper that died is started again, a few times: each start that
    // fails costs a probe its answer, not the program its exact mode.
    static constexpr int kMaxStarts = 3;

    bool EnsureRunningLocked(std::unique_lock<std::mutex>& lock) {
        if (m_state == Idle && m_starts < kMaxStarts) {
            if (m_reader.joinable()) m_reader.join();  // a finished reader
            ++m_starts;
            m_state = Starting;
            m_reader = std::thread(&ArpHelperClient::ReaderMain, this,
                                   ArpHelperPath().toLocal8Bit().toStdString());
        }
        m_started.wait(lock, [this] { return m_state != Starting; });
        return m_state == Running;
    }

    void Shutdown() {
        {
            std::lock_guard guard(m_lock);
            m_stopping = true;
            if (m_fd >= 0) ::shutdown(m_fd, SHUT_RDWR);
        }
        if (m_reader.joinable()) m_reader.join();
    }

    void ReaderMain(std::string path) {
        pid_t pid = -1;
        int channel = neighbour_detail::StartArpHelper(path, pid);
        bool ready = channel >= 0;
        {
            std::lock_guard guard(m_lock);
            if (ready && !m_stopping) {
                m_fd = channel;
                m_state = Running;
            } else {
                ready = false;
                m_state = Gone;
            }
        }
        m_started.notify_all();
        vx::arp_helper::Reply reply{};
        while (ready && neighbour_detail::ReadHelperReply(channel, reply)) {
            std::lock_guard guard(m_lock);
            auto it = m_waiting.find(reply.id);
            if (it == m_waiting.end()) continue;  // its caller gave up
            it->second(reply);
        }
        if (channel >= 0) ::shutdown(channel, SHUT_RDWR);  // the helper sees EOF
        if (pid > 0)
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        std::lock_guard guard(m_lock);
        Reply silent{};
        silent.status = vx::arp_helper::kSilent;
        for (auto& [id, sink] : m_waiting) {
            silent.id = id;
            sink(silent);
        }
        if (channel >= 0) ::close(channel);
        m_fd = -1;
        // A helper that ran and died may be started again; one that never
        // came up will not come up on the next probe either.
        if (m_state == Running && !m_stopping) m_state = Idle;
        else m_state = Gone;
    }

    std::mutex m_lock;
    std::condition_variable m_started;
    State m_state = Idle;                        // guarded by m_lock
    int m_starts = 0;                            // guarded by m_lock
    bool m_stopping = false;                     // guarded by m_lock
    int m_fd = -1;                               // guarded by m_lock; recv()ed by the reader
    uint32_t m_nextId = 1;                       // guarded by m_lock
    std::unordered_map<uint32_t, HelperSink> m_waiting;  // guarded by m_lock
    std::thread m_reader;                        // started and joined under m_lock or at exit
};

ArpHelperClient& Helper() {
    // Destroyed when the module goes (exit or dlclose): the reader thread is
    // joined before this code is unmapped, and the helper sees EOF.
    static ArpHelperClient client;
    return client;
}

bool ResolveThroughHelper(const Ipv4Interface& itf, uint32_t target, Mac& mac, int deadlineMs,
                          const ResolveCancelled& cancelled) {
    return Helper().Resolve(itf.index, target, deadlineMs, mac, cancelled) ==
           vx::arp_helper::kAnswered;
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

int64_t ReadNumber(const std::string& path, int64_t fallback) {
    std::ifstream in(path);
    int64_t value = 0;
    return (in >> value) && value >= 0 ? value : fallback;
}

neighbour_detail::NeighbourTimers ReadNeighbourTimers(const std::string& ifname) {
    // Readable by everyone; only writing them needs privilege.
    const std::string dir = "/proc/sys/net/ipv4/neigh/" + ifname + "/";
    neighbour_detail::NeighbourTimers timers;
    timers.baseReachableMs = ReadNumber(dir + "base_reachable_time_ms", timers.baseReachableMs);
    timers.delayFirstProbeMs =
        ReadNumber(dir + "delay_first_probe_time", timers.delayFirstProbeMs / 1000) * 1000;
    return timers;
}

// When this module sent triggers to each address, newest last: the uses
// since an entry left reachable tell when the kernel must have re-checked it.
// Uses older than two minutes say nothing more (EvidenceWindowMs), but the
// newest is kept for the time since it.
constexpr auto kUseMemory = std::chrono::minutes(2);
constexpr size_t kUsesKept = 16;
std::mutex g_usesLock;
std::unordered_map<uint32_t, std::deque<Clock::time_point>> g_uses;  // guarded by g_usesLock

std::vector<int64_t> NoteUse(uint32_t target) {
    const auto now = Clock::now();
    std::lock_guard guard(g_usesLock);
    std::deque<Clock::time_point>& uses = g_uses[target];
    while (uses.size() > 1 && now - uses[1] > kUseMemory) uses.pop_front();
    std::vector<int64_t> earlier;
    earlier.reserve(uses.size());
    for (auto it = uses.rbegin(); it != uses.rend(); ++it)
        earlier.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now - *it).count());
    uses.push_back(now);
    if (uses.size() > kUsesKept) uses.pop_front();
    return earlier;
}

int64_t MsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

bool ResolveFromTable(const Ipv4Interface& itf, uint32_t target, Mac& mac, int deadlineMs,
                      const ResolveCancelled& cancelled) {
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

    const neighbour_detail::NeighbourUses uses{ReadNeighbourTimers(itf.name), NoteUse(target)};
    const auto usedAt = Clock::now();
    const long ticks = neighbour_detail::ClockTicksPerSecond();
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
                                                    itf.index, scan, ticks);
            if (neighbour_detail::ShowsRecentAnswer(scan, uses, MsSince(usedAt))) {
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
        if (left == 0 || (cancelled && cancelled())) return false;
        int untilQuery = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextQuery - Clock::now())
                .count());
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, std::max(0, std::min({left, untilQuery, kCancelPollMs}))) < 0 &&
            errno != EINTR)
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

namespace neighbour_detail {

ether_arp ArpRequestFor(const Ipv4Interface& itf, uint32_t target) {
    ether_arp request{};
    request.ea_hdr.ar_hrd = htons(ARPHRD_ETHER);
    request.ea_hdr.ar_pro = htons(ETH_P_IP);
    request.ea_hdr.ar_hln = 6;
    request.ea_hdr.ar_pln = 4;
    request.ea_hdr.ar_op = htons(ARPOP_REQUEST);
    std::memcpy(request.arp_sha, itf.mac.data(), 6);
    std::memcpy(request.arp_spa, &itf.address, 4);
    std::memcpy(request.arp_tpa, &target, 4);
    return request;
}

int OpenRawArpSocket() { return OpenArpSocket(); }

uint32_t SubmitToHelper(int ifindex, uint32_t target, int deadlineMs, HelperSink sink) {
    return Helper().Submit(ifindex, target, deadlineMs, std::move(sink));
}

void ForgetHelperRequest(uint32_t id) { Helper().Forget(id); }

void TriggerResolution(uint32_t target) { SendTrigger(target); }

bool QueryNeighbours(int fd, int ifindex, uint32_t seq) {
    return SendNeighbourQuery(fd, 0, ifindex, true, seq);
}

NeighbourTimers TimersOf(const Ipv4Interface& itf) { return ReadNeighbourTimers(itf.name); }

std::vector<int64_t> NoteUseOf(uint32_t target) { return NoteUse(target); }

long ClockTicksPerSecond() {
    static const long ticks = [] {
        const long t = ::sysconf(_SC_CLK_TCK);
        return t > 0 ? t : 100;
    }();
    return ticks;
}

bool ParseIpv4(const QString& text, uint32_t& address) { return ParseAddress(text, address); }

}  // namespace neighbour_detail

QString FormatMac(const unsigned char* b) {
    return QString::asprintf("%02X.%02X.%02X.%02X.%02X.%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}

ResolveMode DefaultResolveMode() {
    static const ResolveMode mode = [] {
        const char* v = std::getenv("VX_RESOLVE_MODE");
        if (v && std::strcmp(v, "raw") == 0) return ResolveMode::RawArp;
        if (v && std::strcmp(v, "helper") == 0) return ResolveMode::Helper;
        if (v && std::strcmp(v, "neigh") == 0) return ResolveMode::NeighbourTable;
        return ResolveMode::Automatic;
    }();
    return mode;
}

ResolveMode ActiveRoute() {
    const ResolveMode pinned = DefaultResolveMode();
    if (pinned != ResolveMode::Automatic) return pinned;
    if (CanUseRawArp()) return ResolveMode::RawArp;
    if (CanUseArpHelper()) return ResolveMode::Helper;
    return ResolveMode::NeighbourTable;
}

bool CanUseArpHelper() { return Helper().Available(); }

QString ArpHelperPath() {
    return HelperProgramPath("VX_ARP_HELPER", QStringLiteral("vx-arp"));
}

QString ExactModeCommand() {
    return QStringLiteral("sudo setcap cap_net_raw+ep '%1'").arg(ArpHelperPath());
}

int NeighbourExtraDelayMs(const QString& address) {
    uint32_t target = 0;
    if (!ParseAddress(address, target)) return 0;
    const auto itf = InterfaceFacing(target);
    if (!itf) return 0;
    const auto timers = ReadNeighbourTimers(itf->name);
    return static_cast<int>(timers.baseReachableMs * 3 / 2 + timers.delayFirstProbeMs);
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

bool ResolveMacWith(ResolveMode mode, const QString& address, QString& mac, int deadlineMs,
                    const ResolveCancelled& cancelled) {
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
    if (mode == ResolveMode::Automatic) mode = ActiveRoute();
    Mac found{};
    deadlineMs = std::max(0, deadlineMs);
    bool ok = false;
    switch (mode) {
    case ResolveMode::RawArp: ok = ResolveRaw(*itf, target, found, deadlineMs, cancelled); break;
    case ResolveMode::Helper:
        ok = ResolveThroughHelper(*itf, target, found, deadlineMs, cancelled);
        break;
    default: ok = ResolveFromTable(*itf, target, found, deadlineMs, cancelled); break;
    }
    if (ok) mac = FormatMac(found.data());
    return ok;
}

namespace neighbour_detail {

bool ReadHelperReply(int fd, vx::arp_helper::Reply& reply) {
    ssize_t n;
    do {
        n = ::recv(fd, &reply, sizeof reply, 0);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof reply);
}

int StartArpHelper(const std::string& path, pid_t& pid) {
    pid = -1;
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return -1;
    {
        // dup2 onto the same number would keep close-on-exec set.
        Fd spare(pair[1] == vx::arp_helper::kChannelFd ? ::dup(pair[1]) : -1);
        const int from = spare.valid() ? spare.get() : pair[1];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, from, vx::arp_helper::kChannelFd);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        const std::string parent = std::to_string(::getpid());
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(parent.c_str()),
                        nullptr};
        if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ::close(pair[1]);
    vx::arp_helper::Reply hello{};
    pollfd p{pair[0], POLLIN, 0};
    // A helper that cannot start says so at once; two seconds is for a
    // machine under load.
    const bool ready = pid > 0 && ::poll(&p, 1, 2000) == 1 && ReadHelperReply(pair[0], hello) &&
                       hello.id == 0 && hello.status == vx::arp_helper::kReady;
    if (ready) return pair[0];
    ::close(pair[0]);  // the helper, if any, sees EOF
    if (pid > 0)
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    pid = -1;
    return -1;
}

bool StateHasAnswer(uint16_t state) {
    return (state &
            (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP)) != 0;
}

bool ShowsRecentAnswer(const NeighbourScan& scan, const NeighbourUses& uses, int64_t elapsedMs) {
    if (!scan.seen || !scan.answered) return false;
    if (scan.state & (NUD_PERMANENT | NUD_NOARP)) return true;
    if (scan.state & NUD_PROBE) return false;
    if (!(scan.state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY))) return false;
    return scan.confirmedAgeMs >= 0 && ConfirmationCounts(uses, scan.confirmedAgeMs, elapsedMs);
}

constexpr int64_t kEvidenceSlackMs = 1000;

int64_t EvidenceWindowMs(const NeighbourTimers& timers, int64_t sinceLastUseMs) {
    // Beyond two minutes of disuse the entry's age says nothing either way.
    const int64_t gap = std::clamp<int64_t>(sinceLastUseMs, 0, 120000);
    return timers.baseReachableMs * 3 / 2 + std::max(timers.delayFirstProbeMs, gap) +
           kEvidenceSlackMs;
}

bool ConfirmationCounts(const NeighbourUses& uses, int64_t confirmedAgeMs, int64_t elapsedMs) {
    const NeighbourTimers& t = uses.timers;
    // In milliseconds before the current use: the latest the entry can have
    // stayed reachable after this confirmation. The first use after that
    // turned it to delay, and delay_first_probe_time later the kernel asked
    // the host. (A use just before can turn it to delay earlier; counting
    // from the later one only keeps a present host longer.)
    const int64_t reachableUntil = confirmedAgeMs - elapsedMs - t.baseReachableMs * 3 / 2;
    int64_t firstUse = -1;
    for (int64_t before : uses.earlierMs)
        if (before >= 0 && before <= reachableUntil) firstUse = std::max(firstUse, before);
    if (firstUse >= 0) return firstUse + elapsedMs <= t.delayFirstProbeMs + kEvidenceSlackMs;
    // Unused since it left reachable: the current use asks the kernel again.
    const int64_t sinceLastUse = uses.earlierMs.empty() ? 0 : uses.earlierMs.front();
    return confirmedAgeMs <= EvidenceWindowMs(t, sinceLastUse);
}

void ForEachNeighbour(const void* data, size_t len, long clockTicksPerSecond,
                      const std::function<void(int, uint32_t, const NeighbourScan&)>& entry,
                      NeighbourScan* end) {
    const char* p = static_cast<const char*>(data);
    size_t left = len;
    while (left >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, p, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > left) return;
        const char* body = p + NLMSG_HDRLEN;
        const size_t bodyLen = header.nlmsg_len - NLMSG_HDRLEN;
        if (header.nlmsg_type == NLMSG_DONE) {
            if (end) end->finished = true;
        } else if (header.nlmsg_type == NLMSG_ERROR) {
            if (end) end->finished = true;
            if (end && bodyLen >= sizeof(nlmsgerr)) {
                nlmsgerr e;
                std::memcpy(&e, body, sizeof e);
                // The kernel sends -errno; a reply claiming INT_MIN cannot be
                // negated, and is an error all the same.
                end->error = e.error == INT_MIN ? EPROTO : -e.error;
            }
        } else if (header.nlmsg_type == RTM_NEWNEIGH && bodyLen >= sizeof(ndmsg)) {
            ndmsg n;
            std::memcpy(&n, body, sizeof n);
            bool haveDst = false;
            uint32_t dst = 0;
            bool haveMac = false;
            NeighbourScan scan;
            size_t at = NLMSG_ALIGN(sizeof(ndmsg));
            while (at + sizeof(rtattr) <= bodyLen) {
                rtattr attr;
                std::memcpy(&attr, body + at, sizeof attr);
                if (attr.rta_len < sizeof(rtattr) || at + attr.rta_len > bodyLen) break;
                const char* value = body + at + RTA_LENGTH(0);
                const size_t valueLen = attr.rta_len - RTA_LENGTH(0);
                if (attr.rta_type == NDA_DST && valueLen == 4) {
                    std::memcpy(&dst, value, 4);
                    haveDst = true;
                } else if (attr.rta_type == NDA_LLADDR && valueLen == 6) {
                    std::memcpy(scan.mac.data(), value, 6);
                    haveMac = true;
                } else if (attr.rta_type == NDA_CACHEINFO && valueLen >= sizeof(nda_cacheinfo) &&
                           clockTicksPerSecond > 0) {
                    nda_cacheinfo info;
                    std::memcpy(&info, value, sizeof info);
                    scan.confirmedAgeMs = int64_t(info.ndm_confirmed) * 1000 / clockTicksPerSecond;
                } else if (attr.rta_type == NDA_PROBES && valueLen == 4) {
                    std::memcpy(&scan.probes, value, 4);
                }
                at += RTA_ALIGN(attr.rta_len);
            }
            if (n.ndm_family == AF_INET && haveDst) {
                scan.seen = true;
                scan.state = n.ndm_state;
                scan.answered = haveMac && StateHasAnswer(n.ndm_state);
                if (!scan.answered) scan.mac = {};
                entry(n.ndm_ifindex, dst, scan);
            }
        }
        const size_t step = NLMSG_ALIGN(header.nlmsg_len);
        if (step >= left) return;
        p += step;
        left -= step;
    }
}

void ScanNeighbourMessages(const void* data, size_t len, uint32_t address, int ifindex,
                           NeighbourScan& scan, long clockTicksPerSecond) {
    ForEachNeighbour(
        data, len, clockTicksPerSecond,
        [&](int entryIndex, uint32_t dst, const NeighbourScan& entry) {
            if (entryIndex != ifindex || dst != address) return;
            // The last message about the entry is the newest; a MAC once
            // read stays with the scan.
            const Mac mac = entry.answered ? entry.mac : scan.mac;
            const bool finished = scan.finished;
            const int error = scan.error;
            scan = entry;
            scan.mac = mac;
            scan.finished = finished;
            scan.error = error;
        },
        &scan);
}

}  // namespace neighbour_detail

}  // namespace vx::platform
