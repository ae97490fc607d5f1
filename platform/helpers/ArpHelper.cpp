// vx-arp: raw ARP for a Vexmor process that has no CAP_NET_RAW of its own.
// Started by the process (never by hand), one per process, and serving all
// of its probes; see ArpHelperProtocol.h for what it accepts.
//   vx-arp PARENT_PID      (fd 3: the process's end of a SOCK_SEQPACKET pair)
#include <ifaddrs.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/if_ether.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "platform/helpers/ArpFrames.h"
#include "platform/helpers/ArpHelperProtocol.h"

namespace {

using namespace vx::arp_helper;
using Clock = std::chrono::steady_clock;

// Further MACs kept per target beyond the first: enough to show a conflict,
// not a store for whatever a segment sends.
constexpr size_t kMaxMacsPerTarget = 4;

// One target being asked, and every request from the process that asked for
// it while it was pending.
struct Pending {
    std::vector<uint32_t> ids;
    int ifindex;
    uint32_t target;
    ether_arp request;
    Clock::time_point deadline;
    Clock::time_point nextSend;
    int sends = 0;
    // Answered targets stay until their deadline, unrepeated, so that a
    // second station answering for the same address is reported too.
    std::vector<std::array<uint8_t, 6>> macs;
};

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

std::vector<LocalAddress> LocalAddresses() {
    std::vector<LocalAddress> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    std::map<std::string, const sockaddr_ll*> links;
    for (ifaddrs* a = list; a; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_PACKET)
            links[a->ifa_name] = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_netmask) continue;
        LocalAddress l;
        l.ifindex = static_cast<int>(if_nametoindex(a->ifa_name));
        l.address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        l.netmask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr;
        l.up = (a->ifa_flags & IFF_UP) != 0;
        l.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        l.noArp = (a->ifa_flags & IFF_NOARP) != 0;
        auto link = links.find(a->ifa_name);
        if (link != links.end() && link->second->sll_hatype == ARPHRD_ETHER &&
            link->second->sll_halen == 6) {
            l.hasMac = true;
            std::memcpy(l.mac, link->second->sll_addr, 6);
        }
        out.push_back(l);
    }
    freeifaddrs(list);
    return out;
}

// The socket is all the privilege this program needs; what it was started
// with goes before the first request is read. False when any of it stays:
// the helper then must not serve.
bool DropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2]{};
    if (syscall(SYS_capset, &header, none) != 0) return false;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    __user_cap_data_struct left[2]{};
    if (syscall(SYS_capget, &header, left) != 0) return false;
    for (const auto& set : left)
        if (set.effective || set.permitted || set.inheritable) return false;
    return true;
}

// The channel must be what the process hands over: one end of a local
// SOCK_SEQPACKET pair. Anything else on fd 3 (a file, a pipe, a network
// socket someone left open) means the helper was not started by the program.
bool ChannelIsOurs(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    int value = 0;
    socklen_t len = sizeof value;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &value, &len) != 0 || value != AF_UNIX) return false;
    len = sizeof value;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &value, &len) == 0 && value == SOCK_SEQPACKET;
}

void Send(int channel, uint32_t id, Status status, const uint8_t* mac = nullptr) {
    Reply reply{};
    reply.id = id;
    reply.status = status;
    if (mac) std::memcpy(reply.mac, mac, 6);
    // A parent that stopped reading is gone; EOF ends the loop.
    send(channel, &reply, sizeof reply, MSG_NOSIGNAL);
}


// The request for `target` if one is pending on `ifindex`.
Pending* FindPending(std::vector<Pending>& pending, int ifindex, uint32_t target) {
    for (Pending& p : pending)
        if (p.ifindex == ifindex && p.target == target) return &p;
    return nullptr;
}

