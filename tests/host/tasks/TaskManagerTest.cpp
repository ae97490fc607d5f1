// The task manager driven cycle by cycle (deterministic) and with its real
// scheduler thread and tasks on threads of their own (run under TSan too).
#include <QTest>

#include <chrono>
#include <future>
#include <memory>

#include "FakeTask.h"
#include "host/tasks/TaskManager.h"

using namespace std::chrono_literals;
using Manager = vx::CTaskManager;
using vx::SchedulerOptions;
using vx::TaskTypeStat;

namespace {

SchedulerOptions Every(std::chrono::milliseconds period, bool wake) {
    SchedulerOptions o;
    o.period = period;
    o.wakeOnChange = wake;
    return o;
}

QStringList Numbered(const QString& prefix, int from, int to) {
    QStringList out;
    for (int i = from; i < to; ++i) out << QStringLiteral("%1 %2").arg(prefix).arg(i);
    return out;
}

QString Stat(const TaskTypeStat& s) {
    return QStringLiteral("%1 %2/%3").arg(s.typeName).arg(s.executing).arg(s.waiting);
}

QStringList Stats(Manager& m) {
    QList<TaskTypeStat> stats;
    m.GetTaskTypeStats(stats);
    QStringList out;
    for (const auto& s : stats) out << Stat(s);
    return out;
}

// Waits up to `limit` for `done`, without sleeping through it when it holds.
template <class Pred>
bool WaitFor(Pred done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

class TaskManagerTest : public QObject {
    Q_OBJECT

private slots:
    void oneCycleStartsInSubmissionOrderUpToTheMaximum_data();
    void oneCycleStartsInSubmissionOrderUpToTheMaximum();
    void laterCyclesStartAsManyAsHaveFinished();
    void loweringTheMaximumStopsNothingAndRaisingItStartsMore();
    void cancelAllTasks_data();
    void cancelAllTasks();
    void cancelDeletesATaskListedTwiceOnce();
    void getTaskCountMatchesTheTypeNameExactly_data();
    void getTaskCountMatchesTheTypeNameExactly();
    void statisticsComeInOrderOfFirstAppearance();
    void removeTaskUnlinksOnlyExecutingEntriesAndDeletesNothing();

    void schedulerThreadSendsTheCountsEveryCycle_data();
    void schedulerThreadSendsTheCountsEveryCycle();
    void tasksOnTheirOwnThreadsAllRunWithinTheMaximum_data();
    void tasksOnTheirOwnThreadsAllRunWithinTheMaximum();
    void wakeOnChangeFillsAFreeSlotBeforeTheNextTick();
    void removeTaskWaitsWhileCancelHoldsTheLock();
    void cancellingWhileTasksFinishLosesAndFreesNothingTwice();
    void destructionWaitsForRefusingTasksToRemoveThemselves();
    void destructionGivesUpOnATaskThatNeverRemovesItself();
    void startSchedulerTwiceAndDestroyWhileSleepingAreHarmless();
};

void TaskManagerTest::oneCycleStartsInSubmissionOrderUpToTheMaximum_data() {
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("started");

    QTest::newRow("254 at 32") << 254 << 32 << 32;
    QTest::newRow("fewer than the maximum") << 5 << 32 << 5;
    QTest::newRow("254 at 256") << 254 << 256 << 254;
    QTest::newRow("one at a time") << 3 << 1 << 1;
    QTest::newRow("maximum 0") << 10 << 0 << 0;
    QTest::newRow("negative maximum") << 10 << -5 << 0;
    QTest::newRow("no tasks") << 0 << 32 << 0;
}

void TaskManagerTest::oneCycleStartsInSubmissionOrderUpToTheMaximum() {
    QFETCH(int, tasks);
    QFETCH(int, maximum);
    QFETCH(int, started);

    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    m.SetMaxThreads(maximum);
    AddPatrolTasks(m, journal, tasks);

    m.RunSchedulerCycle();
    QCOMPARE(journal.Events(), Numbered("start", 0, started));
    QCOMPARE(output.Status(), QStringList{"1:" + Manager::StatusText(started, tasks - started)});
    QCOMPARE(m.GetTaskCount(kPatrol), tasks);

    // Nothing finished, so the next cycle starts nothing but reports again.
    m.RunSchedulerCycle();
    QCOMPARE(journal.Events().size(), started);
    QCOMPARE(output.Status().size(), 2);
    QCOMPARE(output.Status().last(), output.Status().first());

    QCOMPARE(m.CancelAllTasks(), tasks);
}

void TaskManagerTest::laterCyclesStartAsManyAsHaveFinished() {
    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    const auto tasks = AddPatrolTasks(m, journal, 254);
    m.RunSchedulerCycle();

    // Five finish out of order; exactly five more start, the next in line.
    Finish(m, tasks, {3, 0, 31, 17, 8});
    m.RunSchedulerCycle();
    QCOMPARE(journal.EventsStartingWith("start"), Numbered("start", 0, 37));
    QCOMPARE(output.Status().last(), "1:" + Manager::StatusText(32, 217));
    QCOMPARE(m.CancelAllTasks(), 249);
}

void TaskManagerTest::loweringTheMaximumStopsNothingAndRaisingItStartsMore() {
    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    const auto tasks = AddPatrolTasks(m, journal, 60);
    m.RunSchedulerCycle();
    QCOMPARE(journal.Events().size(), 32);

    m.SetMaxThreads(8);
    m.RunSchedulerCycle();
    QCOMPARE(journal.Events().size(), 32);  // no stop, no start
    QCOMPARE(output.Status().last(), "1:" + Manager::StatusText(32, 28));

    // 20 finish: 12 still execute, above the new maximum.
    FinishRange(m, tasks, 0, 20);
    m.RunSchedulerCycle();
    QCOMPARE(journal.EventsStartingWith("start").size(), 32);

    // 5 more: 7 execute, so exactly one starts to make 8.
    FinishRange(m, tasks, 20, 25);
    m.RunSchedulerCycle();
    QCOMPARE(journal.EventsStartingWith("start"), Numbered("start", 0, 33));
    QCOMPARE(output.Status().last(), "1:" + Manager::StatusText(8, 27));

    m.SetMaxThreads(64);
    m.RunSchedulerCycle();
    QCOMPARE(journal.EventsStartingWith("start"), Numbered("start", 0, 60));
    QCOMPARE(output.Status().last(), "1:" + Manager::StatusText(35, 0));
    QVERIFY(journal.EventsStartingWith("stop").isEmpty());
    m.CancelAllTasks();
}

void TaskManagerTest::cancelAllTasks_data() {
    QTest::addColumn<int>("executing");
    QTest::addColumn<int>("waiting");
    QTest::addColumn<QList<int>>("refusing");   // ids whose Stop answers 0
    QTest::addColumn<QStringList>("expected");  // journal of the cancel

    QTest::newRow("empty") << 0 << 0 << QList<int>{} << QStringList{};
    QTest::newRow("3 executing, 5 waiting")
        << 3 << 5 << QList<int>{}
        << QStringList{"stop 0", "delete 0", "stop 1", "delete 1", "stop 2", "delete 2",
                       "stop 3", "delete 3", "stop 4", "delete 4", "stop 5", "delete 5",
                       "stop 6", "delete 6", "stop 7", "delete 7"};
    QTest::newRow("one executing and one waiting refuse")
        << 2 << 2 << QList<int>{1, 2}
        << QStringList{"stop 0", "delete 0", "stop 1", "stop 2", "stop 3", "delete 3"};
}

void TaskManagerTest::cancelAllTasks() {
    QFETCH(int, executing);
    QFETCH(int, waiting);
    QFETCH(QList<int>, refusing);
    QFETCH(QStringList, expected);

    FakeJournal journal;
    std::vector<std::unique_ptr<FakeTask>> refusers;  // never deleted by the manager
    Manager m(nullptr, Manual());
    m.SetMaxThreads(executing);
    for (int i = 0; i < executing + waiting; ++i) {
        if (refusing.contains(i)) {
            refusers.push_back(std::make_unique<FakeTask>(i, kPatrol, &journal, 0));
            m.AddTask(refusers.back().get());
        } else {
            m.AddTask(new FakeTask(i, kPatrol, &journal));
        }
    }
    m.RunSchedulerCycle();
    const int startedBefore = journal.Events().size();
    QCOMPARE(startedBefore, executing);

    // The count present at the start, refusers included.
    QCOMPARE(m.CancelAllTasks(), executing + waiting);
    QCOMPARE(journal.Events().mid(startedBefore), expected);

    // Refusers stay where they were and keep counting.
    int refusingExecuting = 0;
    for (int id : refusing) refusingExecuting += id < executing ? 1 : 0;
    QCOMPARE(m.GetTaskCount(kPatrol), int(refusing.size()));
    QStringList stats = Stats(m);
    if (refusing.isEmpty())
        QVERIFY(stats.isEmpty());
    else
        QCOMPARE(stats, QStringList{QStringLiteral("%1 %2/%3")
                                        .arg(kPatrol)
                                        .arg(refusingExecuting)
                                        .arg(refusing.size() - refusingExecuting)});
    // A waiting task that was cancelled was never started.
    QCOMPARE(journal.EventsStartingWith("start").size(), executing);
    QCOMPARE(m.CancelAllTasks(), int(refusing.size()));
    for (auto& task : refusers) m.RemoveTask(task.get());
}

void TaskManagerTest::cancelDeletesATaskListedTwiceOnce() {
    FakeJournal journal;
    Manager m(nullptr, Manual());
    auto* twice = new FakeTask(7, kPatrol, &journal);
    m.SetMaxThreads(1);
    m.AddTask(twice);
    m.AddTask(twice);
    m.RunSchedulerCycle();  // one entry executing, the other waiting
    QCOMPARE(m.GetTaskCount(kPatrol), 2);
    QCOMPARE(m.CancelAllTasks(), 2);
    QCOMPARE(journal.Events(), (QStringList{"start 7", "stop 7", "delete 7"}));
    QCOMPARE(m.GetTaskCount(kPatrol), 0);
}

void TaskManagerTest::getTaskCountMatchesTheTypeNameExactly_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("count");

    QTest::newRow("exact") << kPatrol << 12;
    QTest::newRow("trailing blank") << kPatrol + " " << 0;
    QTest::newRow("leading blank") << " " + kPatrol << 0;
    QTest::newRow("other letter case") << QStringLiteral("scan") << 0;
    QTest::newRow("exact latin") << QStringLiteral("Scan") << 3;
    QTest::newRow("prefix only") << QStringLiteral("主机") << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TaskManagerTest::getTaskCountMatchesTheTypeNameExactly() {
    QFETCH(QString, query);
    QFETCH(int, count);

    FakeJournal journal;
    Manager m(nullptr, Manual());
    m.SetMaxThreads(3);
    // Executing: patrol, Scan, patrol; waiting: 10 patrol and 2 Scan.
    int id = 0;
    for (const QString& type : {kPatrol, QStringLiteral("Scan"), kPatrol})
        m.AddTask(new FakeTask(id++, type, &journal));
    m.RunSchedulerCycle();
    for (int i = 0; i < 10; ++i) m.AddTask(new FakeTask(id++, kPatrol, &journal));
    for (int i = 0; i < 2; ++i) m.AddTask(new FakeTask(id++, QStringLiteral("Scan"), &journal));

    QCOMPARE(m.GetTaskCount(query), count);
    m.CancelAllTasks();
}

void TaskManagerTest::statisticsComeInOrderOfFirstAppearance() {
    FakeJournal journal;
    Manager m(nullptr, Manual());
    QVERIFY(Stats(m).isEmpty());

    m.SetMaxThreads(2);
    m.AddTask(new FakeTask(0, "Q", &journal));
    m.AddTask(new FakeTask(1, "P", &journal));
    m.RunSchedulerCycle();
    m.AddTask(new FakeTask(2, "R", &journal));
    m.AddTask(new FakeTask(3, "P", &journal));
    QCOMPARE(Stats(m), (QStringList{"Q 1/0", "P 1/1", "R 0/1"}));

    // Types seen only among waiting tasks follow, however early they were added.
    m.AddTask(new FakeTask(4, "R", &journal));
    m.AddTask(new FakeTask(5, "S", &journal));
    m.AddTask(new FakeTask(6, "Q", &journal));
    QCOMPARE(Stats(m), (QStringList{"Q 1/1", "P 1/1", "R 0/2", "S 0/1"}));
    m.CancelAllTasks();
}

void TaskManagerTest::removeTaskUnlinksOnlyExecutingEntriesAndDeletesNothing() {
    FakeJournal journal;
    Manager m(nullptr, Manual());
    m.SetMaxThreads(1);
    auto* running = new FakeTask(0, kPatrol, &journal);
    auto* waiting = new FakeTask(1, kPatrol, &journal);
    m.AddTask(running);
    m.AddTask(waiting);
    m.AddTask(nullptr);  // ignored, never started
    m.RunSchedulerCycle();

    m.RemoveTask(waiting);  // not searched for among waiting tasks
    QCOMPARE(m.GetTaskCount(kPatrol), 2);
    m.RemoveTask(running);
    m.RemoveTask(running);  // a second removal finds nothing
    QCOMPARE(Stats(m), QStringList{kPatrol + " 0/1"});
    QCOMPARE(journal.Events(), QStringList{"start 0"});
    delete running;

    m.RunSchedulerCycle();
    QCOMPARE(Stats(m), QStringList{kPatrol + " 1/0"});
    QCOMPARE(m.CancelAllTasks(), 1);
}

void TaskManagerTest::schedulerThreadSendsTheCountsEveryCycle_data() {
    QTest::addColumn<bool>("wake");
    QTest::addColumn<bool>("addWhileRunning");
    QTest::newRow("polling, added before the start") << false << false;
    QTest::newRow("polling, added while running") << false << true;
    // Every AddTask wakes the scheduler, which may start the first tasks
    // before the rest are added; still never more than 32.
    QTest::newRow("waking, added while running") << true << true;
}

void TaskManagerTest::schedulerThreadSendsTheCountsEveryCycle() {
    QFETCH(bool, wake);
    QFETCH(bool, addWhileRunning);

    FakeJournal journal;
    FakeOutput output;
    const SchedulerOptions o = Every(10ms, wake);
    Manager m(&output, o);
    if (addWhileRunning) m.StartScheduler();
    AddPatrolTasks(m, journal, 254);
    m.StartScheduler();

    // The same text keeps coming, changed or not.
    const QString expected = "1:" + Manager::StatusText(32, 222);
    QVERIFY(WaitFor([&] { return output.Status().count(expected) >= 4; }));
    QCOMPARE(journal.Events(), Numbered("start", 0, 32));
    QCOMPARE(m.CancelAllTasks(), 254);
}

void TaskManagerTest::tasksOnTheirOwnThreadsAllRunWithinTheMaximum_data() {
    QTest::addColumn<bool>("wake");
    QTest::addColumn<int>("maximum");
    QTest::newRow("polling, 32") << false << 32;
    QTest::newRow("waking, 32") << true << 32;
    QTest::newRow("waking, 1") << true << 1;
    QTest::newRow("waking, 256") << true << 256;
}

void TaskManagerTest::tasksOnTheirOwnThreadsAllRunWithinTheMaximum() {
    QFETCH(bool, wake);
    QFETCH(int, maximum);

    const int count = 300;
    WorkerPool pool;
    ThreadTaskStats stats;
    FakeOutput output;
    {
        const SchedulerOptions o = Every(5ms, wake);
        Manager m(&output, o);
        m.SetMaxThreads(maximum);
        m.StartScheduler();
        // Added from two threads at once while tasks finish on others.
        std::thread other([&] {
            for (int i = 0; i < count / 2; ++i) m.AddTask(new ThreadTask(&m, &pool, &stats));
        });
        for (int i = 0; i < count / 2; ++i) m.AddTask(new ThreadTask(&m, &pool, &stats));
        other.join();
        QVERIFY(WaitFor([&] { return stats.finished.load() == count; }, 30s));
        QCOMPARE(m.GetTaskCount(QStringLiteral("线程任务")), 0);
        const QString idle = "1:" + Manager::StatusText(0, 0);
        QVERIFY(WaitFor([&] { return output.Status().last() == idle; }));
    }
    pool.JoinAll();
    QVERIFY(stats.peak.load() <= maximum);
    QVERIFY(stats.peak.load() >= 1);
    QCOMPARE(stats.destroyed.load(), count);
}

void TaskManagerTest::wakeOnChangeFillsAFreeSlotBeforeTheNextTick() {
    // With an hour between ticks, only the wake-ups can start these.
    WorkerPool pool;
    ThreadTaskStats stats;
    FakeOutput output;
    const SchedulerOptions o = Every(1h, true);
    {
        Manager m(&output, o);
        m.SetMaxThreads(1);
        m.StartScheduler();
        // Its first cycle is over, so it sleeps.
        QVERIFY(WaitFor([&] { return !output.Status().isEmpty(); }));
        for (int i = 0; i < 5; ++i) m.AddTask(new ThreadTask(&m, &pool, &stats));
        QVERIFY(WaitFor([&] { return stats.finished.load() == 5; }));
        QCOMPARE(stats.peak.load(), 1);
    }  // and the destructor does not sit out the hour either
    pool.JoinAll();
}

void TaskManagerTest::removeTaskWaitsWhileCancelHoldsTheLock() {
    // A cancel whose first Stop blocks until released; meanwhile a task on
    // another thread removes itself. Its RemoveTask must not return before
    // the cancel has finished.
    FakeJournal journal;
    std::promise<void> inStop, releaseStop;
    class BlockingStop : public FakeTask {
    public:
        BlockingStop(FakeJournal* j, std::promise<void>* in, std::shared_future<void> release)
            : FakeTask(0, "block", j), m_in(in), m_release(std::move(release)) {}
        int Stop() override {
            m_in->set_value();
            m_release.wait();
            return FakeTask::Stop();
        }

    private:
        std::promise<void>* m_in;
        std::shared_future<void> m_release;
    };

    Manager m(nullptr, Manual());
    auto* refuser = new FakeTask(1, "finishing", &journal, 0);
    m.AddTask(new BlockingStop(&journal, &inStop, releaseStop.get_future().share()));
    m.AddTask(refuser);
    m.RunSchedulerCycle();

    int cancelled = -1;
    std::thread canceller([&] {
        cancelled = m.CancelAllTasks();
        journal.Note("cancel returned");
    });
    inStop.get_future().wait();
    std::thread finisher([&] {
        m.RemoveTask(refuser);
        journal.Note("remove returned");
    });
    // Give the finisher time to reach the lock; it must still be inside.
    std::this_thread::sleep_for(50ms);
    QVERIFY(!journal.Events().contains("remove returned"));
    releaseStop.set_value();
    canceller.join();
    finisher.join();

    const QStringList events = journal.Events();
    QCOMPARE(cancelled, 2);
    QVERIFY(events.indexOf("stop 1") < events.indexOf("remove returned"));
    QVERIFY(events.indexOf("delete 0") < events.indexOf("remove returned"));
    QCOMPARE(m.GetTaskCount("finishing"), 0);
    delete refuser;
}

void TaskManagerTest::cancellingWhileTasksFinishLosesAndFreesNothingTwice() {
    // Tasks are added, started, finished, cancelled and counted from five
    // threads at once while the maximum changes. Every task must end exactly
    // once: removed by its own thread or deleted by a cancel, never both.
    WorkerPool pool;
    ThreadTaskStats stats;
    const int perAdder = 400;
    {
        Manager m(nullptr, Every(1ms, true));
        m.StartScheduler();
        std::atomic<bool> adding{true};
        std::thread adders[2];
        for (auto& adder : adders)
            adder = std::thread([&] {
                for (int i = 0; i < perAdder; ++i) {
                    m.AddTask(new ThreadTask(&m, &pool, &stats));
                    if (i % 8 == 0) std::this_thread::sleep_for(100us);
                }
            });
        std::thread canceller([&] {
            while (adding.load()) {
                std::this_thread::sleep_for(3ms);
                m.CancelAllTasks();
            }
        });
        std::thread observer([&] {
            for (int i = 0; adding.load(); ++i) {
                m.SetMaxThreads(i % 3 == 0 ? 1 : 16);
                QList<TaskTypeStat> rows;
                m.GetTaskTypeStats(rows);
                m.GetTaskCount(QStringLiteral("线程任务"));
            }
        });
        for (auto& adder : adders) adder.join();
        adding.store(false);
        canceller.join();
        observer.join();
        m.SetMaxThreads(16);
        QVERIFY(WaitFor([&] { return m.GetTaskCount(QStringLiteral("线程任务")) == 0; }));
    }
    pool.JoinAll();
    QCOMPARE(stats.destroyed.load(), 2 * perAdder);
    qInfo("%d of %d tasks removed themselves, the rest were cancelled", stats.finished.load(),
          2 * perAdder);
}

void TaskManagerTest::destructionWaitsForRefusingTasksToRemoveThemselves() {
    // The document's close: cancel (the tasks are finishing and refuse), then
    // the manager is deleted while their threads are still on their way to
    // RemoveTask. Under ASan a removal after the delete would be caught.
    WorkerPool pool;
    ThreadTaskStats stats;
    std::promise<void> finish;
    std::shared_future<void> finished = finish.get_future().share();
    auto m = std::make_unique<Manager>(nullptr, SchedulerOptions{});
    for (int i = 0; i < 20; ++i)
        m->AddTask(new ThreadTask(m.get(), &pool, &stats, [finished] { finished.wait(); }));
    m->StartScheduler();
    QVERIFY(WaitFor([&] { return stats.finishing.load() == 20; }));
    QCOMPARE(m->CancelAllTasks(), 20);
    QCOMPARE(stats.destroyed.load(), 0);  // all refused

    std::thread opener([&] {
        std::this_thread::sleep_for(30ms);
        finish.set_value();
    });
    m.reset();
    // Every task had removed itself before the manager went.
    QCOMPARE(stats.running.load(), 0);
    opener.join();
    pool.JoinAll();
    QCOMPARE(stats.destroyed.load(), 20);
}

void TaskManagerTest::destructionGivesUpOnATaskThatNeverRemovesItself() {
    FakeJournal journal;
    SchedulerOptions o;
    o.period = 5ms;
    o.drainTimeout = 50ms;
    auto* stuck = new FakeTask(0, kPatrol, &journal, 0);
    {
        Manager m(nullptr, o);
        m.AddTask(stuck);
        m.StartScheduler();
        QVERIFY(WaitFor([&] { return journal.Events().contains("start 0"); }));
        QCOMPARE(m.CancelAllTasks(), 1);
    }
    // Not deleted by the manager.
    QCOMPARE(journal.Events(), (QStringList{"start 0", "stop 0"}));
    delete stuck;
}

void TaskManagerTest::startSchedulerTwiceAndDestroyWhileSleepingAreHarmless() {
    FakeOutput output;
    const SchedulerOptions o = Every(1h, false);
    const auto began = std::chrono::steady_clock::now();
    {
        Manager m(&output, o);
        m.StartScheduler();
        m.StartScheduler();
        QVERIFY(WaitFor([&] { return !output.Status().isEmpty(); }));
    }
    QVERIFY(std::chrono::steady_clock::now() - began < 10s);
    QCOMPARE(output.Status(), QStringList{"1:" + Manager::StatusText(0, 0)});
}

QTEST_GUILESS_MAIN(TaskManagerTest)
#include "TaskManagerTest.moc"
