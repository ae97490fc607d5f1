// Test doubles for the task engine: tasks that record what the manager did to
// them, an output that records what it was sent, and tasks that run on
// threads of their own the way a tool's tasks do.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "contract/TaskContract.h"
#include "contract/ToolContract.h"
#include "host/tasks/core/TaskScheduler.h"

inline const QString kPatrol = QStringLiteral("主机巡测");

// A manager whose scheduler thread never runs on its own, and which gives up
// at once on executing tasks when destroyed: the test runs cycles itself.
inline vx::SchedulerOptions Manual() {
    using namespace std::chrono_literals;
    vx::SchedulerOptions o;
    o.period = 1h;
    o.drainTimeout = 0ms;
    return o;
}

// A copy that shares no data with `list`. Qt's implicit sharing hands the
// reference count of a shared list between threads inside libQt6Core, where
// ThreadSanitizer cannot see it; deep copies keep the fakes out of that.
inline QStringList DeepCopy(const QStringList& list) {
    QStringList out;
    out.reserve(list.size());
    for (const QString& s : list) out << QString(s.constData(), s.size());
    return out;
}

// What happened to a set of fake tasks, in order. Any thread.
class FakeJournal {
public:
    void Note(QString event) {
        std::lock_guard lock(m_lock);
        m_events.append(std::move(event));
    }
    QStringList Events() const {
        std::lock_guard lock(m_lock);
        return DeepCopy(m_events);
    }
    QStringList EventsStartingWith(const QString& prefix) const {
        QStringList out;
        for (const QString& e : Events())
            if (e.startsWith(prefix)) out << e;
        return out;
    }

private:
    mutable std::mutex m_lock;
    QStringList m_events;  // guarded by m_lock
};

// Records start/stop/delete as "start 3", "stop 3", "delete 3".
class FakeTask : public CTask {
public:
    FakeTask(int id, QString type, FakeJournal* journal, int stopResult = 1)
        : m_id(id), m_type(std::move(type)), m_journal(journal), m_stopResult(stopResult) {}
    ~FakeTask() override { m_journal->Note(QStringLiteral("delete %1").arg(m_id)); }

    int Start() override {
        m_journal->Note(QStringLiteral("start %1").arg(m_id));
        return 0;
    }
    int Stop() override {
        m_journal->Note(QStringLiteral("stop %1").arg(m_id));
        return m_stopResult;
    }
    QString GetTypeName() override { return m_type; }

private:
    const int m_id;
    const QString m_type;
    FakeJournal* m_journal;
    const int m_stopResult;
};

// `count` patrol tasks numbered from 0, added in order; the manager owns them.
inline std::vector<FakeTask*> AddPatrolTasks(::CTaskManager& m, FakeJournal& journal, int count) {
    std::vector<FakeTask*> tasks;
    for (int i = 0; i < count; ++i) {
        tasks.push_back(new FakeTask(i, kPatrol, &journal));
        m.AddTask(tasks.back());
    }
    return tasks;
}

// What a task's thread does when its work is done.
inline void Finish(::CTaskManager& m, const std::vector<FakeTask*>& tasks,
                   std::initializer_list<int> ids) {
    for (int i : ids) {
        m.RemoveTask(tasks[i]);
        delete tasks[i];
    }
}

inline void FinishRange(::CTaskManager& m, const std::vector<FakeTask*>& tasks, int from, int to) {
    for (int i = from; i < to; ++i) Finish(m, tasks, {i});
}

class FakeOutput : public CHostOutput {
public:
    void OutputMsg(const QString& text) override {
        std::lock_guard lock(m_lock);
        m_messages << text;
    }
    void SetStatusText(int pane, const QString& text) override {
        QString line = QStringLiteral("%1:%2").arg(pane).arg(text);
        std::lock_guard lock(m_lock);
        m_status << line;
    }
    void ShowMsg(const QString&) override {}
    QStringList Messages() const {
        std::lock_guard lock(m_lock);
        return DeepCopy(m_messages);
    }
    QStringList Status() const {
        std::lock_guard lock(m_lock);
        return DeepCopy(m_status);
    }

private:
    mutable std::mutex m_lock;
    QStringList m_messages;  // guarded by m_lock
    QStringList m_status;    // guarded by m_lock
};

// Owns the threads that ThreadTasks run on, so that a test can join them all
// after the tasks have deleted themselves.
class WorkerPool {
public:
    ~WorkerPool() { JoinAll(); }
    void Run(std::function<void()> work) {
        std::lock_guard lock(m_lock);
        m_threads.emplace_back(std::move(work));
    }
    void JoinAll() {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(m_lock);
            threads.swap(m_threads);
        }
        for (auto& t : threads) t.join();
    }

private:
    std::mutex m_lock;
    std::vector<std::thread> m_threads;  // guarded by m_lock
};

// Shared counters of a batch of ThreadTasks.
struct ThreadTaskStats {
    std::atomic<int> running{0};    // started, thread not yet done with it
    std::atomic<int> peak{0};       // highest `running` seen
    std::atomic<int> finishing{0};  // threads that committed to finishing
    std::atomic<int> finished{0};   // removed and deleted by their own thread
    std::atomic<int> destroyed{0};
};

// A task the way a tool writes one. Start runs the work on a thread of its
// own; the thread then commits to finishing, runs `finishing`, removes the
// task from its manager and deletes it. Stop and the thread race on a shared
// state and whoever moves it first wins: a task stopped first is deleted by
// the manager and its thread never touches it again; a task whose thread has
// committed refuses Stop and removes itself.
class ThreadTask : public CTask {
public:
    enum State { Waiting, Running, Finishing, Stopped };

    ThreadTask(::CTaskManager* manager, WorkerPool* pool, ThreadTaskStats* stats,
               std::function<void()> finishing = {})
        : m_state(std::make_shared<std::atomic<int>>(Waiting)),
          m_manager(manager),
          m_pool(pool),
          m_stats(stats),
          m_finishing(std::move(finishing)) {}
    ~ThreadTask() override { m_stats->destroyed.fetch_add(1); }

    int Start() override {
        const int now = m_stats->running.fetch_add(1) + 1;
        int peak = m_stats->peak.load();
        while (now > peak && !m_stats->peak.compare_exchange_weak(peak, now)) {
        }
        m_state->store(Running);
        m_pool->Run([task = this, state = m_state, manager = m_manager, stats = m_stats,
                     finishing = m_finishing] {
            std::this_thread::sleep_for(std::chrono::microseconds(50));  // the work
            int expected = Running;
            if (!state->compare_exchange_strong(expected, Finishing)) {
                stats->running.fetch_sub(1);  // stopped: the task is not ours any more
                return;
            }
            stats->finishing.fetch_add(1);
            if (finishing) finishing();
            stats->running.fetch_sub(1);
            manager->RemoveTask(task);
            delete task;
            stats->finished.fetch_add(1);
        });
        return 0;
    }
    int Stop() override {
        int state = m_state->load();
        while (state == Waiting || state == Running)
            if (m_state->compare_exchange_weak(state, Stopped)) return 1;
        return 0;
    }
    QString GetTypeName() override { return QStringLiteral("线程任务"); }

private:
    std::shared_ptr<std::atomic<int>> m_state;
    ::CTaskManager* m_manager;
    WorkerPool* m_pool;
    ThreadTaskStats* m_stats;
    std::function<void()> m_finishing;
};
