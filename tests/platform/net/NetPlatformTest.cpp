#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/if_ether.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/ArpSweep.h"
#include "platform/Neighbour.h"
#include "platform/NetText.h"
#include "platform/NetworkInfo.h"
#include "platform/SmbBrowser.h"

extern char** environ;

using namespace vx::platform;
using neighbour_detail::NeighbourScan;

namespace {

// Set by main(): the process runs in a network namespace of its own with a
// veth pair veth0 10.213.9.1/24 <-> veth1 10.213.9.2/24 (both ends local).
bool g_privateNet = false;

constexpr int kIndex = 7;

uint32_t Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

// Builds rtnetlink messages the way the kernel lays them out.
class NetlinkBuffer {
public:
    // confirmedTicks: the entry's age since confirmation in USER_HZ ticks
    // (-1: no cache information).
    void Neighbour(int ifindex, uint16_t state, const char* dst, const unsigned char* mac,
                   uint16_t type = RTM_NEWNEIGH, int confirmedTicks = -1) {
        size_t start = Begin(type);
        ndmsg n{};
        n.ndm_family = AF_INET;
        n.ndm_ifindex = ifindex;
        n.ndm_state = state;
        Append(&n, sizeof n);
        if (dst) {
            uint32_t a = Ip(dst);
            Attribute(NDA_DST, &a, 4);
        }
        if (mac) Attribute(NDA_LLADDR, mac, 6);
        if (confirmedTicks >= 0) {
            nda_cacheinfo info{};
            info.ndm_confirmed = uint32_t(confirmedTicks);
            info.ndm_used = 1;
            Attribute(NDA_CACHEINFO, &info, sizeof info);
        }
        End(start);
    }
    void Error(int error) {
        size_t start = Begin(NLMSG_ERROR);
        nlmsgerr e{};
        e.error = -error;
        Append(&e, sizeof e);
        End(start);
    }
    void Done() { End(Begin(NLMSG_DONE)); }
    QByteArray bytes;

private:
    size_t Begin(uint16_t type) {
        size_t start = bytes.size();
        nlmsghdr h{};
        h.nlmsg_type = type;
        Append(&h, sizeof h);
        return start;
    }
    void End(size_t start) {
        auto len = static_cast<uint32_t>(bytes.size() - start);
        std::memcpy(bytes.data() + start, &len, 4);
        Pad();
    }
    void Attribute(uint16_t type, const void* data, size_t len) {
        rtattr a{};
        a.rta_type = type;
        a.rta_len = static_cast<unsigned short>(RTA_LENGTH(len));
        Append(&a, sizeof a);
        Append(data, len);
        Pad();
    }
    void Append(const void* data, size_t len) {
        bytes.append(static_cast<const char*>(data), static_cast<qsizetype>(len));
    }
    void Pad() {
        while (bytes.size() % 4) bytes.append('\0');
    }
};

const unsigned char kMacA[6] = {0x00, 0x1a, 0x2b, 0x3d, 0x4e, 0x5f};
const unsigned char kMacB[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x09};

// The link's MAC as the kernel reports it to an ioctl (sysfs would show the
// namespace that mounted it, not ours).
QString LinkMac(const char* ifname) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    ifreq ifr{};
    std::snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "%s", ifname);
    const bool ok = ::ioctl(fd, SIOCGIFHWADDR, &ifr) == 0;
    ::close(fd);
    return ok ? FormatMac(reinterpret_cast<const unsigned char*>(ifr.ifr_hwaddr.sa_data))
              : QString();
}

// Counts the ARP requests for one address that cross any link of the
// private namespace while it is open.
class ArpWatch {
public:
    explicit ArpWatch(const char* target)
        : m_target(Ip(target)), m_fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP))) {}
    ~ArpWatch() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }
    int Requests(int waitMs) {
        int n = 0;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, waitMs) == 1) {
            ether_arp a{};
            if (::recv(m_fd, &a, sizeof a, 0) == sizeof a && ntohs(a.ea_hdr.ar_op) == ARPOP_REQUEST &&
                std::memcmp(a.arp_tpa, &m_target, 4) == 0)
                ++n;
        }
        return n;
    }

private:
    uint32_t m_target;
    int m_fd;
};

QByteArray HelperRequest(const char* ifname, const char* target, uint32_t id = 42) {
    const vx::arp_helper::Request r{id, int32_t(if_nametoindex(ifname)), Ip(target), 300};
    return QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
}

// Sends one message to a fresh helper and returns its reply; the helper
// must end once the channel closes.
bool AskHelper(const QByteArray& message, vx::arp_helper::Reply& reply) {
    pid_t pid = -1;
    const int fd = neighbour_detail::StartArpHelper(ArpHelperPath().toStdString(), pid);
    if (fd < 0) return false;
    bool ok = ::send(fd, message.constData(), message.size(), 0) == message.size();
    pollfd p{fd, POLLIN, 0};
    ok = ok && ::poll(&p, 1, 2000) == 1 && neighbour_detail::ReadHelperReply(fd, reply);
    ::close(fd);
    QElapsedTimer t;
    t.start();
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (t.elapsed() > 2000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return false;
        }
        QThread::msleep(5);
    }
    return ok;
}

