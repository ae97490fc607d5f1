#include <QElapsedTimer>
#include <QtTest>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "platform/HostNames.h"

using namespace vx::platform;
using namespace vx::platform::hostnames_detail;
using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

void Put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

// A node-status reply: `entries` as (name, suffix, group).
Bytes NodeStatus(uint16_t id, const std::vector<std::tuple<std::string, uint8_t, bool>>& entries,
                 int claimedCount = -1) {
    Bytes b = NodeStatusQuery(id);
    b[2] = 0x84;  // response, authoritative
    b[5] = 0;     // no question
    b[7] = 1;     // one answer (the question's name and type serve as its owner)
    b.insert(b.end(), {0, 0, 0, 0});  // TTL
    Put16(b, uint16_t(1 + entries.size() * 18));
    b.push_back(uint8_t(claimedCount >= 0 ? claimedCount : int(entries.size())));
    for (const auto& [name, suffix, group] : entries) {
        std::string padded = name;
        padded.resize(15, ' ');
        b.insert(b.end(), padded.begin(), padded.end());
        b.push_back(suffix);
        Put16(b, group ? 0x8400 : 0x0400);
    }
    return b;
}

// A reply to PtrQuery(id, question) with one PTR record owned by `owner`
// (the question's name through a pointer when equal) pointing at `target`.
Bytes PtrReply(uint16_t id, const std::string& question, const std::string& owner,
               const std::string& target, uint8_t rcode = 0) {
    Bytes b = PtrQuery(id, question, false);
    b[2] = 0x81;
    b[3] = 0x80 | rcode;
    b[7] = 1;
    if (owner == question) {
        b.insert(b.end(), {0xC0, 12});
    } else {
        const Bytes other = PtrQuery(0, owner, false);
        b.insert(b.end(), other.begin() + 12, other.end() - 4);
    }
    Put16(b, 12);
    Put16(b, 1);
    b.insert(b.end(), {0, 0, 0, 10});
    const Bytes name = PtrQuery(0, target, false);
    Put16(b, uint16_t(name.size() - 16));
    b.insert(b.end(), name.begin() + 12, name.end() - 4);
    return b;
}

uint32_t Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

// A UDP server on 127.0.0.1 that answers each request with `reply(request)`
// after `delayMs` (an empty reply: stays silent).
class FakeServer {
public:
    FakeServer(std::function<Bytes(const Bytes&)> reply, int delayMs)
        : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = Ip("127.0.0.1");
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof m_address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_address), &len);
        m_thread = std::thread([this, reply, delayMs] {
            pollfd p{m_fd, POLLIN, 0};
            while (poll(&p, 1, 3000) > 0) {
                uint8_t buf[1500];
                sockaddr_in from{};
                socklen_t fromLen = sizeof from;
                const ssize_t n = recvfrom(m_fd, buf, sizeof buf, 0,
                                           reinterpret_cast<sockaddr*>(&from), &fromLen);
                if (n <= 0) return;
                const Bytes answer = reply(Bytes(buf, buf + n));
                if (answer.empty()) continue;
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                sendto(m_fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLen);
                return;
            }
        });
    }
    ~FakeServer() {
        shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        close(m_fd);
    }
    sockaddr_in Address() const { return m_address; }
    uint16_t Port() const { return ntohs(m_address.sin_port); }

private:
    int m_fd;
    sockaddr_in m_address{};
    std::thread m_thread;
};

uint16_t IdOf(const Bytes& request) { return uint16_t(request[0] << 8 | request[1]); }

}  // namespace

