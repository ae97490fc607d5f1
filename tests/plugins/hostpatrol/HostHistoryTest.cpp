// The history store on a real file: restarts, a long flapping run, the
// schema's migrations, one process per file, and the faults it must ride out
// (a damaged or foreign file, a folder it may not write, a full disk, a kill
// in the middle of a write). The last three run in child processes.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <csignal>
#include <cstdio>

#include "PatrolFakes.h"
#include "plugins/hostpatrol/HostHistory.h"

using namespace vx::hostpatrol;

namespace {

SweepHost Up(const QString& address, const QString& mac) { return {address, mac, {}, {}, true}; }
SweepHost Down(const QString& address) { return {address, {}, {}, {}, false}; }

// A store as the plug-in runs it, with its output caught.
struct Store {
    explicit Store(const QString& path, CHostHistory::Limits limits = {})
        : history(std::make_unique<CHostHistory>(path, limits)) {
        history->SetOutput(&output);
    }
    void Sweep(std::vector<SweepHost> hosts, qint64 now) {
        history->RecordSweep(std::move(hosts), now);
        Settle();
    }
    void Settle() {
        history->WaitIdle();
        QCoreApplication::processEvents();
    }
    std::vector<DeviceRow> Devices() {
        std::vector<DeviceRow> rows;
        bool done = false;
        QObject receiver;
        history->LoadDevices(&receiver, [&](std::vector<DeviceRow> r) {
            rows = std::move(r);
            done = true;
        });
        Settle();
        return done ? rows : std::vector<DeviceRow>{};
    }
    std::vector<EventRecord> Events(const QString& mac) {
        std::vector<EventRecord> events;
        QObject receiver;
        history->LoadEvents(mac, &receiver, [&](std::vector<EventRecord> e) { events = std::move(e); });
        Settle();
        return events;
    }
    FakeHostOutput output;
    std::unique_ptr<CHostHistory> history;
};

QStringList BadCopies(const QDir& dir) {
    return dir.entryList({QStringLiteral("HostHistory.db.bad-*")}, QDir::Files);
}

// Children: argv[1] names the job, argv[2] the folder.
int ChildWriter(const QString& dir) {
    // Each sweep brings one new device, so the file tells how many it holds.
    Store store(dir + QStringLiteral("/HostHistory.db"));
    for (int i = 0;; ++i) {
        store.Sweep({Up(QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250 + 1),
                        QStringLiteral("02:00:00:00:%1:%2")
                            .arg(i / 256, 2, 16, QLatin1Char('0'))
                            .arg(i % 256, 2, 16, QLatin1Char('0')))},
                    1000 + i);
        std::printf("%d\n", i + 1);
        std::fflush(stdout);
    }
}

int ChildNotes(const QString& dir, bool smallFiles) {
    if (smallFiles) {
        // A disk that fills up: writes past 96 KiB fail as on a full one.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{96 * 1024, 96 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    Store store(dir + QStringLiteral("/HostHistory.db"));
    for (int i = 0; i < 60; ++i) {
        std::vector<SweepHost> hosts;
        for (int h = 1; h <= 40; ++h)
            hosts.push_back(Up(QStringLiteral("10.0.0.%1").arg(h),
                               QStringLiteral("02:00:00:%1:00:%2").arg(i, 2, 10, QLatin1Char('0')).arg(h)));
        store.Sweep(std::move(hosts), 1000 + i);
    }
    for (const QString& line : store.output.logged) std::printf("%s\n", qPrintable(line));
    std::printf("available=%d\n", store.history->Available() ? 1 : 0);
    return 0;
}

}  // namespace

class HostHistoryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString DbPath() const { return m_dir.path() + QStringLiteral("/HostHistory.db"); }

