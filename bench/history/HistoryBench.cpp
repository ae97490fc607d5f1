// The host history's cost, printed (never asserted):
//   - per sweep at 12 and 254 live hosts: the worker's transaction (a quiet
//     LAN, and one where a tenth of the hosts flap), the UI thread's share
//     (gathering results and handing the sweep over), history on and off;
//   - the history page with 10 000 devices and 1 000 000 events: open (first
//     and again), filter, one device's events;
//   - file size per million events.
// Offscreen; files in a temporary folder (or the one given as argv[1]).
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HistoryDb.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"

using namespace vx::hostpatrol;

namespace {

QString Mac(int n) {
    return QStringLiteral("02.00.%1.%2.%3.%4")
        .arg((n >> 24) & 255, 2, 16, QLatin1Char('0'))
        .arg((n >> 16) & 255, 2, 16, QLatin1Char('0'))
        .arg((n >> 8) & 255, 2, 16, QLatin1Char('0'))
        .arg(n & 255, 2, 16, QLatin1Char('0'))
        .toUpper();
}

struct Stats {
    double median = 0, p99 = 0;
};
Stats Summarise(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

std::vector<SweepHost> SweepOf(int live, int sweep, bool flapping) {
    std::vector<SweepHost> hosts;
    for (int i = 1; i <= 254; ++i) {
        // With flapping, every tenth live host is up 3 sweeps, down 6.
        const bool up = i <= live && !(flapping && i % 10 == 0 && (sweep + i) % 9 >= 3);
        hosts.push_back({QStringLiteral("10.0.0.%1").arg(i), up ? Mac(i) : QString(), {}, {}, up});
    }
    return hosts;
}

// The worker's part, timed in place: the rules, one transaction, a prune step.
void BenchSweeps(const QString& dir) {
    std::printf("| live hosts | LAN | worker ms median / p99 | UI thread ms median / p99 (on) | UI thread ms (off) |\n");
    std::printf("|---:|---|---:|---:|---:|\n");
    for (int live : {12, 254}) {
        for (bool flapping : {false, true}) {
            const QString path = dir + QStringLiteral("/sweeps-%1-%2.db").arg(live).arg(flapping);
            CHistoryDb db(path);
            QStringList notes;
            db.Open(notes);
            HistoryState state;
            std::vector<double> worker;
            for (int s = 0; s < 320; ++s) {
                const auto hosts = SweepOf(live, s, flapping);
                QElapsedTimer t;
                t.start();
                SweepChanges changes = ApplySweep(state, hosts, 1000 + s);
                db.WriteSweep(state, changes, notes);
                db.Prune(0, 1'000'000, 500);
                if (s >= 20) worker.push_back(t.nsecsElapsed() / 1e6);
            }
            // The UI thread's part: what the page's hook does per result and
            // per sweep; the worker's time is not in it.
            CHostHistory history(dir + QStringLiteral("/ui-%1-%2.db").arg(live).arg(flapping));
            std::vector<double> ui;
            for (int s = 0; s < 120; ++s) {
                std::vector<HostScanResult> results;
                for (const SweepHost& h : SweepOf(live, s, flapping))
                    results.push_back({h.address, h.mac, h.answered ? QStringLiteral("26-12-08 07:00:00") : QString(), {}, {}});
                QElapsedTimer t;
                t.start();
                history.SweepQueued(254);
                for (const HostScanResult& r : results) history.ResultApplied(r);
                if (s >= 20) ui.push_back(t.nsecsElapsed() / 1e6);
                history.WaitIdle();
            }
            const Stats w = Summarise(worker);
            const Stats u = Summarise(ui);
            std::printf("| %d | %s | %.3f / %.3f | %.3f / %.3f | 0 |\n", live,
                        flapping ? "a tenth flapping" : "quiet", w.median, w.p99, u.median, u.p99);
        }
    }
}

// A history as a long-watched office LAN leaves it.
void MakeBigHistory(const QString& path, int devices, int events) {
    {
        CHistoryDb db(path);
        QStringList notes;
        db.Open(notes);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    db.open();
    QSqlQuery q(db);
    // Filled without a journal and indexed afterwards: a million inserts
    // into a random-order index would take minutes and bloat the WAL.
    q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    q.exec(QStringLiteral("DROP INDEX events_by_mac"));
    q.exec(QStringLiteral("BEGIN"));
    q.prepare(QStringLiteral("INSERT INTO devices VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int d = 0; d < devices; ++d) {
        q.addBindValue(Mac(d));
        q.addBindValue(1'700'000'000 + d);
        q.addBindValue(1'760'000'000 + d);
        q.addBindValue(QStringLiteral("10.%1.%2.%3").arg(d / 65536).arg((d / 256) % 256).arg(d % 256));
        q.addBindValue(d % 10);
        q.addBindValue(d % 2);
        q.addBindValue(0);
        q.addBindValue(QStringLiteral("host-%1").arg(d));
        q.addBindValue(d % 3 ? QStringLiteral("Maker %1 Inc.").arg(d % 97) : QStringLiteral(""));
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO events(time, kind, mac, address, detail) VALUES(?, ?, ?, ?, ?)"));
    for (int e = 0; e < events; ++e) {
        const int d = (e * 7919) % devices;
        q.addBindValue(1'700'000'000 + e);
        q.addBindValue(1 + e % 2);
        q.addBindValue(Mac(d));
        q.addBindValue(QStringLiteral("10.0.%1.%2").arg((d / 256) % 256).arg(d % 256));
        q.addBindValue(QStringLiteral(""));
        q.exec();
    }
    q.exec(QStringLiteral("INSERT OR REPLACE INTO meta VALUES('sweeps', 1000), ('last_sweep', 1760000000)"));
    q.exec(QStringLiteral("COMMIT"));
    q.exec(QStringLiteral("CREATE INDEX events_by_mac ON events(mac, id)"));
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

double WaitMs(QObject* page, const char* signal, const std::function<void()>& action) {
    QSignalSpy spy(page, signal);
    QElapsedTimer t;
    t.start();
    action();
    spy.wait(30000);
    return t.nsecsElapsed() / 1e6;
}

void BenchPage(const QString& dir) {
    const QString path = dir + QStringLiteral("/big.db");
    QElapsedTimer fill;
    fill.start();
    MakeBigHistory(path, 10'000, 1'000'000);
    const double size = QFileInfo(path).size() / 1048576.0;
    std::printf("\nFile with 10 000 devices and 1 000 000 events (made in %.1f s): %.1f MiB,"
                " %.1f MiB per million events (devices included)\n",
                fill.elapsed() / 1000.0, size, size);

    CHostHistory history(path);
    QWidget parent;
    parent.resize(900, 600);
    CHostHistoryDlg page(&history, &parent);
    page.resize(900, 600);
    parent.show();
    const double first = WaitMs(&page, SIGNAL(DevicesLoaded()), [&] { page.show(); });
    QApplication::processEvents();
    std::vector<double> again;
    for (int i = 0; i < 5; ++i)
        again.push_back(WaitMs(&page, SIGNAL(DevicesLoaded()), [&] { page.Refresh(); }));
    std::printf("\n| history page, 10 000 devices / 1 000 000 events | ms |\n|---|---:|\n");
    std::printf("| open: first showing (file opened, devices read, list filled) | %.1f |\n", first);
    std::printf("| open again (median of 5) | %.1f |\n", Summarise(again).median);
    for (const char* filter : {"Maker 42", "10.0.1", "host-99", "no such device", ""}) {
        QElapsedTimer t;
        t.start();
        page.FilterBox()->setText(QString::fromLatin1(filter));
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("| filter \"%s\": %d rows | %.1f |\n", filter, page.Devices()->RowCount(), ms);
    }
    page.FilterBox()->setText(QStringLiteral("host-1234"));
    const double events = WaitMs(&page, SIGNAL(EventsLoaded()), [&] {
        page.Devices()->setCurrentItem(page.Devices()->topLevelItem(0));
    });
    std::printf("| one device's events (100 of them) | %.1f |\n", events);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    std::printf("## Host history\n\nPer sweep (320 sweeps, the first 20 left out; worker = rules,"
                " one transaction, a prune step):\n\n");
    BenchSweeps(dir);
    BenchPage(dir);
    return 0;
}