class HostNamesTest : public QObject {
    Q_OBJECT

private slots:
    void nodeStatus_data() {
        QTest::addColumn<Bytes>("reply");
        QTest::addColumn<QString>("name");
        QTest::addRow("workstation name") << NodeStatus(7, {{"WORKGROUP", 0, true}, {"PC-1", 0, false}})
                                          << "PC-1";
        QTest::addRow("server name when no workstation")
            << NodeStatus(7, {{"SRV", 0x20, false}, {"SRV", 0x03, false}}) << "SRV";
        QTest::addRow("workstation beats an earlier server")
            << NodeStatus(7, {{"SRV", 0x20, false}, {"WS", 0x00, false}}) << "WS";
        QTest::addRow("groups only") << NodeStatus(7, {{"WORKGROUP", 0, true}}) << "";
        QTest::addRow("other request") << NodeStatus(8, {{"PC-1", 0, false}}) << "";
        QTest::addRow("count beyond the data") << NodeStatus(7, {{"PC-1", 0, false}}, 2) << "";
        Bytes cut = NodeStatus(7, {{"PC-1", 0, false}});
        cut.resize(cut.size() - 3);
        QTest::addRow("cut short") << cut << "";
        QTest::addRow("a request, not a reply") << NodeStatusQuery(7) << "";
    }
    void nodeStatus() {
        QFETCH(Bytes, reply);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(ParseNodeStatus(reply.data(), reply.size(), 7)), name);
    }

    void ptrReply_data() {
        QTest::addColumn<Bytes>("reply");
        QTest::addColumn<bool>("checkId");
        QTest::addColumn<QString>("name");
        const std::string q = ReverseName(Ip("10.213.7.2"));
        QTest::addRow("answer") << PtrReply(5, q, q, "smb.lab") << true << "smb.lab";
        QTest::addRow("owner spelled out, other case")
            << PtrReply(5, q, "2.7.213.10.IN-ADDR.ARPA", "smb.lab") << true << "smb.lab";
        QTest::addRow("other owner") << PtrReply(5, q, "3.7.213.10.in-addr.arpa", "x") << true << "";
        QTest::addRow("no such name") << PtrReply(5, q, q, "x", 3) << true << "";
        QTest::addRow("other request") << PtrReply(6, q, q, "x") << true << "";
        QTest::addRow("other request, id not asked") << PtrReply(6, q, q, "m.local") << false
                                                     << "m.local";
        Bytes loop = PtrReply(5, q, q, "x");
        loop[12] = 0xC0;  // the question's name points at itself
        loop[13] = 12;
        QTest::addRow("pointer loop") << loop << true << "";
        Bytes past = PtrReply(5, q, q, "x");
        past.back() = 0xFF;  // no end to the target
        QTest::addRow("target runs off the end") << past << true << "";
    }
    void ptrReply() {
        QFETCH(Bytes, reply);
        QFETCH(bool, checkId);
        QFETCH(QString, name);
        const std::string q = ReverseName(Ip("10.213.7.2"));
        QCOMPARE(QString::fromStdString(ParsePtrReply(reply.data(), reply.size(), q, checkId, 5)),
                 name);
    }

    // The sources against fake servers on loopback: a better source's
    // answer wins, a worse one counts once the better ones are done, a
    // silent one costs its bound and no more.
    void preference_data() {
        QTest::addColumn<int>("dnsDelay");
        QTest::addColumn<bool>("dnsKnows");
        QTest::addColumn<int>("netbiosDelay");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("maxMs");
        QTest::addRow("dns first") << 0 << true << 0 << "dns.lab" << int(NameSource::Dns) << 150;
        QTest::addRow("dns later still wins") << 100 << true << 0 << "dns.lab"
                                              << int(NameSource::Dns) << 250;
        QTest::addRow("no such name: netbios") << 0 << false << 0 << "NBNAME"
                                               << int(NameSource::NetBios) << 150;
        QTest::addRow("dns silent: netbios after dns bound") << -1 << true << 0 << "NBNAME"
                                                             << int(NameSource::NetBios) << 450;
        QTest::addRow("all silent") << -1 << true << -1 << "" << int(NameSource::None) << 450;
    }
    void preference() {
        QFETCH(int, dnsDelay);
        QFETCH(bool, dnsKnows);
        QFETCH(int, netbiosDelay);
        QFETCH(QString, name);
        QFETCH(int, source);
        QFETCH(int, maxMs);
        const uint32_t target = Ip("127.0.0.1");
        const std::string reverse = ReverseName(target);
        FakeServer dns(
            [&](const Bytes& q) {
                return dnsDelay < 0 ? Bytes{}
                                    : PtrReply(IdOf(q), reverse, reverse, "dns.lab", dnsKnows ? 0 : 3);
            },
            std::max(dnsDelay, 0));
        FakeServer netbios(
            [&](const Bytes& q) {
                return netbiosDelay < 0 ? Bytes{} : NodeStatus(IdOf(q), {{"NBNAME", 0, false}});
            },
            std::max(netbiosDelay, 0));
        NameLookupConfig config;
        config.dnsMs = 300;
        config.netbiosMs = 200;
        config.dnsServers = {dns.Address()};
        config.netbiosPort = netbios.Port();
        config.mdnsPort = 0;
        QElapsedTimer t;
        t.start();
        const HostName found = LookUpHostName(target, config);
        QVERIFY2(t.elapsed() < maxMs, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(QString::fromStdString(found.name), name);
        QCOMPARE(int(found.source), source);
    }

    void cancelEndsALookup() {
        FakeServer silent([](const Bytes&) { return Bytes{}; }, 0);
        NameLookupConfig config;
        config.dnsServers = {silent.Address()};
        config.netbiosPort = 0;
        config.mdnsPort = 0;
        LookupCancel cancel;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            cancel.Cancel();
        });
        QElapsedTimer t;
        t.start();
        QCOMPARE(LookUpHostName(Ip("127.0.0.1"), config, &cancel).source, NameSource::None);
        stopper.join();
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(cancel.Cancelled());
    }
};

QTEST_GUILESS_MAIN(HostNamesTest)
#include "HostNamesTest.moc"