private slots:
    void init() {
        QDir dir(m_dir.path());
        for (const QString& f : dir.entryList(QDir::Files)) dir.remove(f);
    }

    void remembersAcrossRestarts() {
        {
            Store store(DbPath());
            store.Sweep({Up("10.0.0.1", "AA"), Up("10.0.0.2", "BB"), Down("10.0.0.3")}, 100);
            store.Sweep({Up("10.0.0.1", "AA"), Up("10.0.0.2", "BB"), Down("10.0.0.3")}, 200);
            QVERIFY2(store.history->Available(), qPrintable(store.output.logged.join('|')));
            QVERIFY(store.output.shown.isEmpty());
            store.history->RecordIdentity("AA", "printer\x1b[2J", "Maker A");
            store.Sweep({Up("10.0.0.1", "AA"), Down("10.0.0.2"), Down("10.0.0.3")}, 300);
        }
        Store store(DbPath());
        // Known devices are no news after a restart; a newcomer is.
        store.Sweep({Up("10.0.0.1", "AA"), Up("10.0.0.2", "BB"), Up("10.0.0.3", "CC")}, 400);
        QCOMPARE(store.output.shown, QStringList{"发现新设备10.0.0.3(CC)"});
        QCOMPARE(store.output.logged, QStringList{"发现新设备10.0.0.3(CC)"});
        std::vector<DeviceRow> rows = store.Devices();
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.mac < b.mac; });
        QCOMPARE(int(rows.size()), 3);
        QCOMPARE(rows[0].mac, "AA");
        QCOMPARE(rows[0].firstSeen, 100);
        QCOMPARE(rows[0].lastSeen, 400);  // answering every sweep: the last sweep's time
        QCOMPARE(rows[0].name, "printer[2J");  // peer text cleaned
        QCOMPARE(rows[0].maker, "Maker A");
        QCOMPARE(rows[1].lastSeen, 400);
        QCOMPARE(rows[1].timesOnline, 1);  // one silent sweep is no offline period
        QCOMPARE(rows[2].firstSeen, 400);
    }

    // 1000 sweeps, restarting the store every 100: a host that toggles every
    // 3 sweeps is never offline (three misses are ridden out), one that is
    // up 3 and down 6 goes off and on every period; nothing lost or doubled.
    void flappingHostsOverAThousandSweeps() {
        auto store = std::make_unique<Store>(DbPath());
        for (int i = 0; i < 1000; ++i) {
            if (i % 100 == 0 && i) store = std::make_unique<Store>(DbPath());
            store->Sweep({Up("10.0.0.1", "AA"),
                          (i / 3) % 2 == 0 ? Up("10.0.0.2", "BB") : Down("10.0.0.2"),
                          i % 9 < 3 ? Up("10.0.0.3", "CC") : Down("10.0.0.3")},
                         10000 + i);
            QVERIFY2(store->output.shown.isEmpty(), qPrintable(store->output.shown.join('|')));
        }
        QCOMPARE(int(store->Events("AA").size()), 1);
        const auto bb = store->Events("BB");
        QCOMPARE(int(bb.size()), 1);
        QCOMPARE(bb.front().kind, HistoryEvent::NewDevice);
        auto cc = store->Events("CC");
        std::reverse(cc.begin(), cc.end());
        QCOMPARE(cc.front().kind, HistoryEvent::NewDevice);
        int on = 0, off = 0;
        // Period p is up at 9p .. 9p+2 and offline on its fourth silent sweep.
        for (size_t j = 1; j < cc.size(); ++j) {
            const EventRecord& e = cc[j];
            if (j % 2) {
                QCOMPARE(e.kind, HistoryEvent::Offline);
                QCOMPARE(e.time, qint64(10000 + 9 * ((j - 1) / 2) + 6));
                ++off;
            } else {
                QCOMPARE(e.kind, HistoryEvent::Online);
                QCOMPARE(e.time, qint64(10000 + 9 * (j / 2)));
                ++on;
            }
        }
        QCOMPARE(off, 111);
        QCOMPARE(on, 111);
        const auto rows = store->Devices();
        for (const DeviceRow& row : rows)
            if (row.mac == "CC") QCOMPARE(row.timesOnline, 112);
    }

    void prunesOldestFirstInSmallSteps() {
        CHostHistory::Limits limits;
        limits.maxEvents = 50;
        limits.pruneStep = 7;
        limits.maxAgeSecs = 1000;
        Store store(DbPath(), limits);
        for (int i = 0; i < 20; ++i) {
            std::vector<SweepHost> hosts;
            for (int h = 0; h < 10; ++h)
                hosts.push_back(Up(QStringLiteral("10.0.%1.%2").arg(i).arg(h), QStringLiteral("%1-%2").arg(i).arg(h)));
            store.Sweep(std::move(hosts), 100 + i);
        }
        // 10 new a sweep, 7 dropped a sweep once past the cap: 200 made, 105 dropped.
        CHistoryDb db(DbPath());
        store.history.reset();
        QStringList notes;
        QCOMPARE(db.Open(notes), CHistoryDb::State::Open);
        QCOMPARE(db.EventCount(), 95);
        QVERIFY(db.Events("0-9", 10).empty());
        QCOMPARE(int(db.Events("19-9", 10).size()), 1);
        // Age: everything before the cutoff goes, a step at a time.
        QCOMPARE(db.Prune(120, 1000, 50), 50);
        QCOMPARE(db.Prune(120, 1000, 50), 45);
        QCOMPARE(db.Prune(120, 1000, 50), 0);
    }

    void migratesFromTheFirstSchema() {
        QVERIFY(CHistoryDb::CreateSchemaVersion(DbPath(), 1));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "v1");
            db.setDatabaseName(DbPath());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("INSERT INTO devices VALUES('AA', 5, 6, '10.0.0.1', 1, 1, 0)"));
            QVERIFY(q.exec("INSERT INTO meta VALUES('sweeps', 3), ('last_sweep', 6)"));
            db.close();
        }
        QSqlDatabase::removeDatabase("v1");
        Store store(DbPath());
        store.history->RecordIdentity("AA", "nas", "");
        store.Sweep({Up("10.0.0.1", "AA")}, 10);
        QVERIFY(store.output.logged.isEmpty());
        const auto rows = store.Devices();
        QCOMPARE(int(rows.size()), 1);
        QCOMPARE(rows[0].firstSeen, 5);
        QCOMPARE(rows[0].name, "nas");
    }

    void damagedForeignAndNewerFiles_data() {
        QTest::addColumn<QByteArray>("content");  // raw bytes, or "sql:" statements
        QTest::addColumn<bool>("movedAside");
        QTest::newRow("text file") << QByteArray("not a database at all\n") << true;
        QTest::newRow("damaged header") << QByteArray("SQLite format 3", 16) + QByteArray(4000, '\x7f') << true;
        QTest::newRow("another program's database")
            << QByteArray("sql:CREATE TABLE contacts(name TEXT)") << true;
        QTest::newRow("written by a newer version")
            << QByteArray("sql:PRAGMA application_id=1448626248;PRAGMA user_version=99") << false;
    }
    void damagedForeignAndNewerFiles() {
        QFETCH(QByteArray, content);
        QFETCH(bool, movedAside);
        if (content.startsWith("sql:")) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "prep");
                db.setDatabaseName(DbPath());
                QVERIFY(db.open());
                for (const QByteArray& sql : content.mid(4).split(';'))
                    QVERIFY(QSqlQuery(db).exec(QString::fromUtf8(sql)));
                db.close();
            }
            QSqlDatabase::removeDatabase("prep");
        } else {
            QFile f(DbPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QFile original(DbPath());
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();

        Store store(DbPath());
        store.Sweep({Up("10.0.0.1", "AA")}, 10);
        store.Sweep({Up("10.0.0.1", "AA"), Up("10.0.0.2", "BB")}, 20);
        QCOMPARE(store.output.logged.size(), movedAside ? 2 : 1);
        const QStringList bad = BadCopies(QDir(m_dir.path()));
        if (movedAside) {
            QVERIFY2(store.output.logged[0].contains(bad.value(0)), qPrintable(store.output.logged.join('|')));
            QCOMPARE(bad.size(), 1);
            QFile copy(m_dir.path() + '/' + bad[0]);
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), before);
            // A new history: its first sweep was silent, the second alerts.
            QCOMPARE(store.output.shown, QStringList{"发现新设备10.0.0.2(BB)"});
            QVERIFY(store.history->Available());
        } else {
            QVERIFY(bad.isEmpty());
            QVERIFY(!store.history->Available());
            QVERIFY(store.output.shown.isEmpty());
            QVERIFY(original.open(QIODevice::ReadOnly));
            QCOMPARE(original.readAll(), before);
        }
    }

    void oneProcessPerFile() {
        Store first(DbPath());
        first.Sweep({Up("10.0.0.1", "AA")}, 10);
        Store second(DbPath());
        second.Sweep({Up("10.0.0.1", "AA")}, 20);
        QVERIFY(first.history->Available());
        QVERIFY(!second.history->Available());
        QCOMPARE(second.output.logged.size(), 1);
        QVERIFY(second.output.logged[0].contains("另一个进程"));
        QVERIFY(BadCopies(QDir(m_dir.path())).isEmpty());
    }

    // The child writes a sweep at a time and says so after each commit; it
    // dies by SIGKILL at some moment in between. Every sweep it reported is
    // in the file, and the file is whole.
    void killedMidWriteKeepsEverySweepBefore() {
        for (int round = 0; round < 3; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--child-writer", m_dir.path()});
            QVERIFY(child.waitForStarted());
            int reported = 0;
            const int killAt = 40 + round * 37;
            while (reported < killAt && child.waitForReadyRead(10000)) {
                while (child.canReadLine()) reported = child.readLine().trimmed().toInt();
            }
            QVERIFY(reported >= killAt);
            child.kill();
            QVERIFY(child.waitForFinished());
            while (child.canReadLine()) reported = child.readLine().trimmed().toInt();

            CHistoryDb db(DbPath());
            QStringList notes;
            QCOMPARE(db.Open(notes), CHistoryDb::State::Open);
            HistoryState state;
            QVERIFY(db.Load(state));
            QVERIFY2(state.sweeps >= reported, qPrintable(QString("%1 < %2").arg(state.sweeps).arg(reported)));
            QCOMPARE(qint64(state.devices.size()), state.sweeps);
            QCOMPARE(db.EventCount(), state.sweeps);
            QVERIFY(notes.isEmpty());
            init();  // the next round starts from nothing
        }
    }

    void readOnlyFolderAndFullDisk_data() {
        QTest::addColumn<QString>("job");
        QTest::newRow("read-only folder") << "--child-notes";
        QTest::newRow("full disk") << "--child-full";
    }
    void readOnlyFolderAndFullDisk() {
        QFETCH(QString, job);
        QStringList command{QCoreApplication::applicationFilePath(), job, m_dir.path()};
        if (job == "--child-notes") {
            // Root writes anywhere: the child runs as nobody in a folder of root's.
            if (geteuid() != 0) QSKIP("needs root to drop to nobody");
            QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther);
            command = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + command;
            command.prepend("setpriv");
        }
        QProcess child;
        child.start(command.takeFirst(), command);
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitCode() == 0, qPrintable(out + child.readAllStandardError()));
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        // One notice, no alert (the history's first sweep was never written
        // or was silent), the patrol's sweeps all taken.
        QCOMPARE(lines.filter("巡测照常进行").size(), 1);
        QVERIFY(lines.contains("available=0"));
        if (job == "--child-notes") QVERIFY(!QFile::exists(DbPath()));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--child-writer") return ChildWriter(argv[2]);
    if (argc == 3 && QByteArray(argv[1]) == "--child-notes") return ChildNotes(argv[2], false);
    if (argc == 3 && QByteArray(argv[1]) == "--child-full") return ChildNotes(argv[2], true);
    HostHistoryTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "HostHistoryTest.moc"
