/* Answers ARP requests for one IPv4 address, but only after a delay, so the
 * lab has a host that is slow to resolve. The kernel's own answers are
 * switched off in that namespace (arp_ignore=8); this is the only responder.
 *
 *   late_arp IFNAME A.B.C.D DELAY_MS
 *
 * Every request gets its own reply, due DELAY_MS after the request arrived;
 * pending replies wait in a small ring, so a burst of requests is answered in
 * order without one sleeping reply holding up the others. */
#include <arpa/inet.h>
#include <errno.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/if_ether.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#define PENDING_MAX 1024

struct pending {
    int64_t due_ms;
    unsigned char to_mac[6];
    unsigned char to_ip[4];
};

static volatile sig_atomic_t stopping;
static void on_signal(int sig) { (void)sig; stopping = 1; }

static int64_t now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s IFNAME ADDRESS DELAY_MS\n", argv[0]);
        return 2;
    }
    unsigned char own_ip[4];
    if (inet_pton(AF_INET, argv[2], own_ip) != 1) {
        fprintf(stderr, "late_arp: bad address %s\n", argv[2]);
        return 2;
    }
    int delay = atoi(argv[3]);
    int ifindex = (int)if_nametoindex(argv[1]);
    if (ifindex == 0) {
        perror("late_arp: if_nametoindex");
        return 1;
    }
    int fd = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ARP));
    if (fd < 0) {
        perror("late_arp: socket");
        return 1;
    }
    struct sockaddr_ll bind_to = {0};
    bind_to.sll_family = AF_PACKET;
    bind_to.sll_protocol = htons(ETH_P_ARP);
    bind_to.sll_ifindex = ifindex;
    if (bind(fd, (struct sockaddr*)&bind_to, sizeof bind_to) != 0) {
        perror("late_arp: bind");
        return 1;
    }
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "%s", argv[1]);
    if (ioctl(fd, SIOCGIFHWADDR, &ifr) != 0) {
        perror("late_arp: SIOCGIFHWADDR");
        return 1;
    }
    unsigned char own_mac[6];
    memcpy(own_mac, ifr.ifr_hwaddr.sa_data, 6);

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);

    static struct pending ring[PENDING_MAX];
    size_t head = 0, count = 0;
    while (!stopping) {
        int timeout = -1;
        if (count) {
            int64_t wait = ring[head].due_ms - now_ms();
            timeout = wait < 0 ? 0 : (int)wait;
        }
        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, timeout);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p.revents & POLLIN)) {
            unsigned char buf[128];
            struct sockaddr_ll from;
            socklen_t fromlen = sizeof from;
            ssize_t n = recvfrom(fd, buf, sizeof buf, 0, (struct sockaddr*)&from, &fromlen);
            if (n >= (ssize_t)sizeof(struct ether_arp)) {
                struct ether_arp* a = (struct ether_arp*)buf;
                if (ntohs(a->ea_hdr.ar_op) == ARPOP_REQUEST &&
                    ntohs(a->ea_hdr.ar_pro) == ETH_P_IP && a->ea_hdr.ar_hln == 6 &&
                    a->ea_hdr.ar_pln == 4 && memcmp(a->arp_tpa, own_ip, 4) == 0 &&
                    memcmp(a->arp_spa, own_ip, 4) != 0 && count < PENDING_MAX) {
                    struct pending* slot = &ring[(head + count) % PENDING_MAX];
                    slot->due_ms = now_ms() + delay;
                    memcpy(slot->to_mac, a->arp_sha, 6);
                    memcpy(slot->to_ip, a->arp_spa, 4);
                    ++count;
                }
            }
        }
        int64_t now = now_ms();
        while (count && ring[head].due_ms <= now) {
            struct pending* due = &ring[head];
            struct ether_arp reply;
            memset(&reply, 0, sizeof reply);
            reply.ea_hdr.ar_hrd = htons(ARPHRD_ETHER);
            reply.ea_hdr.ar_pro = htons(ETH_P_IP);
            reply.ea_hdr.ar_hln = 6;
            reply.ea_hdr.ar_pln = 4;
            reply.ea_hdr.ar_op = htons(ARPOP_REPLY);
            memcpy(reply.arp_sha, own_mac, 6);
            memcpy(reply.arp_spa, own_ip, 4);
            memcpy(reply.arp_tha, due->to_mac, 6);
            memcpy(reply.arp_tpa, due->to_ip, 4);
            struct sockaddr_ll to = {0};
            to.sll_family = AF_PACKET;
            to.sll_protocol = htons(ETH_P_ARP);
            to.sll_ifindex = ifindex;
            to.sll_halen = 6;
            memcpy(to.sll_addr, due->to_mac, 6);
            sendto(fd, &reply, sizeof reply, 0, (struct sockaddr*)&to, sizeof to);
            head = (head + 1) % PENDING_MAX;
            --count;
        }
    }
    close(fd);
    return 0;
}
