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
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <string>

#include "platform/helpers/ArpHelperProtocol.h"

namespace {

using namespace vx::arp_helper;
using Clock = std::chrono::steady_clock;

struct Pending {
    uint32_t id;
    int ifindex;
    uint32_t target;
    ether_arp request;
    Clock::time_point deadline;
    Clock::time_point nextSend;
};

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
// with goes before the first request is read.
void DropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2]{};
    syscall(SYS_capset, &header, none);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
}

// Only ARP replies wake the helper (offsets into the ARP header).
void AttachReplyFilter(int fd) {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPOP_REPLY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog prog{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &prog, sizeof prog);
}

void Send(int channel, uint32_t id, Status status, const uint8_t* mac = nullptr) {
    Reply reply{};
    reply.id = id;
    reply.status = status;
    if (mac) std::memcpy(reply.mac, mac, 6);
    // A parent that stopped reading is gone; EOF ends the loop.
    send(channel, &reply, sizeof reply, MSG_NOSIGNAL);
}

void Broadcast(int raw, const Pending& p) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = p.ifindex;
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    sendto(raw, &p.request, sizeof p.request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// One message from the process. False at EOF.
bool TakeRequest(int channel, int raw, std::vector<Pending>& pending) {
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
    const std::vector<LocalAddress> local = LocalAddresses();
    const LocalAddress* source = SourceFor(local, r.ifindex, r.target);
    if (!source || pending.size() >= kMaxPending) {
        Send(channel, r.id, kRefused);
        return true;
    }
    Pending p{};
    p.id = r.id;
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
    const auto now = Clock::now();
    p.deadline = now + std::chrono::milliseconds(std::min(r.deadlineMs, kMaxDeadlineMs));
    p.nextSend = now + std::chrono::milliseconds(kRetryMs);
    if (r.deadlineMs == 0) {
        Send(channel, r.id, kSilent);
        return true;
    }
    Broadcast(raw, p);
    pending.push_back(p);
    return true;
}

void TakeReplies(int channel, int raw, std::vector<Pending>& pending) {
    unsigned char buf[256];
    sockaddr_ll from{};
    socklen_t fromLen = sizeof from;
    ssize_t n;
    while ((n = recvfrom(raw, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                         &fromLen)) > 0) {
        fromLen = sizeof from;
        if (n < static_cast<ssize_t>(sizeof(ether_arp))) continue;
        ether_arp reply;
        std::memcpy(&reply, buf, sizeof reply);
        if (ntohs(reply.ea_hdr.ar_op) != ARPOP_REPLY || ntohs(reply.ea_hdr.ar_pro) != ETH_P_IP ||
            reply.ea_hdr.ar_hln != 6 || reply.ea_hdr.ar_pln != 4)
            continue;
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->ifindex == from.sll_ifindex && std::memcmp(reply.arp_spa, &it->target, 4) == 0) {
                Send(channel, it->id, kAnswered, reply.arp_sha);
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
    }
}

// Repeats due requests, ends those past their deadline; returns the wait
// until the next thing is due (-1: nothing pending).
int Tick(int channel, int raw, std::vector<Pending>& pending) {
    const auto now = Clock::now();
    auto next = Clock::time_point::max();
    for (auto it = pending.begin(); it != pending.end();) {
        if (now >= it->deadline) {
            Send(channel, it->id, kSilent);
            it = pending.erase(it);
            continue;
        }
        if (now >= it->nextSend) {
            Broadcast(raw, *it);
            it->nextSend += std::chrono::milliseconds(kRetryMs);
        }
        next = std::min({next, it->deadline, it->nextSend});
        ++it;
    }
    if (next == Clock::time_point::max()) return -1;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
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
    const int raw = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    DropCapabilities();
    if (raw < 0) {
        Send(channel, 0, kNoCapability);
        return 1;
    }
    AttachReplyFilter(raw);
    Send(channel, 0, kReady);
    std::vector<Pending> pending;
    for (;;) {
        const int wait = Tick(channel, raw, pending);
        pollfd fds[2] = {{channel, POLLIN, 0}, {raw, POLLIN, 0}};
        if (poll(fds, 2, wait) < 0 && errno != EINTR) return 1;
        if (fds[1].revents & POLLIN) TakeReplies(channel, raw, pending);
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            if (!TakeRequest(channel, raw, pending)) return 0;
    }
}
