// The probe task's thread against Stop, with a fake engine that records what
// is delivered. No widgets and no event loop, so ThreadSanitizer sees all of
// the task's own synchronisation.
#include <QRegularExpression>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "PatrolFakes.h"
#include "plugins/hostpatrol/HostProbeTask.h"

using namespace vx::hostpatrol;

namespace {

class FakeEngine final : public CProbeEngine {
public:
    explicit FakeEngine(IHostProbe& probe) : m_probe(probe) {}
    ~FakeEngine() override { Threads().JoinAll(); }

    IHostProbe& Probe() override { return m_probe; }
    void Deliver(std::shared_ptr<const ProbeTicket> ticket, HostScanResult result) override {
        std::unique_lock guard(m_lock);
        m_delivered.push_back(result.address);
        m_inDeliver = true;
        m_changed.notify_all();
        m_changed.wait(guard, [&] { return !m_holdDelivery; });
        m_inDeliver = false;
        m_lastTicket = std::move(ticket);
    }

    void HoldDelivery(bool hold) {
        std::lock_guard guard(m_lock);
        m_holdDelivery = hold;
        m_changed.notify_all();
    }
    bool WaitInDeliver() {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_inDeliver; });
    }
    QStringList Delivered() {
        std::lock_guard guard(m_lock);
        return m_delivered;
    }
    std::shared_ptr<const ProbeTicket> LastTicket() {
        std::lock_guard guard(m_lock);
        return m_lastTicket;
    }

private:
    IHostProbe& m_probe;
    std::mutex m_lock;
    std::condition_variable m_changed;
    QStringList m_delivered;                          // guarded by m_lock
    bool m_holdDelivery = false;                      // guarded by m_lock
    bool m_inDeliver = false;                         // guarded by m_lock
    std::shared_ptr<const ProbeTicket> m_lastTicket;  // guarded by m_lock
};

}  // namespace

class HostProbeTaskTest : public QObject {
    Q_OBJECT

private slots:
    void probeResults_data() {
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("withShares");
        QTest::addColumn<QStringList>("shares");
        QTest::addColumn<int>("shareCalls");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<bool>("fromSweep");
        for (bool sweep : {false, true}) {
            const char* how = sweep ? "sweep table" : "own request";
            QTest::addRow("%s: silent host", how) << false << true << QStringList{} << 0 << false << sweep;
            QTest::addRow("%s: live, shares asked", how)
                << true << true << QStringList{"docs", "music"} << 1 << false << sweep;
            QTest::addRow("%s: live, share option off", how)
                << true << false << QStringList{} << 0 << false << sweep;
            // Its result goes nowhere; resolving and listing would only delay the exit.
            QTest::addRow("%s: live, stopped", how) << true << true << QStringList{} << 0 << true << sweep;
        }
    }
    void probeResults() {
        QFETCH(bool, live);
        QFETCH(bool, withShares);
        QFETCH(QStringList, shares);
        QFETCH(int, shareCalls);
        QFETCH(bool, stopped);
        QFETCH(bool, fromSweep);
        FakeProbe probe;
        FakeSweepTable table;
        // The sweep's table answers instead of the probe, with a second
        // station that claimed the address too.
        if (live && fromSweep) {
            probe.SetHost("10.213.7.5", "", {"docs", "music"});
            table.macs["10.213.7.5"] = QStringList{"02.00.0A.D5.07.05", "02.00.0A.D5.07.99"};
        } else if (live) {
            probe.SetHost("10.213.7.5", "02.00.0A.D5.07.05", {"docs", "music"});
        }
        const HostScanResult r = RunProbe(probe, "10.213.7.5", withShares,
                                          [stopped] { return stopped; }, fromSweep ? &table : nullptr);
        QCOMPARE(r.otherMacs,
                 live && fromSweep && !stopped ? QStringList{"02.00.0A.D5.07.99"} : QStringList{});
        if (fromSweep) QCOMPARE(probe.Exited(), 0);
        QCOMPARE(r.address, QStringLiteral("10.213.7.5"));
        live = live && !stopped;
        QCOMPARE(r.Answered(), live);
        QCOMPARE(r.mac, live ? QStringLiteral("02.00.0A.D5.07.05") : QString());
        if (live)
            QVERIFY2(
                QRegularExpression(R"(^\d\d-\d\d-\d\d \d\d:\d\d:\d\d$)").match(r.time).hasMatch(),
                qPrintable(r.time));
        else
            QVERIFY(r.time.isEmpty());
        QCOMPARE(r.shares, shares);
        QCOMPARE(probe.ShareCalls(), shareCalls);
    }

    void finishedTaskDeliversRemovesAndDeletesItself() {
        FakeProbe probe;
        probe.SetHost("10.213.7.9", "02.00.00.00.00.09");
        FakeEngine engine(probe);
        FakeTaskManager manager;
        for (int i = 1; i <= 40; ++i)
            manager.AddTask(
                new CHostProbeTask(&manager, &engine, QStringLiteral("10.213.7.%1").arg(i), false));
        manager.StartWaiting(32);
        manager.StartWaiting();
        QVERIFY(manager.WaitForRemovals(40));
        engine.Threads().JoinAll();
        QCOMPARE(manager.ExecutingCount(), 0);
        QCOMPARE(manager.GetTaskCount(kProbeTypeName), 0);
        QCOMPARE(engine.Delivered().size(), 40);
        QCOMPARE(engine.Threads().Count(), 0);
    }

