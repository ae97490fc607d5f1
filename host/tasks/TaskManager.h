// The host's task manager: waiting and executing lists under one lock, a
// scheduler thread that starts waiting tasks in submission order while fewer
// than the maximum are executing, and the per-type statistics.
//
// The lists, the lock and the thread live in the Qt-free TaskScheduler; this
// class adapts it to the contract's CTask and QString type names and sends the
// counts to the status bar.
#pragma once

#include <QList>
#include <QString>

#include "contract/TaskContract.h"
#include "host/tasks/core/TaskScheduler.h"

class CHostOutput;

namespace vx {

struct TaskTypeStat {
    QString typeName;
    int executing = 0;
    int waiting = 0;
};

class CTaskManager final : public ::CTaskManager, private TaskDriver {
public:
    // The scheduler reports its counts to `output` (status pane 1); `output`
    // may be null and must outlive the manager.
    explicit CTaskManager(::CHostOutput* output);
    CTaskManager(::CHostOutput* output, const SchedulerOptions& options);
    // Sets the stop flag and joins the scheduler thread, then gives executing
    // tasks that refused Stop a bounded time to remove themselves. Tasks still
    // listed are not deleted.
    ~CTaskManager() override;

    void AddTask(CTask* task) override;
    void RemoveTask(CTask* task) override;
    int GetTaskCount(const QString& typeName) override;

    // Host-only operations.
    void StartScheduler();
    void SetMaxThreads(int maximum);
    int CancelAllTasks();
    void GetTaskTypeStats(QList<TaskTypeStat>& stats);

    int MaxThreads() const { return m_scheduler.MaxThreads(); }
    // One scheduler cycle on the calling thread (tests and benchmarks).
    void RunSchedulerCycle() { m_scheduler.RunCycle(); }

    static QString StatusText(int executing, int waiting);

private:
    void Start(TaskHandle task) override;
    int Stop(TaskHandle task) override;
    void Delete(TaskHandle task) override;
    std::u16string TypeName(TaskHandle task) override;
    void Status(int executing, int waiting) override;

    ::CHostOutput* m_output;  // not owned
    TaskScheduler m_scheduler;
};

}  // namespace vx
