#include "platform/ArpSweep.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <netinet/if_ether.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/NeighbourRoutes.h"
#include "platform/NetworkInfo.h"
#include "platform/helpers/ArpFrames.h"

namespace vx::platform {

namespace {

using Clock = std::chrono::steady_clock;
using Mac = std::array<unsigned char, 6>;
namespace nd = neighbour_detail;

// Requests leave in small batches with a gap between them: a /24 goes out
// in about 32 ms, not as one burst of 254 broadcasts that a switch or a
// busy host's backlog drops part of (a bridge floods each to every port).
constexpr int kPaceBatch = 8;
constexpr auto kPaceGap = std::chrono::milliseconds(1);
// How often a waiting probe asks whether it was cancelled.
constexpr int kCancelPollMs = 25;
// The neighbour table is dumped this often; notifications usually come first.
constexpr int kNeighbourPollMs = 50;
// How long after the deadline the helper's last replies are still read.
constexpr int kHelperGraceMs = 30;
// Further MACs kept per address beyond the first.
constexpr size_t kMaxOtherMacs = 4;

using nd::Fd;

int MsUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count() + 1));
}

}  // namespace

struct ArpSweep::State {
    struct Entry {
        bool asked = false;  // a request goes out for it (not own, an interface faces it)
        int itf = -1;        // into interfaces
        std::vector<Mac> macs;
        Clock::time_point answeredAt;
        neighbour_detail::NeighbourUses uses;  // neighbour-table route
        Clock::time_point usedAt;
    };

    ResolveMode mode;
    int deadlineMs;
    std::atomic<bool> stopping{false};
    Fd wake{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::vector<Ipv4Interface> interfaces;  // written before `prepared`, then read-only

    std::mutex lock;
    std::condition_variable changed;
    // Keys fixed at construction; fields guarded by lock.
    std::unordered_map<uint32_t, Entry> entries;
    bool prepared = false;     // guarded by lock: every entry's `asked` is known
    bool started = false;      // guarded by lock: the first request went out
    Clock::time_point deadline;  // guarded by lock, once started
    bool finished = false;     // guarded by lock

    void Run();
    void Prepare();
    // Starts the deadline at the first request (once); a thread that a busy
    // machine holds back before it sends must not spend the deadline.
    void StartClock();
    // The deadline, once the first request went out.
    bool Deadline(Clock::time_point& at) {
        std::lock_guard guard(lock);
        at = deadline;
        return started;
    }
    void Record(uint32_t target, int ifindex, const unsigned char* mac);
    // (target, interface) of every asked entry still without an answer.
    std::vector<std::pair<uint32_t, int>> Silent();
    template <typename Send>
    void Paced(const std::vector<std::pair<uint32_t, int>>& targets, Send send) {
        for (size_t i = 0; i < targets.size() && !stopping; ++i) {
            send(targets[i].first, interfaces[targets[i].second]);
            if (i == 0) StartClock();
            if ((i + 1) % kPaceBatch == 0 && i + 1 < targets.size())
                std::this_thread::sleep_for(kPaceGap);
        }
    }
    void RunRaw();
    void RunHelper();
    void RunNeighbourTable();
    void DrainArp(int fd);
};

void ArpSweep::State::Prepare() {
    interfaces = LocalIPv4Interfaces();
    std::lock_guard guard(lock);
    for (auto& [target, entry] : entries) {
        const auto own = std::find_if(interfaces.begin(), interfaces.end(),
                                      [&](const Ipv4Interface& i) { return i.address == target; });
        if (own != interfaces.end()) {
            if (own->hasMac) {
                entry.macs.push_back(own->mac);
                entry.answeredAt = Clock::now() - std::chrono::milliseconds(kSettleMs);
            }
            continue;
        }
        int facing = -1;
        int candidates = 0;
        for (size_t i = 0; i < interfaces.size(); ++i) {
            const Ipv4Interface& itf = interfaces[i];
            if (itf.netmask == 0xffffffffu || (itf.address & itf.netmask) != (target & itf.netmask))
                continue;
            if (candidates++ == 0) facing = static_cast<int>(i);
        }
        if (candidates > 1) {
            // Two links on one subnet: the kernel's route decides, as for one probe.
            facing = -1;
            if (const auto routed = InterfaceFacing(target))
                for (size_t i = 0; i < interfaces.size(); ++i)
                    if (interfaces[i].index == routed->index &&
                        interfaces[i].address == routed->address)
                        facing = static_cast<int>(i);
        }
        if (facing < 0 || !interfaces[facing].hasMac) continue;
        entry.asked = true;
        entry.itf = facing;
    }
    prepared = true;
    changed.notify_all();
}

void ArpSweep::State::StartClock() {
    std::lock_guard guard(lock);
    if (started) return;
    started = true;
    deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    changed.notify_all();
}

void ArpSweep::State::Record(uint32_t target, int ifindex, const unsigned char* bytes) {
    Mac mac;
    std::memcpy(mac.data(), bytes, 6);
    std::lock_guard guard(lock);
    auto it = entries.find(target);
    if (it == entries.end() || !it->second.asked) return;
    Entry& entry = it->second;
    if (interfaces[entry.itf].index != ifindex) return;
    if (std::find(entry.macs.begin(), entry.macs.end(), mac) != entry.macs.end()) return;
    if (entry.macs.size() > kMaxOtherMacs) return;
    if (entry.macs.empty()) entry.answeredAt = Clock::now();
    entry.macs.push_back(mac);
    changed.notify_all();
}

std::vector<std::pair<uint32_t, int>> ArpSweep::State::Silent() {
    std::vector<std::pair<uint32_t, int>> out;
    std::lock_guard guard(lock);
    for (const auto& [target, entry] : entries)
        if (entry.asked && entry.macs.empty()) out.emplace_back(target, entry.itf);
    // In address order, as a person reading a capture expects.
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return ntohl(a.first) < ntohl(b.first); });
    return out;
}

