#include "platform/NetworkInfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
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
    for (const Ipv4Interface& i : LocalIPv4Interfaces()) {
        if (i.netmask == 0xffffffffu) continue;
        if ((i.address & i.netmask) == (address & i.netmask)) return i;
    }
    return std::nullopt;
}

}  // namespace vx::platform
