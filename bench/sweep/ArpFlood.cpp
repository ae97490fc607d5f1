// Asks the ARP helper for as many requests as it will take, the way a local
// user without privileges could: distinct targets of the interface's subnet,
// as fast as the channel accepts them, replies drained. The frames that reach
// the wire are counted outside (helper_rate.sh reads the veth peer's counter).
//   vx_bench_arp_flood IFNAME FIRST_TARGET SECONDS [DEADLINE_MS]
#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/Neighbour.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s IFNAME FIRST_TARGET SECONDS [DEADLINE_MS]\n", argv[0]);
        return 2;
    }
    const int ifindex = static_cast<int>(if_nametoindex(argv[1]));
    in_addr first{};
    if (ifindex == 0 || inet_pton(AF_INET, argv[2], &first) != 1) return 2;
    const double seconds = std::atof(argv[3]);
    const uint32_t deadline = argc > 4 ? static_cast<uint32_t>(std::atoi(argv[4])) : 1;
    pid_t pid = -1;
    const int fd = vx::platform::neighbour_detail::StartArpHelper(
        vx::platform::ArpHelperPath().toStdString(), pid);
    if (fd < 0) {
        std::fprintf(stderr, "the helper did not start\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    uint64_t sent = 0, replies = 0;
    uint32_t next = ntohl(first.s_addr);
    while (Clock::now() < end) {
        const vx::arp_helper::Request r{static_cast<uint32_t>(sent + 1), ifindex, htonl(next++),
                                        deadline};
        if (::send(fd, &r, sizeof r, MSG_DONTWAIT) == sizeof r) ++sent;
        if ((next & 0xff) == 0xff) next += 2;  // no broadcast or network address
        vx::arp_helper::Reply reply{};
        while (::recv(fd, &reply, sizeof reply, MSG_DONTWAIT) == sizeof reply) ++replies;
        pollfd p{fd, POLLIN | POLLOUT, 0};
        ::poll(&p, 1, 1);
    }
    ::close(fd);
    ::waitpid(pid, nullptr, 0);
    std::printf("requests handed to the helper: %llu in %.1f s, replies read: %llu\n",
                static_cast<unsigned long long>(sent), seconds,
                static_cast<unsigned long long>(replies));
    return 0;
}