// One message from the process. False at EOF.
bool TakeRequest(int channel, std::vector<Pending>& pending) {
    unsigned char buf[sizeof(Request) + 1];
    const ssize_t n = recv(channel, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    Request r{};
    if (n != static_cast<ssize_t>(sizeof r)) {
        uint32_t id = 0;
        if (n >= 4) std::memcpy(&id, buf, 4);
        Send(channel, id, kRefused);
        return true;
    }
    std::memcpy(&r, buf, sizeof r);
    // A sweep asks hundreds of targets within milliseconds; the interfaces
    // are read again when the last reading is older than that.
    static std::vector<LocalAddress> local;
    static Clock::time_point readAt;
    const auto now = Clock::now();
    if (local.empty() || now - readAt > std::chrono::milliseconds(50)) {
        local = LocalAddresses();
        readAt = now;
    }
    const LocalAddress* source = SourceFor(local, r.ifindex, r.target);
    if (!source) {
        Send(channel, r.id, kRefused);
        return true;
    }
    if (r.deadlineMs == 0) {
        Send(channel, r.id, kSilent);
        return true;
    }
    const auto deadline =
        now + std::chrono::milliseconds(std::clamp(r.deadlineMs, kMinDeadlineMs, kMaxDeadlineMs));
    if (Pending* same = FindPending(pending, r.ifindex, r.target)) {
        if (same->macs.empty()) {
            // Asked again while still unanswered: no further packet, one
            // more listener.
            same->deadline = std::max(same->deadline, deadline);
            if (same->ids.size() < kMaxPending) same->ids.push_back(r.id);
            return true;
        }
        // An answer already given is no answer to a new question (the host
        // may have gone since): that entry stops listening, this one asks.
        pending.erase(pending.begin() + (same - pending.data()));
    }
    if (pending.size() >= kMaxPending) {
        Send(channel, r.id, kRefused);
        return true;
    }
    Pending p{};
    p.ids.push_back(r.id);
    p.ifindex = r.ifindex;
    p.target = r.target;
    p.request.ea_hdr.ar_hrd = htons(ARPHRD_ETHER);
    p.request.ea_hdr.ar_pro = htons(ETH_P_IP);
    p.request.ea_hdr.ar_hln = 6;
    p.request.ea_hdr.ar_pln = 4;
    p.request.ea_hdr.ar_op = htons(ARPOP_REQUEST);
    std::memcpy(p.request.arp_sha, source->mac, 6);
    std::memcpy(p.request.arp_spa, &source->address, 4);
    std::memcpy(p.request.arp_tpa, &r.target, 4);
    p.deadline = deadline;
    p.nextSend = now;  // sent by the next Tick, when the bucket allows
    pending.push_back(p);
    return true;
}

void TakeReplies(int channel, int raw, std::vector<Pending>& pending) {
    ArpReply reply;
    while (NextArpReply(raw, reply)) {
        Pending* p = FindPending(pending, reply.ifindex, reply.sender);
        if (!p) continue;
        std::array<uint8_t, 6> mac{};
        std::memcpy(mac.data(), reply.mac, 6);
        if (std::find(p->macs.begin(), p->macs.end(), mac) != p->macs.end()) continue;
        if (p->macs.size() > kMaxMacsPerTarget) continue;
        const Status status = p->macs.empty() ? kAnswered : kAnotherMac;
        p->macs.push_back(mac);
        for (uint32_t id : p->ids) Send(channel, id, status, mac.data());
    }
}

// Sends what is due and the bucket allows (first requests before repeats),
// ends requests past their deadline; returns the wait until the next thing
// is due (-1: nothing pending).
int Tick(int channel, int raw, std::vector<Pending>& pending, TokenBucket& bucket) {
    const auto now = Clock::now();
    for (auto it = pending.begin(); it != pending.end();) {
        if (now >= it->deadline) {
            if (it->macs.empty())
                for (uint32_t id : it->ids) Send(channel, id, kSilent);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    bool starved = false;
    for (bool repeats : {false, true}) {
        for (Pending& p : pending) {
            if (!p.macs.empty() || p.sends >= kSendsPerRequest || (p.sends > 0) != repeats ||
                now < p.nextSend)
                continue;
            if (!bucket.Take(NowMs())) {
                starved = true;
                break;
            }
            BroadcastArp(raw, p.ifindex, p.request);
            ++p.sends;
            p.nextSend = now + std::chrono::milliseconds(kRetryMs);
        }
    }
    auto next = Clock::time_point::max();
    for (const Pending& p : pending) {
        next = std::min(next, p.deadline);
        if (p.macs.empty() && p.sends < kSendsPerRequest) next = std::min(next, p.nextSend);
    }
    if (next == Clock::time_point::max()) return -1;
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    if (starved) wait = std::min<long long>(wait, bucket.WaitMs(NowMs()));
    return static_cast<int>(std::max<long long>(1, wait));
}

}  // namespace

int main(int argc, char** argv) {
    // Ends with the thread that started it (the process's helper thread,
    // which lives as long as the process needs the helper); EOF on the
    // channel ends it too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 2 || getppid() != static_cast<pid_t>(std::atoi(argv[1]))) return 2;
    const int channel = kChannelFd;
    if (!ChannelIsOurs(channel)) return 2;
    const int raw = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (!DropCapabilities()) {
        if (raw >= 0) close(raw);
        return 3;
    }
    if (raw < 0) {
        Send(channel, 0, kNoCapability);
        return 1;
    }
    AttachArpReplyFilter(raw);
    Send(channel, 0, kReady);
    std::vector<Pending> pending;
    TokenBucket bucket(kRequestsPerSecond, kRequestBurst);
    for (;;) {
        // Replies that came while the helper waited for the processor are
        // taken before deadlines are judged: they came in time.
        TakeReplies(channel, raw, pending);
        const int wait = Tick(channel, raw, pending, bucket);
        pollfd fds[2] = {{channel, POLLIN, 0}, {raw, POLLIN, 0}};
        if (poll(fds, 2, wait) < 0 && errno != EINTR) return 1;
        if (fds[1].revents & POLLIN) TakeReplies(channel, raw, pending);
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            if (!TakeRequest(channel, pending)) return 0;
    }
}
