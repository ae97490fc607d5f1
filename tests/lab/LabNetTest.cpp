// ARP resolution and share listing against the lab LAN, from its workstation.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "lab/LabSupport.h"
#include "platform/Neighbour.h"
#include "platform/SmbBrowser.h"
#include "plugins/common/EnumHostShares.h"

using namespace vx::platform;
using vx::lab::Lab;

namespace {

const char* ModeName(int mode) {
    switch (ResolveMode(mode)) {
    case ResolveMode::RawArp: return "raw";
    case ResolveMode::Helper: return "helper";
    case ResolveMode::NeighbourTable: return "neigh";
    default: return "auto";
    }
}

// The neighbour-table mode would otherwise answer from what an earlier row
// left in the table.
void ForgetNeighbours() { vx::lab::RunCommand({"ip", "neigh", "flush", "dev", "eth0"}); }

// Every route this process can take: an unprivileged one has no raw socket
// of its own.
void AddModeRows(const std::function<void(int, const char*)>& add) {
    for (ResolveMode mode : {ResolveMode::RawArp, ResolveMode::Helper, ResolveMode::NeighbourTable})
        if (mode != ResolveMode::RawArp || CanUseRawArp()) add(int(mode), ModeName(int(mode)));
}

int HostWithRole(const QString& role) {
    for (int n : Lab().Hosts())
        if (Lab().HostValue(n, "ROLE") == role) return n;
    return 0;
}

// Resolves .1 - .254 through `threads` workers; returns address -> MAC of
// every answer.
QMap<QString, QString> Sweep(ResolveMode mode, int threads, int deadlineMs) {
    const QString prefix = Lab().Value("VXLAB_SUBNET");
    std::atomic<int> next{1};
    std::mutex lock;
    QMap<QString, QString> found;  // guarded by lock
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            for (int i = next++; i <= 254; i = next++) {
                const QString address = QStringLiteral("%1.%2").arg(prefix).arg(i);
                QString mac;
                if (ResolveMacWith(mode, address, mac, deadlineMs)) {
                    std::lock_guard<std::mutex> g(lock);
                    found.insert(address, mac);
                }
            }
        });
    }
    for (auto& th : pool) th.join();
    return found;
}

// Removes CAP_NET_RAW from this process, as an unprivileged user runs it.
bool DropNetRaw() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned bit = 1u << (CAP_NET_RAW % 32);
    data[CAP_NET_RAW / 32].effective &= ~bit;
    data[CAP_NET_RAW / 32].permitted &= ~bit;
    data[CAP_NET_RAW / 32].inheritable &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

// Child mode: drop the capability, then answer each address with the
// process-default ResolveMac, one "address mac|-" line each.
int UnprivilegedChild(int argc, char** argv) {
    if (!DropNetRaw()) return 3;
    std::printf("raw=%d route=%s\n", CanUseRawArp() ? 1 : 0, ModeName(int(ActiveRoute())));
    for (int i = 2; i < argc; ++i) {
        QString mac;
        const bool ok = ResolveMac(QString::fromLatin1(argv[i]), mac, 1000);
        std::printf("%s %s\n", argv[i], ok ? qPrintable(mac) : "-");
    }
    return 0;
}

}  // namespace

class LabNetTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        // A failed row must not leave the flapping host down for the next.
        vx::lab::RunLabScript("link.sh", {"up"});
    }

    void resolvesEveryLiveHost_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mac");
        AddModeRows([](int mode, const char* m) {
            QTest::addRow("%s workstation itself", m)
                << mode << Lab().Value("VXLAB_WS_ADDR") << Lab().Value("VXLAB_WS_MAC");
            for (int n : Lab().Hosts())
                QTest::addRow("%s .%d %s", m, n, qPrintable(Lab().HostValue(n, "ROLE")))
                    << mode << Lab().HostValue(n, "ADDR") << Lab().HostValue(n, "MAC");
        });
    }
    void resolvesEveryLiveHost() {
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(QString, mac);
        QVERIFY(!mac.isEmpty());
        ForgetNeighbours();
        QString got;
        QVERIFY2(ResolveMacWith(ResolveMode(mode), address, got, 1000), qPrintable(address));
        QCOMPARE(got, mac);
    }

    void unusedAddressIsSilent_data() {
        QTest::addColumn<int>("mode");
        AddModeRows([](int mode, const char* m) { QTest::addRow("%s", m) << mode; });
    }
    void unusedAddressIsSilent() {
        QFETCH(int, mode);
        ForgetNeighbours();
        QString mac = "x";
        QElapsedTimer t;
        t.start();
        QVERIFY(!ResolveMacWith(ResolveMode(mode), Lab().Value("VXLAB_UNUSED_ADDR"), mac, 500));
        QVERIFY(mac.isEmpty());
        QVERIFY2(t.elapsed() >= 450 && t.elapsed() < 800, qPrintable(QString::number(t.elapsed())));
    }

    // The late host answers after its delay: found within a deadline longer
    // than the delay, silent with a shorter one (which also shows the kernel
    // there really stays quiet).
    void lateHost_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("deadline");
        QTest::addColumn<bool>("found");
        AddModeRows([](int mode, const char* m) {
            QTest::addRow("%s within 1000 ms", m) << mode << 1000 << true;
            QTest::addRow("%s within 150 ms", m) << mode << 150 << false;
        });
    }
    void lateHost() {
        QFETCH(int, mode);
        QFETCH(int, deadline);
        QFETCH(bool, found);
        const int n = HostWithRole("late");
        QVERIFY(n);
        const int delay = Lab().Value("VXLAB_LATE_DELAY_MS").toInt();
        // Replies to an earlier row's requests are still on their way; one
        // arriving now would complete this row's table entry early.
        QThread::msleep(delay + 150);
        ForgetNeighbours();
        QString mac;
        QElapsedTimer t;
        t.start();
        QCOMPARE(ResolveMacWith(ResolveMode(mode), Lab().HostValue(n, "ADDR"), mac, deadline),
                 found);
        if (found) {
            QCOMPARE(mac, Lab().HostValue(n, "MAC"));
            QVERIFY2(t.elapsed() >= delay - 50, qPrintable(QString::number(t.elapsed())));
        }
        QVERIFY(t.elapsed() <= deadline + 200);
    }

    void flappingHost_data() {
        QTest::addColumn<int>("mode");
        AddModeRows([](int mode, const char* m) { QTest::addRow("%s", m) << mode; });
    }
    void flappingHost() {
        QFETCH(int, mode);
        const int n = HostWithRole("flap");
        QVERIFY(n);
        const QString address = Lab().HostValue(n, "ADDR");
        QString mac;
        QVERIFY(ResolveMacWith(ResolveMode(mode), address, mac, 1000));
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"down"}), 0);
        ForgetNeighbours();
        QVERIFY(!ResolveMacWith(ResolveMode(mode), address, mac, 600));
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"up"}), 0);
        QVERIFY(ResolveMacWith(ResolveMode(mode), address, mac, 1500));
        QCOMPARE(mac, Lab().HostValue(n, "MAC"));
    }

    // A whole /24 with many concurrent callers finds exactly the live hosts.
    void sweepFindsExactlyTheLiveHosts_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("threads");
        AddModeRows([](int mode, const char* m) {
            QTest::addRow("%s 256 threads", m) << mode << 256;
            QTest::addRow("%s 32 threads", m) << mode << 32;
        });
    }
    void sweepFindsExactlyTheLiveHosts() {
        QFETCH(int, mode);
        QFETCH(int, threads);
        ForgetNeighbours();
        const QMap<QString, QString> found = Sweep(ResolveMode(mode), threads, 500);
        QStringList live = Lab().LiveAddresses();
        QStringList got = found.keys();
        live.sort();
        got.sort();
        QCOMPARE(got, live);
        QCOMPARE(found.value(Lab().Value("VXLAB_WS_ADDR")), Lab().Value("VXLAB_WS_MAC"));
        for (int n : Lab().Hosts())
            QCOMPARE(found.value(Lab().HostValue(n, "ADDR")), Lab().HostValue(n, "MAC"));
    }

    // Without CAP_NET_RAW the helper resolves; without the helper too, the
    // neighbour table. Both find the hosts (and the late one).
    void withoutRawCapability_data() {
        QTest::addColumn<QString>("helper");
        QTest::addColumn<QString>("route");
        QTest::newRow("helper") << QString() << "helper";
        QTest::newRow("no helper") << "/nonexistent/vx-arp" << "neigh";
    }
    void withoutRawCapability() {
        QFETCH(QString, helper);
        QFETCH(QString, route);
        if (!CanUseRawArp()) QSKIP("drops a capability this process does not have");
        ForgetNeighbours();
        const QByteArray saved = qgetenv("VX_ARP_HELPER");
        if (!helper.isEmpty()) qputenv("VX_ARP_HELPER", helper.toLocal8Bit());
        const int late = HostWithRole("late");
        const QStringList addresses = {Lab().HostValue(HostWithRole("plain"), "ADDR"),
                                       Lab().HostValue(late, "ADDR"),
                                       Lab().Value("VXLAB_UNUSED_ADDR")};
        QString out;
        const int rc = vx::lab::RunCommand(
            QStringList{QCoreApplication::applicationFilePath(), "--unprivileged-child"} + addresses,
            &out);
        if (saved.isEmpty()) qunsetenv("VX_ARP_HELPER");
        else qputenv("VX_ARP_HELPER", saved);
        QCOMPARE(rc, 0);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], "raw=0 route=" + route);
        QCOMPARE(lines[1], addresses[0] + " " + Lab().HostValue(HostWithRole("plain"), "MAC"));
        QCOMPARE(lines[2], addresses[1] + " " + Lab().HostValue(late, "MAC"));
        QCOMPARE(lines[3], addresses[2] + " -");
    }

    void listsShares_data() {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QStringList>("shares");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("smb host") << "smb" << QStringList{"docs", "music"} << 3500;
        QTest::newRow("no SMB server") << "arponly" << QStringList{} << 1000;
        QTest::newRow("late host") << "late" << QStringList{} << 3500;
        QTest::newRow("SMB dropped") << "smbdrop" << QStringList{} << 3300;
    }
    void listsShares() {
        QFETCH(QString, role);
        QFETCH(QStringList, shares);
        QFETCH(int, maxMs);
        QElapsedTimer t;
        t.start();
        QCOMPARE(ListHostShares(Lab().HostValue(HostWithRole(role), "ADDR"), 3000), shares);
        QVERIFY2(t.elapsed() < maxMs, qPrintable(QString::number(t.elapsed())));
    }

    // Nobody there: the listing gives up within its bound.
    void shareListingIsBounded() {
        QElapsedTimer t;
        t.start();
        QVERIFY(ListHostShares(Lab().Value("VXLAB_UNUSED_ADDR"), 1500).isEmpty());
        QVERIFY2(t.elapsed() < 4000, qPrintable(QString::number(t.elapsed())));
    }

    void enumHostSharesAppends() {
        QStringList names{"kept"};
        EnumHostShares(Lab().Value("VXLAB_SMB_ADDR"), names);
        QCOMPARE(names, (QStringList{"kept", "docs", "music"}));
        EnumHostShares(Lab().Value("VXLAB_ARPONLY_ADDR"), names);
        QCOMPARE(names, (QStringList{"kept", "docs", "music"}));
    }

    // Hosts that drop SMB cost one bound however many there are: listings
    // run side by side, and the others' answers are not held up.
    void listingsAreParallelAndBounded() {
        QStringList hosts = Lab().Value("VXLAB_SMBDROP_ADDRS").split(' ', Qt::SkipEmptyParts);
        QVERIFY(hosts.size() >= 3);
        hosts << Lab().Value("VXLAB_SMB_ADDR") << Lab().Value("VXLAB_ARPONLY_ADDR");
        std::vector<QStringList> got(size_t(hosts.size()));
        std::vector<qint64> took(size_t(hosts.size()));
        QElapsedTimer t;
        t.start();
        std::vector<std::thread> threads;
        for (int i = 0; i < hosts.size(); ++i)
            threads.emplace_back([&, i] {
                got[size_t(i)] = ListHostShares(hosts[i], 3000);
                took[size_t(i)] = t.elapsed();
            });
        for (auto& th : threads) th.join();
        QVERIFY2(t.elapsed() < 3300, qPrintable(QString::number(t.elapsed())));
        for (int i = 0; i < hosts.size() - 2; ++i) {
            QVERIFY(got[size_t(i)].isEmpty());
            QVERIFY2(took[size_t(i)] >= 2900, qPrintable(QString::number(took[size_t(i)])));
        }
        QCOMPARE(got[size_t(hosts.size() - 2)], (QStringList{"docs", "music"}));
        const qint64 smbTook = took[size_t(hosts.size() - 2)];
        QVERIFY2(smbTook < 2000, qPrintable(QString::number(smbTook)));
    }

    void concurrentShareListings() {
        constexpr int kThreads = 16;
        std::atomic<int> right{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&, i] {
                const QString host = Lab().Value(i % 4 ? "VXLAB_SMB_ADDR" : "VXLAB_ARPONLY_ADDR");
                const QStringList expected = i % 4 ? QStringList{"docs", "music"} : QStringList{};
                if (ListHostShares(host, 3000) == expected) ++right;
            });
        }
        for (auto& th : threads) th.join();
        QCOMPARE(right.load(), kThreads);
    }
};

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--unprivileged-child") == 0)
        return UnprivilegedChild(argc, argv);
    return vx::lab::LabMain(argc, argv, [](int c, char** v) {
        QCoreApplication app(c, v);
        LabNetTest test;
        return QTest::qExec(&test, c, v);
    });
}

#include "LabNetTest.moc"