void ArpSweep::State::Run() {
    Prepare();
    if (!stopping) {
        // Finding the route may start the helper: not yet part of the deadline.
        const ResolveMode route = mode == ResolveMode::Automatic ? ActiveRoute() : mode;
        switch (route) {
        case ResolveMode::RawArp: RunRaw(); break;
        case ResolveMode::Helper: RunHelper(); break;
        default: RunNeighbourTable(); break;
        }
    }
    std::lock_guard guard(lock);
    finished = true;
    changed.notify_all();
}

void ArpSweep::State::DrainArp(int fd) {
    vx::arp_helper::ArpReply reply;
    while (vx::arp_helper::NextArpReply(fd, reply)) Record(reply.sender, reply.ifindex, reply.mac);
}

void ArpSweep::State::RunRaw() {
    Fd fd(nd::OpenRawArpSocket());
    if (!fd.valid()) return;
    vx::arp_helper::AttachArpReplyFilter(fd.get());
    const auto send = [&](uint32_t target, const Ipv4Interface& itf) {
        vx::arp_helper::BroadcastArp(fd.get(), itf.index, nd::ArpRequestFor(itf, target));
    };
    Paced(Silent(), send);
    Clock::time_point deadlineAt;
    if (!Deadline(deadlineAt)) return;  // nothing to ask
    const auto retryAt = deadlineAt - std::chrono::milliseconds(deadlineMs) +
                         std::chrono::milliseconds(vx::arp_helper::kRetryMs);
    bool repeated = false;
    while (!stopping && Clock::now() < deadlineAt) {
        if (!repeated && Clock::now() >= retryAt) {
            DrainArp(fd.get());
            Paced(Silent(), send);
            repeated = true;
        }
        pollfd p[2] = {{fd.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        ::poll(p, 2, MsUntil(repeated ? deadlineAt : std::min(deadlineAt, retryAt)));
        DrainArp(fd.get());
    }
    // What arrived while a busy machine held this thread back came in time.
    DrainArp(fd.get());
}

void ArpSweep::State::RunHelper() {
    if (!CanUseArpHelper()) return;  // starts it outside the deadline
    std::vector<uint32_t> ids;
    // The helper repeats a request to a silent address itself, kRetryMs
    // after the first, and reports every further MAC.
    Paced(Silent(), [&](uint32_t target, const Ipv4Interface& itf) {
        const int ifindex = itf.index;
        Clock::time_point deadlineAt;
        const int ms = Deadline(deadlineAt) ? MsUntil(deadlineAt) : deadlineMs;
        const uint32_t id = nd::SubmitToHelper(
            ifindex, target, ms, [this, target, ifindex](const vx::arp_helper::Reply& r) {
                if (r.status == vx::arp_helper::kAnswered || r.status == vx::arp_helper::kAnotherMac)
                    Record(target, ifindex, r.mac);
            });
        if (id != 0) ids.push_back(id);
    });
    {
        std::unique_lock guard(lock);
        // The helper's own deadline ends with ours; the grace lets the
        // replies it read until then reach the table.
        changed.wait_until(guard, deadline + std::chrono::milliseconds(kHelperGraceMs),
                           [this] { return stopping.load() || !started; });
    }
    // After this no reply reaches this state any more.
    for (uint32_t id : ids) nd::ForgetHelperRequest(id);
}

void ArpSweep::State::RunNeighbourTable() {
    Fd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd.valid()) return;
    // Notifications tell at once when an entry turns reachable; the dumps
    // cover any lost to an overrun (a sweep creates hundreds of entries).
    const int rcvbuf = 1 << 20;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_NEIGH;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return;
    const std::vector<std::pair<uint32_t, int>> targets = Silent();
    std::set<int> ifindexes;
    std::map<int, nd::NeighbourTimers> timers;  // by interface, read before the clock starts
    for (const auto& [target, itf] : targets) {
        ifindexes.insert(interfaces[itf].index);
        if (!timers.count(itf)) timers[itf] = nd::TimersOf(interfaces[itf]);
    }
    const long ticks = nd::ClockTicksPerSecond();
    Paced(targets, [&](uint32_t target, const Ipv4Interface&) {
        std::vector<int64_t> earlier = nd::NoteUseOf(target);
        {
            std::lock_guard guard(lock);
            Entry& entry = entries[target];
            entry.uses = {timers[entry.itf], std::move(earlier)};
            entry.usedAt = Clock::now();
        }
        nd::TriggerResolution(target);
    });
    Clock::time_point deadlineAt;
    if (!Deadline(deadlineAt)) return;
    static std::atomic<uint32_t> s_seq{1};
    auto nextQuery = Clock::now();
    std::vector<char> buf(64 * 1024);
    while (!stopping && Clock::now() < deadlineAt) {
        if (Clock::now() >= nextQuery) {
            for (int ifindex : ifindexes) nd::QueryNeighbours(fd.get(), ifindex, s_seq.fetch_add(1));
            nextQuery = Clock::now() + std::chrono::milliseconds(kNeighbourPollMs);
        }
        ssize_t n;
        while ((n = ::recv(fd.get(), buf.data(), buf.size(), MSG_DONTWAIT)) > 0 ||
               (n < 0 && errno == ENOBUFS)) {
            if (n <= 0) continue;  // an overrun: the next dump has it all
            nd::ForEachNeighbour(
                buf.data(), static_cast<size_t>(n), ticks,
                [&](int ifindex, uint32_t address, const nd::NeighbourScan& scan) {
                    bool answer = false;
                    {
                        std::lock_guard guard(lock);
                        auto it = entries.find(address);
                        // Not yet triggered (still being paced): not yet evidence.
                        if (it == entries.end() || !it->second.asked ||
                            it->second.usedAt == Clock::time_point{})
                            return;
                        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                            Clock::now() - it->second.usedAt);
                        answer = nd::ShowsRecentAnswer(scan, it->second.uses, elapsed.count());
                    }
                    if (answer) Record(address, ifindex, scan.mac.data());
                });
        }
        pollfd p[2] = {{fd.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        ::poll(p, 2, MsUntil(std::min(deadlineAt, nextQuery)));
    }
}

ArpSweep::ArpSweep(const QStringList& addresses, ResolveMode mode, int deadlineMs)
    : m_state(std::make_shared<State>()) {
    m_state->mode = mode;
    m_state->deadlineMs = std::max(0, deadlineMs);
    for (const QString& text : addresses) {
        uint32_t address = 0;
        if (nd::ParseIpv4(text, address)) m_state->entries.try_emplace(address);
    }
    m_thread = std::thread([state = m_state] { state->Run(); });
}

ArpSweep::~ArpSweep() {
    m_state->stopping = true;
    const uint64_t one = 1;
    if (m_state->wake.valid()) (void)!::write(m_state->wake.get(), &one, sizeof one);
    {
        std::lock_guard guard(m_state->lock);
        m_state->changed.notify_all();
    }
    if (m_thread.joinable()) m_thread.join();
}

bool ArpSweep::Wait(const QString& address, QString& mac, QStringList* otherMacs,
                    const ResolveCancelled& cancelled) {
    mac.clear();
    if (otherMacs) otherMacs->clear();
    uint32_t target = 0;
    if (!nd::ParseIpv4(address, target)) return false;
    State& s = *m_state;
    std::unique_lock guard(s.lock);
    auto it = s.entries.find(target);
    if (it == s.entries.end()) return false;
    const State::Entry& entry = it->second;
    for (;;) {
        const auto now = Clock::now();
        // Silence is final when the sweep's thread has read everything that
        // came by the deadline, which a busy machine may delay a little.
        const bool over = s.finished;
        Clock::time_point wakeAt = now + std::chrono::milliseconds(kCancelPollMs);
        if (!entry.macs.empty()) {
            const auto settled = entry.answeredAt + std::chrono::milliseconds(kSettleMs);
            if (over || now >= settled) {
                mac = FormatMac(entry.macs.front().data());
                if (otherMacs)
                    for (size_t i = 1; i < entry.macs.size(); ++i)
                        *otherMacs << FormatMac(entry.macs[i].data());
                return true;
            }
            wakeAt = std::min(wakeAt, settled);
        } else if (over || (s.prepared && !entry.asked)) {
            return false;
        }
        if (cancelled) {
            guard.unlock();  // the caller's callback runs under none of our locks
            const bool stop = cancelled();
            guard.lock();
            if (stop) return false;
        }
        s.changed.wait_until(guard, wakeAt);
    }
}

}  // namespace vx::platform