// ARP requests arriving on one link of the private namespace (optionally
// for one target), counted while it is open.
class RequestCounter {
public:
    explicit RequestCounter(const char* ifname, const char* target = nullptr)
        : m_target(target ? Ip(target) : 0),
          m_fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP))) {
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_protocol = htons(ETH_P_ARP);
        at.sll_ifindex = int(if_nametoindex(ifname));
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RequestCounter() {
        if (m_fd >= 0) ::close(m_fd);
    }
    // Reads what came so far (and until `waitMs` of quiet).
    int Count(int waitMs = 50) {
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, waitMs) == 1) {
            ether_arp a{};
            sockaddr_ll from{};
            socklen_t len = sizeof from;
            if (::recvfrom(m_fd, &a, sizeof a, 0, reinterpret_cast<sockaddr*>(&from), &len) ==
                    sizeof a &&
                from.sll_pkttype != PACKET_OUTGOING && ntohs(a.ea_hdr.ar_op) == ARPOP_REQUEST &&
                (m_target == 0 || std::memcmp(a.arp_tpa, &m_target, 4) == 0))
                ++m_count;
        }
        return m_count;
    }

private:
    uint32_t m_target;
    int m_fd;
    int m_count = 0;
};

// A station on veth1 that answers requests for `address` with each of
// `macs` in turn (two stations claiming one address), until destroyed.
class Claimants {
public:
    Claimants(const char* address, std::vector<std::array<unsigned char, 6>> macs)
        : m_address(Ip(address)), m_macs(std::move(macs)) {
        m_fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_protocol = htons(ETH_P_ARP);
        at.sll_ifindex = int(if_nametoindex("veth1"));
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
        m_thread = std::thread([this] { Run(); });
    }
    ~Claimants() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

private:
    void Run() {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1) continue;
            ether_arp a{};
            sockaddr_ll from{};
            socklen_t len = sizeof from;
            if (::recvfrom(m_fd, &a, sizeof a, 0, reinterpret_cast<sockaddr*>(&from), &len) !=
                    sizeof a ||
                from.sll_pkttype == PACKET_OUTGOING || ntohs(a.ea_hdr.ar_op) != ARPOP_REQUEST ||
                std::memcmp(a.arp_tpa, &m_address, 4) != 0)
                continue;
            for (const auto& mac : m_macs) {
                ether_arp reply = a;
                reply.ea_hdr.ar_op = htons(ARPOP_REPLY);
                std::memcpy(reply.arp_sha, mac.data(), 6);
                std::memcpy(reply.arp_spa, &m_address, 4);
                std::memcpy(reply.arp_tha, a.arp_sha, 6);
                std::memcpy(reply.arp_tpa, a.arp_spa, 4);
                sockaddr_ll to = from;
                to.sll_halen = 6;
                std::memcpy(to.sll_addr, a.arp_sha, 6);
                ::sendto(m_fd, &reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            }
        }
    }
    uint32_t m_address;
    std::vector<std::array<unsigned char, 6>> m_macs;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Starts the helper with `channel` as its fd 3 instead of the socket pair