    void startTwiceMakesOneThread() {
        FakeProbe probe;
        probe.Hold();
        FakeEngine engine(probe);
        FakeTaskManager manager;
        auto* task = new CHostProbeTask(&manager, &engine, "10.213.7.3", false);
        manager.AddTask(task);
        manager.StartWaiting();
        QCOMPARE(task->Start(), 1);  // the manager's lock is not needed for a repeat
        QVERIFY(probe.WaitForEntered(1));
        QCOMPARE(engine.Threads().Count(), 1);
        probe.Release();
        QVERIFY(manager.WaitForRemovals(1));
    }

    // Stop while the probe is still waiting for its answer: the manager
    // deletes the task at once, the thread later finds it stopped, lists no
    // shares and delivers nothing (under ASan, touching the deleted task
    // would show).
    void stopDuringProbeDeliversNothing() {
        FakeProbe probe;
        probe.SetHost("10.213.7.2", "02.00.00.00.00.02");
        probe.Hold();
        FakeEngine engine(probe);
        FakeTaskManager manager;
        for (int i = 1; i <= 10; ++i)
            manager.AddTask(
                new CHostProbeTask(&manager, &engine, QStringLiteral("10.213.7.%1").arg(i), true));
        manager.StartWaiting(4);
        QVERIFY(probe.WaitForEntered(4));
        QCOMPARE(manager.CancelAll(), 10);
        QCOMPARE(manager.GetTaskCount(kProbeTypeName), 0);
        probe.Release();
        engine.Threads().JoinAll();
        QVERIFY(engine.Delivered().isEmpty());
        // .2 answered, but its task was stopped: no listing to wait for.
        QCOMPARE(probe.Exited(), 4);
        QCOMPARE(probe.ShareCalls(), 0);
    }

    // The thread has committed to finishing (it is delivering) when Stop
    // comes: Stop refuses, the result is marked withdrawn, and the thread
    // removes and deletes the task itself.
    void lateStopIsRefusedAndWithdrawsTheResult() {
        FakeProbe probe;
        probe.SetHost("10.213.7.4", "02.00.00.00.00.04");
        FakeEngine engine(probe);
        engine.HoldDelivery(true);
        FakeTaskManager manager;
        manager.AddTask(new CHostProbeTask(&manager, &engine, "10.213.7.4", false));
        manager.StartWaiting();
        QVERIFY(engine.WaitInDeliver());
        QCOMPARE(manager.CancelAll(), 1);
        QCOMPARE(manager.GetTaskCount(kProbeTypeName), 1);  // refused, still listed
        engine.HoldDelivery(false);
        QVERIFY(manager.WaitForRemovals(1));
        engine.Threads().JoinAll();
        QCOMPARE(manager.GetTaskCount(kProbeTypeName), 0);
        QVERIFY(engine.LastTicket()->withdrawn.load());
    }

    void waitingTaskStopsWithoutAThread() {
        FakeProbe probe;
        FakeEngine engine(probe);
        FakeTaskManager manager;
        manager.AddTask(new CHostProbeTask(&manager, &engine, "10.213.7.1", false));
        QCOMPARE(manager.CancelAll(), 1);
        QCOMPARE(engine.Threads().Count(), 0);
    }

    // Threads that finished are joined when the next one starts, so a long
    // patrol does not pile them up; JoinAll waits for the rest.
    void finishedThreadsAreReaped() {
        CProbeThreads threads;
        std::atomic<int> ran{0};
        for (int i = 0; i < 50; ++i) {
            QVERIFY(threads.Launch([&] { ++ran; }));
            while (ran.load() < i + 1) std::this_thread::yield();
        }
        // Each launch joins whatever has finished by then.
        bool reaped = false;
        for (int attempt = 0; attempt < 250 && !reaped; ++attempt) {
            QVERIFY(threads.Launch([] {}));
            reaped = threads.Count() <= 2;
            if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        QVERIFY(reaped);
        std::atomic<bool> slowDone{false};
        threads.Launch([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            slowDone = true;
        });
        threads.JoinAll();
        QVERIFY(slowDone.load());
        QCOMPARE(threads.Count(), 0);
    }

    // Probes and the listings they start yield to the UI thread, and each
    // thread's priority is its own: the caller's stays as it was.
    void probesRunBelowTheCaller() {
        const int caller = getpriority(PRIO_PROCESS, gettid());
        CProbeThreads threads;
        int probe = -100;
        QVERIFY(threads.Launch([&] { probe = getpriority(PRIO_PROCESS, gettid()); }));
        threads.JoinAll();
        QCOMPARE(probe, std::min(caller + 5, 19));
        QCOMPARE(getpriority(PRIO_PROCESS, gettid()), caller);
    }
};

QTEST_GUILESS_MAIN(HostProbeTaskTest)
#include "HostProbeTaskTest.moc"
