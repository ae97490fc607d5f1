// Reading ARP replies from a packet socket: shared by vx-arp and the
// program's own raw route. Qt-free.
#pragma once

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/if_ether.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstring>

namespace vx::arp_helper {

// Only ARP replies wake the socket (offsets into the ARP header of a
// SOCK_DGRAM packet socket).
inline void AttachArpReplyFilter(int fd) {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPOP_REPLY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog prog{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &prog, sizeof prog);
}

// Sends `request` to every station on `ifindex`.
inline void BroadcastArp(int fd, int ifindex, const ether_arp& request) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = ifindex;
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xff, 6);
    sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// An IPv4-over-Ethernet ARP reply that arrived on an interface.
struct ArpReply {
    int ifindex = 0;
    uint32_t sender = 0;  // network byte order
    uint8_t mac[6] = {};
};

// The next such reply queued on `fd`, without waiting; false when none is
// left. Anything else queued is read and passed over.
inline bool NextArpReply(int fd, ArpReply& out) {
    unsigned char buf[256];
    sockaddr_ll from{};
    socklen_t fromLen = sizeof from;
    ssize_t n;
    while ((n = recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                         &fromLen)) > 0) {
        fromLen = sizeof from;
        if (n < static_cast<ssize_t>(sizeof(ether_arp)) || from.sll_pkttype == PACKET_OUTGOING)
            continue;
        ether_arp reply;
        std::memcpy(&reply, buf, sizeof reply);
        if (ntohs(reply.ea_hdr.ar_op) != ARPOP_REPLY || ntohs(reply.ea_hdr.ar_pro) != ETH_P_IP ||
            reply.ea_hdr.ar_hln != 6 || reply.ea_hdr.ar_pln != 4)
            continue;
        out.ifindex = from.sll_ifindex;
        std::memcpy(&out.sender, reply.arp_spa, 4);
        std::memcpy(out.mac, reply.arp_sha, 6);
        return true;
    }
    return false;
}

}  // namespace vx::arp_helper