// the program hands over; its exit status (-1 when it had to be killed).
int HelperExitWithChannel(int channel) {
    const std::string path = ArpHelperPath().toStdString();
    const std::string parent = std::to_string(::getpid());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel, vx::arp_helper::kChannelFd);
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(parent.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -2;
    QElapsedTimer t;
    t.start();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (t.elapsed() > 2000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        QThread::msleep(5);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

class NetPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void formatMac_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("mixed") << QByteArray("\x00\x1a\x2b\x3d\x4e\x5f", 6) << "00.1A.2B.3D.4E.5F";
        QTest::newRow("zero") << QByteArray(6, '\0') << "00.00.00.00.00.00";
        QTest::newRow("all ones") << QByteArray(6, '\xff') << "FF.FF.FF.FF.FF.FF";
    }
    void formatMac() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatMac(reinterpret_cast<const unsigned char*>(bytes.constData())), text);
    }

    void neighbourStates_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("answer");
        QTest::newRow("reachable") << int(NUD_REACHABLE) << true;
        QTest::newRow("stale") << int(NUD_STALE) << true;
        QTest::newRow("delay") << int(NUD_DELAY) << true;
        QTest::newRow("probe") << int(NUD_PROBE) << true;
        QTest::newRow("permanent") << int(NUD_PERMANENT) << true;
        QTest::newRow("incomplete") << int(NUD_INCOMPLETE) << false;
        QTest::newRow("failed") << int(NUD_FAILED) << false;
        QTest::newRow("none") << int(NUD_NONE) << false;
    }
    void neighbourStates() {
        QFETCH(int, state);
        QFETCH(bool, answer);
        QCOMPARE(neighbour_detail::StateHasAnswer(uint16_t(state)), answer);
        // The same verdict through a parsed reply.
        NetlinkBuffer b;
        b.Neighbour(kIndex, uint16_t(state), "10.0.0.5", kMacA);
        NeighbourScan scan;
        neighbour_detail::ScanNeighbourMessages(b.bytes.constData(), b.bytes.size(), Ip("10.0.0.5"),
                                                kIndex, scan);
        QVERIFY(scan.seen);
        QCOMPARE(scan.answered, answer);
        if (answer) QCOMPARE(std::memcmp(scan.mac.data(), kMacA, 6), 0);
    }

    // An entry is evidence of an answer only while its confirmation is
    // recent: the kernel keeps a vanished host's entry usable for a while.
    void neighbourEvidence_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("confirmedTicks");  // USER_HZ 100: 10 ms each
        QTest::addColumn<bool>("answer");
        const int window = 3000;  // ms: base 1000, delay 500, no earlier use
        QTest::newRow("reachable, just confirmed") << int(NUD_REACHABLE) << 0 << true;
        QTest::newRow("stale within the window") << int(NUD_STALE) << window / 10 << true;
        QTest::newRow("stale beyond the window") << int(NUD_STALE) << window / 10 + 1 << false;
        QTest::newRow("delay within the window") << int(NUD_DELAY) << 200 << true;
        QTest::newRow("reachable, no cache info") << int(NUD_REACHABLE) << -1 << false;
        QTest::newRow("probe, just confirmed") << int(NUD_PROBE) << 0 << false;
        QTest::newRow("permanent, old") << int(NUD_PERMANENT) << 100000 << true;
        QTest::newRow("failed") << int(NUD_FAILED) << 0 << false;
    }
    void neighbourEvidence() {
        QFETCH(int, state);
        QFETCH(int, confirmedTicks);
        QFETCH(bool, answer);
        NetlinkBuffer b;
        b.Neighbour(kIndex, uint16_t(state), "10.0.0.5", kMacA, RTM_NEWNEIGH, confirmedTicks);
        NeighbourScan scan;
        neighbour_detail::ScanNeighbourMessages(b.bytes.constData(), b.bytes.size(), Ip("10.0.0.5"),
                                                kIndex, scan, 100);
        QCOMPARE(neighbour_detail::ShowsRecentAnswer(scan, {{1000, 500}, {}}, 0), answer);
    }

    // A host still there is re-confirmed within 1.5 x base reachable time
    // plus the first-probe delay, or plus the time until its next use.
    void evidenceWindow_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("sinceUse");
        QTest::addColumn<int>("window");
        QTest::newRow("kernel defaults, used often") << 30000 << 5000 << 2000 << 51000;
        QTest::newRow("kernel defaults, swept every 19 s") << 30000 << 5000 << 19000 << 65000;
        QTest::newRow("unused for an hour") << 30000 << 5000 << 3600000 << 166000;
        QTest::newRow("short timers") << 1000 << 1000 << 0 << 3500;
    }
    void evidenceWindow() {
        QFETCH(int, base);
        QFETCH(int, delay);
        QFETCH(int, sinceUse);
        QFETCH(int, window);
        QCOMPARE(neighbour_detail::EvidenceWindowMs({base, delay}, sinceUse), int64_t(window));
    }

    // Once one of our uses came after the entry could leave reachable, a
    // host still there was asked delay_first_probe_time after the first such
    // use, however close together the later uses are.
    void confirmationCounts_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QList<int>>("earlier");  // ms before the current use
        QTest::addColumn<int>("age");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<bool>("counts");
        const QList<int> every2s{2000, 4000, 6000, 8000, 10000, 12000};
        QTest::newRow("used every 2 s, asked by now") << 30000 << 5000 << every2s << 52999 << 0
                                                      << true;
        QTest::newRow("used every 2 s, unanswered") << 30000 << 5000 << every2s << 53000 << 0
                                                    << false;
        // Sweeps 19 s apart: the one before last turned it to delay.
        QTest::newRow("swept every 19 s, not re-confirmed")
            << 30000 << 5000 << QList<int>{19000, 38000} << 65000 << 0 << false;
        QTest::newRow("stale unused for an hour") << 30000 << 5000 << QList<int>{3600000}
                                                  << 166000 << 0 << true;
        // Two sweeps 0.7 s apart, the earlier one 3.9 s after the
        // confirmation: the host is being asked right now.
        QTest::newRow("back-to-back sweeps, being asked")
            << 1000 << 1000 << QList<int>{780, 3950} << 3700 << 400 << true;
        QTest::newRow("back-to-back sweeps, not answered")
            << 1000 << 1000 << QList<int>{1700, 3950} << 3700 << 400 << false;
    }
    void confirmationCounts() {
        QFETCH(int, base);
        QFETCH(int, delay);
        QFETCH(QList<int>, earlier);
        QFETCH(int, age);
        QFETCH(int, elapsed);
        QFETCH(bool, counts);
        const neighbour_detail::NeighbourUses uses{{base, delay},
                                                   std::vector<int64_t>(earlier.begin(),
                                                                        earlier.end())};
        QCOMPARE(neighbour_detail::ConfirmationCounts(uses, age, elapsed), counts);
    }

    // Which entry in a buffer is taken, and what is ignored.
    void neighbourScan_data() {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<bool>("seen");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("error");
        NetlinkBuffer other;
        other.Neighbour(kIndex, NUD_REACHABLE, "10.0.0.6", kMacB);
        QTest::newRow("other address") << other.bytes << false << false << 0;
        NetlinkBuffer otherIf;
        otherIf.Neighbour(kIndex + 1, NUD_REACHABLE, "10.0.0.5", kMacB);
        QTest::newRow("other interface") << otherIf.bytes << false << false << 0;
        NetlinkBuffer deleted;
        deleted.Neighbour(kIndex, NUD_REACHABLE, "10.0.0.5", kMacB, RTM_DELNEIGH);
        QTest::newRow("deletion notice") << deleted.bytes << false << false << 0;
        NetlinkBuffer noMac;
        noMac.Neighbour(kIndex, NUD_STALE, "10.0.0.5", nullptr);
        QTest::newRow("no link-layer address") << noMac.bytes << true << false << 0;
        NetlinkBuffer dump;
        dump.Neighbour(kIndex, NUD_REACHABLE, "10.0.0.4", kMacB);
        dump.Neighbour(kIndex, NUD_DELAY, "10.0.0.5", kMacA);
        dump.Done();
        QTest::newRow("dump, second entry") << dump.bytes << true << true << 0;
        NetlinkBuffer missing;
        missing.Error(ENOENT);
        QTest::newRow("no entry") << missing.bytes << false << false << ENOENT;
        NetlinkBuffer truncated;
        truncated.Neighbour(kIndex, NUD_REACHABLE, "10.0.0.5", kMacA);
        truncated.bytes.chop(8);  // the message claims more than the buffer holds
        QTest::newRow("truncated") << truncated.bytes << false << false << 0;
        NetlinkBuffer badAttr;
        badAttr.Neighbour(kIndex, NUD_REACHABLE, "10.0.0.5", kMacA);
        // NDA_DST's rta_len claims 200 bytes.
        const unsigned short huge = 200;
        std::memcpy(badAttr.bytes.data() + NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ndmsg)), &huge, 2);
        QTest::newRow("attribute overruns") << badAttr.bytes << false << false << 0;
    }
    void neighbourScan() {
        QFETCH(QByteArray, buffer);
        QFETCH(bool, seen);
        QFETCH(bool, answered);
        QFETCH(int, error);
        // A copy of exactly the buffer's size, so a read past it is caught by
        // AddressSanitizer.
        std::vector<char> exact(buffer.begin(), buffer.end());
        NeighbourScan scan;
        neighbour_detail::ScanNeighbourMessages(exact.data(), exact.size(), Ip("10.0.0.5"), kIndex,
                                                scan);
        QCOMPARE(scan.seen, seen);
        QCOMPARE(scan.answered, answered);
        QCOMPARE(scan.error, error);
        if (answered) QCOMPARE(std::memcmp(scan.mac.data(), kMacA, 6), 0);
    }

    void shareFilter_data() {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("kept");
        QTest::newRow("disk") << 3u << "docs" << true;
        QTest::newRow("printer") << 4u << "laser" << true;
        QTest::newRow("admin disk") << 3u << "C$" << false;
        QTest::newRow("ipc") << 6u << "IPC$" << false;
        QTest::newRow("workgroup") << 1u << "WORKGROUP" << false;
        QTest::newRow("server") << 2u << "BOX" << false;
        QTest::newRow("dollar inside") << 3u << "a$b" << true;
        QTest::newRow("directory") << 7u << "docs" << false;
    }
    void shareFilter() {
        QFETCH(uint, type);
        QFETCH(QString, name);
        QFETCH(bool, kept);
        QCOMPARE(smb_detail::KeepShare(type, name), kept);
    }

    // Peers' texts reach lists, notices and the log only through this.
    void networkText_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("out");
        QTest::newRow("plain Chinese") << u"共享 docs"_qs << 255 << u"共享 docs"_qs;
        QTest::newRow("line break, tab, DEL, C1")
            << u"a\nb\tc\x7f\u0085d"_qs << 255 << u"abcd"_qs;
        QTest::newRow("override and isolate")
            << u"evil\u202Egpj.exe\u2066x\u2069"_qs << 255 << u"evilgpj.exex"_qs;
        QTest::newRow("marks and BOM") << u"\uFEFFa\u200Fb\u061C"_qs << 255 << u"ab"_qs;
        QTest::newRow("cut at the bound") << u"abcdef"_qs << 4 << u"abcd"_qs;
        QTest::newRow("never half a pair") << u"ab\U0001F600"_qs << 3 << u"ab"_qs;
        QTest::newRow("lone surrogate") << u"a"_qs + QChar(0xD800) + u"b"_qs << 255 << u"ab"_qs;
    }
    void networkText() {
        QFETCH(QString, in);
        QFETCH(int, max);
        QFETCH(QString, out);
        QCOMPARE(CleanNetworkText(in, max), out);
    }

    // Host texts go into an smb:// URL; anything that could change its meaning
    // is refused before any connection is tried.
    void shareHostText_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("plain");
        QTest::newRow("address") << "10.213.7.2" << true;
        QTest::newRow("name") << "file-server_1.lan" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("user info") << "guest:pw@10.0.0.1" << false;
        QTest::newRow("path") << "10.0.0.1/docs" << false;
        QTest::newRow("port") << "10.0.0.1:139" << false;
        QTest::newRow("query") << "host?x=1" << false;
        QTest::newRow("space") << "my host" << false;
        QTest::newRow("backslashes") << "\\\\host" << false;
    }
    void shareHostText() {
        QFETCH(QString, host);
        QFETCH(bool, plain);
        QCOMPARE(smb_detail::IsPlainHost(host), plain);
        if (!plain) {
            QElapsedTimer t;
            t.start();
            QVERIFY(ListHostShares(host, 500).isEmpty());
            QVERIFY(t.elapsed() < 100);
        }
    }

    // Texts that are no IPv4 address are silent at once and clear the MAC.
    void resolveRejectsBadText_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << "";
        QTest::newRow("name") << "localhost";
        QTest::newRow("too many parts") << "10.0.0.1.5";
        QTest::newRow("out of range") << "10.0.0.256";
        QTest::newRow("ipv6") << "::1";
    }
    void resolveRejectsBadText() {
        QFETCH(QString, address);
        QString mac = "left over";
        QElapsedTimer t;
        t.start();
        QVERIFY(!ResolveMac(address, mac, 1000));
        QVERIFY(mac.isEmpty());
        QVERIFY(t.elapsed() < 100);
    }

    void ownAddressAnswers_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("ifname");
        for (int mode : {int(ResolveMode::RawArp), int(ResolveMode::NeighbourTable)}) {
            const char* m = mode == int(ResolveMode::RawArp) ? "raw" : "neigh";
            QTest::addRow("%s first", m) << mode << "10.213.9.1"
                                         << "veth0";
            QTest::addRow("%s second interface", m) << mode << "10.213.9.2"
                                                    << "veth1";
        }
    }
    void ownAddressAnswers() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(QString, ifname);
        QString mac;
        QVERIFY(ResolveMacWith(ResolveMode(mode), address, mac, 500));
        QCOMPARE(mac, LinkMac(ifname.toLatin1().constData()));
        QVERIFY(LocalIPv4Addresses().contains(address));
    }

    // Up interfaces only, loopback left out, in interface order; a link that
    // is down or a host route faces no neighbour.
    void localAddresses() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        // The kernel numbers a veth pair's peer first.
        const QStringList veth0{"10.213.9.1", "10.214.0.1"};
        const QStringList veth1{"10.213.9.2", "10.213.11.1"};
        const QStringList veth4{"10.213.12.1"};
        QCOMPARE(LocalIPv4Addresses(),
                 (if_nametoindex("veth0") < if_nametoindex("veth1") ? veth0 + veth1 : veth1 + veth0) +
                     veth4);
        QString mac;
        QElapsedTimer t;
        t.start();
        QVERIFY(!ResolveMacWith(ResolveMode::RawArp, "10.213.10.5", mac, 400));
        QVERIFY(!ResolveMacWith(ResolveMode::NeighbourTable, "10.213.11.2", mac, 400));
        QVERIFY(t.elapsed() < 100);
        // The host route's own address still answers, with its link's MAC.
        QVERIFY(ResolveMacWith(ResolveMode::RawArp, "10.213.11.1", mac, 400));
        QCOMPARE(mac, LinkMac("veth1"));
    }

    // Two links on one subnet: the one the kernel routes through is used, so
    // that the neighbour table is read where the kernel resolves.
    void interfaceFollowsTheRoute() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        auto routes = [](const char* first, const char* second) {
            std::system("ip route flush 10.213.9.0/24");
            std::system(qPrintable(
                QStringLiteral("ip route add 10.213.9.0/24 dev %1 metric 10").arg(first)));
            std::system(qPrintable(
                QStringLiteral("ip route add 10.213.9.0/24 dev %1 metric 20").arg(second)));
        };
        for (const char* preferred : {"veth0", "veth1"}) {
            routes(preferred, strcmp(preferred, "veth0") == 0 ? "veth1" : "veth0");
            const int index = int(if_nametoindex(preferred));
            QCOMPARE(DirectRouteInterface(Ip("10.213.9.77")), index);
            auto itf = InterfaceFacing(Ip("10.213.9.77"));
            QVERIFY(itf);
            QCOMPARE(itf->index, index);
        }
        routes("veth0", "veth1");
        // Via a router, or no route at all: no direct interface.
        std::system("ip route add 10.77.0.0/16 via 10.213.9.50");
        QCOMPARE(DirectRouteInterface(Ip("10.77.1.1")), 0);
        QCOMPARE(DirectRouteInterface(Ip("10.99.0.1")), 0);
    }

    // Silence costs the deadline and no more; an address no interface faces
    // costs nothing.
    void silentWithinDeadline_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("deadline");
        QTest::addColumn<int>("minMs");
        for (int mode : {int(ResolveMode::RawArp), int(ResolveMode::NeighbourTable),
                         int(ResolveMode::Helper)}) {
            const char* m = mode == int(ResolveMode::RawArp)   ? "raw"
                            : mode == int(ResolveMode::Helper) ? "helper"
                                                               : "neigh";
            QTest::addRow("%s unused on subnet", m) << mode << "10.213.9.77" << 400 << 380;
            QTest::addRow("%s zero deadline", m) << mode << "10.213.9.78" << 0 << 0;
            QTest::addRow("%s off every subnet", m) << mode << "10.99.0.1" << 400 << 0;
        }
    }
    void silentWithinDeadline() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(int, deadline);
        QFETCH(int, minMs);
        // The deadline bounds each resolution; starting the helper is once
        // per process.
        if (ResolveMode(mode) == ResolveMode::Helper) QVERIFY(CanUseArpHelper());
        QString mac = "x";
        QElapsedTimer t;
        t.start();
        QVERIFY(!ResolveMacWith(ResolveMode(mode), address, mac, deadline));
        QVERIFY(mac.isEmpty());
        QVERIFY2(t.elapsed() >= minMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(t.elapsed() <= deadline + 250, qPrintable(QString::number(t.elapsed())));
    }

    // 256 callers at once: silent ones all wait in parallel (the whole batch
    // takes about one deadline), own addresses answer correctly meanwhile.
    void manyConcurrentCallers() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        const QString own = LinkMac("veth0");
        constexpr int kCallers = 256;
        constexpr int kDeadline = 400;
        std::atomic<int> wrong{0};
        std::atomic<int> answered{0};
        std::vector<std::thread> threads;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kCallers; ++i) {
            threads.emplace_back([&, i] {
                const bool self = i % 16 == 0;
                const QString address = self ? QStringLiteral("10.213.9.1")
                                             : QStringLiteral("10.213.9.%1").arg(100 + i % 150);
                const ResolveMode modes[] = {ResolveMode::RawArp, ResolveMode::NeighbourTable,
                                             ResolveMode::Helper};
                const ResolveMode mode = modes[i % 3];
                QString mac;
                const bool ok = ResolveMacWith(mode, address, mac, kDeadline);
                if (ok != self || (self && mac != own)) ++wrong;
                if (ok) ++answered;
            });
        }
        for (auto& th : threads) th.join();
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(answered.load(), kCallers / 16);
        // Serial waits would take 64 deadlines; a sanitizer's slower threads
        // get more room below that.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        constexpr int kRounds = 12;
