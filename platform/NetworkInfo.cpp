#include "platform/NetworkInfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <map>

namespace vx::platform {

QString LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return QString::fromLocal8Bit(name);
}

QStringList LocalIPv4Addresses() {
    QStringList out;
    for (const Ipv4Interface& i : LocalIPv4Interfaces()) {
        char text[INET_ADDRSTRLEN] = {};
        in_addr a{i.address};
        if (inet_ntop(AF_INET, &a, text, sizeof text)) out << QString::fromLatin1(text);
    }
    return out;
}

std::vector<Ipv4Interface> LocalIPv4Interfaces() {
    std::vector<Ipv4Interface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    // getifaddrs lists the link (AF_PACKET) entries before the addresses, but
    // nothing promises it, so the MACs are collected in a first pass.
    std::map<std::string, std::array<unsigned char, 6>> macs;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET) continue;
        auto* ll = reinterpret_cast<sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen != 6) continue;
        std::array<unsigned char, 6> mac{};
        std::memcpy(mac.data(), ll->sll_addr, 6);
        macs[a->ifa_name] = mac;
    }
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        if (!(a->ifa_flags & IFF_UP) || (a->ifa_flags & IFF_LOOPBACK)) continue;
        Ipv4Interface i;
        i.name = a->ifa_name;
        i.index = static_cast<int>(if_nametoindex(a->ifa_name));
        i.address = reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        if (a->ifa_netmask)
            i.netmask = reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr;
        if (auto m = macs.find(i.name); m != macs.end()) {
            i.hasMac = true;
            i.mac = m->second;
        }
        out.push_back(i);
    }
    freeifaddrs(list);
    return out;
}

std::optional<Ipv4Interface> InterfaceOwning(uint32_t address) {
    for (const Ipv4Interface& i : LocalIPv4Interfaces())
        if (i.address == address) return i;
    return std::nullopt;
}

std::optional<Ipv4Interface> InterfaceFacing(uint32_t address) {
    std::optional<Ipv4Interface> first;
    const int routed = DirectRouteInterface(address);
    for (const Ipv4Interface& i : LocalIPv4Interfaces()) {
        if (i.netmask == 0xffffffffu) continue;
        if ((i.address & i.netmask) != (address & i.netmask)) continue;
        if (i.index == routed) return i;
        if (!first) first = i;
    }
    return first;
}

int DirectRouteInterface(uint32_t address) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return 0;
    struct {
        nlmsghdr header;
        rtmsg route;
        char attributes[16];
    } request{};
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    auto* dst = reinterpret_cast<rtattr*>(request.attributes);
    dst->rta_type = RTA_DST;
    dst->rta_len = RTA_LENGTH(4);
    std::memcpy(RTA_DATA(dst), &address, 4);
    request.header.nlmsg_len = NLMSG_ALIGN(NLMSG_LENGTH(sizeof(rtmsg))) + RTA_ALIGN(dst->rta_len);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    int oif = 0;
    if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) == static_cast<ssize_t>(request.header.nlmsg_len)) {
        // A route reply is small; a second or two of waiting would mean the
        // kernel is not answering at all.
        timeval wait{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n >= static_cast<ssize_t>(NLMSG_LENGTH(sizeof(rtmsg)))) {
            nlmsghdr header;
            std::memcpy(&header, buf, sizeof header);
            if (header.nlmsg_type == RTM_NEWROUTE && header.nlmsg_len <= size_t(n)) {
                bool viaGateway = false;
                size_t at = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(rtmsg));
                while (at + sizeof(rtattr) <= header.nlmsg_len) {
                    rtattr attr;
                    std::memcpy(&attr, buf + at, sizeof attr);
                    if (attr.rta_len < sizeof(rtattr) || at + attr.rta_len > header.nlmsg_len)
                        break;
                    if (attr.rta_type == RTA_GATEWAY) viaGateway = true;
                    if (attr.rta_type == RTA_OIF && attr.rta_len >= RTA_LENGTH(4))
                        std::memcpy(&oif, buf + at + RTA_LENGTH(0), 4);
                    at += RTA_ALIGN(attr.rta_len);
                }
                if (viaGateway) oif = 0;
            }
        }
    }
    ::close(fd);
    return oif;
}

}  // namespace vx::platform