#else
        constexpr int kRounds = 4;
#endif
        QVERIFY2(t.elapsed() < kRounds * kDeadline, qPrintable(QString::number(t.elapsed())));
    }

    // The helper holds a raw socket for unprivileged users: anything but ARP
    // for an address of a directly attached subnet is refused unsent.
    void helperRefuses_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("target");  // what a wrongly served request would ask for
        QTest::addColumn<uint32_t>("id");
        const auto row = [](const char* name, const char* ifname, const char* target) {
            QTest::newRow(name) << HelperRequest(ifname, target) << target << 42u;
        };
        row("off every subnet", "veth0", "10.99.0.1");
        row("another interface's subnet", "veth0", "10.213.10.5");
        row("subnet broadcast", "veth0", "10.213.9.255");
        row("network address", "veth0", "10.213.9.0");
        row("the interface's own address", "veth0", "10.213.9.1");
        row("limited broadcast", "veth0", "255.255.255.255");
        row("loopback", "lo", "127.0.0.2");
        row("interface down", "veth2", "10.213.10.5");
        row("host route", "veth1", "10.213.11.2");
        row("NOARP interface", "veth4", "10.213.12.5");
        QTest::newRow("no such interface")
            << QByteArray(HelperRequest("veth0", "10.213.9.210")).replace(4, 4, "\x77\x77\0\0", 4)
            << "10.213.9.210" << 42u;
        QTest::newRow("one byte too long")
            << HelperRequest("veth0", "10.213.9.201") + 'x' << "10.213.9.201" << 42u;
        QTest::newRow("one byte too short")
            << HelperRequest("veth0", "10.213.9.202").chopped(1) << "10.213.9.202" << 42u;
        QTest::newRow("three bytes") << QByteArray("\x01\x02\x03", 3) << "10.213.9.203" << 0u;
    }
    void helperRefuses() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QFETCH(QByteArray, message);
        QFETCH(QString, target);
        QFETCH(uint32_t, id);
        ArpWatch watch(qPrintable(target));
        QVERIFY(watch.valid());
        vx::arp_helper::Reply reply{};
        QVERIFY(AskHelper(message, reply));
        QCOMPARE(reply.id, id);
        QCOMPARE(int(reply.status), int(vx::arp_helper::kRefused));
        QCOMPARE(watch.Requests(100), 0);
    }

    // What it does serve goes out (answers are the lab's to show).
    void helperServes() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        vx::arp_helper::Reply reply{};
        ArpWatch watch("10.213.9.204");
        QVERIFY(AskHelper(HelperRequest("veth0", "10.213.9.204", 8), reply));
        QCOMPARE(reply.id, 8u);
        QCOMPARE(int(reply.status), int(vx::arp_helper::kSilent));
        QVERIFY(watch.Requests(100) >= 1);
    }

    // One request per target however often it is asked while pending, and
    // every asker gets the outcome.
    void helperMergesDuplicateTargets() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        pid_t pid = -1;
        const int fd = neighbour_detail::StartArpHelper(ArpHelperPath().toStdString(), pid);
        QVERIFY(fd >= 0);
        RequestCounter counter("veth1", "10.213.9.206");
        for (uint32_t id = 1; id <= 5; ++id) {
            const QByteArray r = HelperRequest("veth0", "10.213.9.206", id);
            QCOMPARE(::send(fd, r.constData(), r.size(), 0), r.size());
        }
        QSet<uint32_t> silent;
        vx::arp_helper::Reply reply{};
        pollfd p{fd, POLLIN, 0};
        while (silent.size() < 5 && ::poll(&p, 1, 2000) == 1 &&
               neighbour_detail::ReadHelperReply(fd, reply)) {
            QCOMPARE(int(reply.status), int(vx::arp_helper::kSilent));
            silent.insert(reply.id);
        }
        QCOMPARE(silent, (QSet<uint32_t>{1, 2, 3, 4, 5}));
        // The first request and one repeat inside the 300 ms deadline.
        QCOMPARE(counter.Count(), 2);
        ::close(fd);
        ::waitpid(pid, nullptr, 0);
    }

    // Short deadlines are raised to the minimum: a request holds its slot.
    void helperMinimumDeadline() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QByteArray r = HelperRequest("veth0", "10.213.9.207", 9);
        const uint32_t one = 1;
        r.replace(12, 4, reinterpret_cast<const char*>(&one), 4);
        QElapsedTimer t;
        t.start();
        vx::arp_helper::Reply reply{};
        QVERIFY(AskHelper(r, reply));
        QCOMPARE(int(reply.status), int(vx::arp_helper::kSilent));
        QVERIFY2(t.elapsed() >= int(vx::arp_helper::kMinDeadlineMs) - 5,
                 qPrintable(QString::number(t.elapsed())));
    }

    // Distinct targets as fast as a caller can send them: what reaches the
    // wire is bounded by the token bucket, and the burst does go out.
    void helperRateIsBounded() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        pid_t pid = -1;
        const int fd = neighbour_detail::StartArpHelper(ArpHelperPath().toStdString(), pid);
        QVERIFY(fd >= 0);
        RequestCounter counter("veth1");
        std::atomic<bool> done{false};
        // Counted as they come: a socket's queue holds a few hundred frames.
        std::thread count([&] {
            while (!done) counter.Count(10);
        });
        std::thread drain([&] {
            vx::arp_helper::Reply reply{};
            pollfd p{fd, POLLIN, 0};
            while (!done)
                if (::poll(&p, 1, 20) == 1) neighbour_detail::ReadHelperReply(fd, reply);
        });
        QElapsedTimer t;
        t.start();
        for (uint32_t i = 0; t.elapsed() < 1500; ++i) {
            char target[32];
            std::snprintf(target, sizeof target, "10.214.%u.%u", 1 + (i / 250) % 250, 1 + i % 250);
            const vx::arp_helper::Request r{i + 1, int32_t(if_nametoindex("veth0")), Ip(target), 1000};
            ::send(fd, &r, sizeof r, MSG_DONTWAIT);
            if (i % 64 == 0) QThread::usleep(200);
        }
        // The helper ends at EOF; what it sent until then is all it sends.
        ::shutdown(fd, SHUT_RDWR);
        ::waitpid(pid, nullptr, 0);
        const double seconds = t.elapsed() / 1000.0;
        done = true;
        count.join();
        drain.join();
        ::close(fd);
        const int frames = counter.Count(0);
        const double bound = vx::arp_helper::kRequestBurst + vx::arp_helper::kRequestsPerSecond * seconds;
        QVERIFY2(frames <= bound * 1.05 && frames >= vx::arp_helper::kRequestBurst,
                 qPrintable(QStringLiteral("%1 frames in %2 s").arg(frames).arg(seconds)));
    }

    // A helper started with anything but a local seqpacket socket as its
    // channel exits before it opens its packet socket.
    void helperChecksItsChannel() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        const int file = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int stream[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stream), 0);
        QCOMPARE(HelperExitWithChannel(file), 2);
        QCOMPARE(HelperExitWithChannel(udp), 2);
        QCOMPARE(HelperExitWithChannel(stream[1]), 2);
        for (int fd : {file, udp, stream[0], stream[1]}) ::close(fd);
    }

    // A whole sweep of a /24 read address by address, one after another as
    // at thread limit 1, costs one deadline in every route; own addresses
    // answer with their links' MACs.
    void sweepCostsOneDeadline_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("raw") << int(ResolveMode::RawArp);
        QTest::newRow("helper") << int(ResolveMode::Helper);
        QTest::newRow("neigh") << int(ResolveMode::NeighbourTable);
    }
    void sweepCostsOneDeadline() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QFETCH(int, mode);
        if (ResolveMode(mode) == ResolveMode::Helper) QVERIFY(CanUseArpHelper());
        QStringList addresses;
        for (int i = 1; i <= 254; ++i) addresses << QStringLiteral("10.213.9.%1").arg(i);
        addresses << "10.99.0.1";  // no interface faces it
        constexpr int kDeadline = 400;
        QElapsedTimer t;
        t.start();
        ArpSweep sweep(addresses, ResolveMode(mode), kDeadline);
        QStringList answered;
        for (const QString& a : addresses) {
            QString mac;
            QStringList others;
            if (sweep.Wait(a, mac, &others)) answered << a + '=' + mac;
            QVERIFY(others.isEmpty());
        }
        QCOMPARE(answered, (QStringList{"10.213.9.1=" + LinkMac("veth0"),
                                        "10.213.9.2=" + LinkMac("veth1")}));
        QVERIFY2(t.elapsed() >= kDeadline - 20 && t.elapsed() < kDeadline + 600,
                 qPrintable(QString::number(t.elapsed())));
        QString mac;
        QVERIFY(!sweep.Wait("10.213.9.99", mac));  // after the deadline: at once
        QVERIFY(!sweep.Wait("10.213.9.255x", mac));
    }

    // Two stations answering for one address: both MACs are kept, the first
    // as the answer; a stopped wait ends at once; destruction mid-sweep too.
    void sweepKeepsEveryMac_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("raw") << int(ResolveMode::RawArp);
        QTest::newRow("helper") << int(ResolveMode::Helper);
    }
    void sweepKeepsEveryMac() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QFETCH(int, mode);
        if (ResolveMode(mode) == ResolveMode::Helper) QVERIFY(CanUseArpHelper());
        Claimants claimants("10.213.9.50", {{0x02, 0, 0, 0, 0x50, 0x0A}, {0x02, 0, 0, 0, 0x50, 0x0B}});
        QElapsedTimer t;
        t.start();
        auto sweep = std::make_unique<ArpSweep>(
            QStringList{"10.213.9.50", "10.213.9.51", "10.213.9.52"}, ResolveMode(mode), 2000);
        QString mac;
        QStringList others;
        QVERIFY(sweep->Wait("10.213.9.50", mac, &others));
        QCOMPARE(mac, QStringLiteral("02.00.00.00.50.0A"));
        QCOMPARE(others, QStringList{"02.00.00.00.50.0B"});
        QVERIFY2(t.elapsed() < 300, qPrintable(QString::number(t.elapsed())));
        t.restart();
        QVERIFY(!sweep->Wait("10.213.9.51", mac, &others, [] { return true; }));
        sweep.reset();
        QVERIFY2(t.elapsed() < 100, qPrintable(QString::number(t.elapsed())));
    }

    // Nothing listens on 445 in the private namespace: refused at once.
    void shareListingRefused() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        QElapsedTimer t;
        t.start();
        QVERIFY(ListHostShares("10.213.9.2", 2000).isEmpty());
        QVERIFY(t.elapsed() < 1500);
    }

    // A server that takes connections and never answers: listings against
    // it run side by side, each killed at its deadline, and a stopped one
    // ends at once.
    void listingsAreParallelAndBounded() {
        if (!g_privateNet) QSKIP("needs root for a private network namespace");
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(server >= 0);
        const int one = 1;
        ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(445);
        at.sin_addr.s_addr = Ip("10.213.9.2");
        QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0);
        QVERIFY(::listen(server, 64) == 0);

        constexpr int kListings = 6;
        constexpr int kTimeoutMs = 800;
        std::atomic<int> nonEmpty{0};
        std::atomic<bool> stop{false};
        std::atomic<qint64> stoppedAfter{-1};
        QElapsedTimer t;
        t.start();
        std::vector<std::thread> threads;
        for (int i = 0; i < kListings; ++i)
            threads.emplace_back([&] {
                if (!ListHostShares("10.213.9.2", kTimeoutMs).isEmpty()) ++nonEmpty;
            });
        threads.emplace_back([&] {
            ListHostShares("10.213.9.2", 5000, [&] { return stop.load(); });
            stoppedAfter = t.elapsed();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
        const qint64 stopAt = t.elapsed();
        for (auto& th : threads) th.join();
        const qint64 all = t.elapsed();
        ::close(server);
        QCOMPARE(nonEmpty.load(), 0);
        QVERIFY2(all >= kTimeoutMs && all < kTimeoutMs + 400, qPrintable(QString::number(all)));
        QVERIFY2(stoppedAfter - stopAt < 100, qPrintable(QString::number(stoppedAfter - stopAt)));
    }

    // Output of a lister cut off before its end line lists nothing.
    void listerOutput_data() {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("two shares") << QByteArray("docs\nmusic\n.\n") << QStringList{"docs", "music"};
        QTest::newRow("none") << QByteArray(".\n") << QStringList{};
        QTest::newRow("cut off") << QByteArray("docs\nmus") << QStringList{};
        QTest::newRow("no end line") << QByteArray("docs\nmusic\n") << QStringList{};
        QTest::newRow("UTF-8 name") << QByteArray("\xe6\x96\x87\xe6\xa1\xa3\n.\n")
                                    << QStringList{QStringLiteral("文档")};
        // Names are the server's text: no control or reordering character
        // reaches a list, a notice or the log.
        QTest::newRow("controls and overrides dropped")
            << QByteArray("do\x1b[2Jcs\nfoo\xe2\x80\xaegpj.exe\n\x07\xe2\x80\x8f\n.\n")
            << QStringList{"do[2Jcs", "foogpj.exe"};
        QTest::newRow("administrative name in disguise")
            << QByteArray("admin$\xe2\x81\xa6\nc$\x7f\npublic\n.\n") << QStringList{"public"};
    }
    void listerOutput() {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, names);
        QCOMPARE(smb_detail::ParseListerOutput(output), names);
    }
};

namespace {

// Gives the process a network namespace of its own with a veth pair. Runs
// before any thread exists, so every later thread lives in it too.
bool EnterPrivateNetwork() {
    if (geteuid() != 0) return false;
    if (unshare(CLONE_NEWNET) != 0) return false;
    const char* steps[] = {
        "ip link set lo up",
        "ip link add veth0 type veth peer name veth1",
        "ip addr add 10.213.9.1/24 dev veth0",
        "ip addr add 10.213.9.2/24 dev veth1",
        "ip link set veth0 up",
        "ip link set veth1 up",
        // An address on a link that is down, and a host route (/32).
        "ip link add veth2 type veth peer name veth3",
        "ip addr add 10.213.10.1/24 dev veth2",
        "ip addr add 10.213.11.1/32 dev veth1",
        // A link marked NOARP, and a /16 with room for thousands of targets.
        "ip link add veth4 type veth peer name veth5",
        "ip addr add 10.213.12.1/24 dev veth4",
        "ip link set veth4 arp off",
        "ip link set veth4 up",
        "ip link set veth5 up",
        "ip addr add 10.214.0.1/16 dev veth0",
    };
    for (const char* step : steps)
        if (std::system(step) != 0) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    g_privateNet = EnterPrivateNetwork();
    // libsmbclient reads ~/.smb/smb.conf; keep the user's out of the test.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    NetPlatformTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NetPlatformTest.moc"
