// The host's task manager: waiting and executing lists under one lock, a
// scheduler thread that starts waiting tasks in submission order while fewer
// than the maximum are executing, and the per-type statistics.
#pragma once

#include <QList>
#include <QString>

#include "contract/TaskContract.h"

class CHostOutput;

namespace vx {

struct TaskTypeStat {
    QString typeName;
    int executing = 0;
    int waiting = 0;
};

class CTaskManager final : public ::CTaskManager {
public:
    // The scheduler reports its counts to `output` (status pane 1).
    explicit CTaskManager(::CHostOutput* output);
    // Sets the stop flag and joins the scheduler thread. Tasks still listed
    // are not deleted.
    ~CTaskManager() override;

    void AddTask(CTask* task) override;
    void RemoveTask(CTask* task) override;
    int GetTaskCount(const QString& typeName) override;

    // Host-only operations.
    void StartScheduler();
    void SetMaxThreads(int maximum);
    int CancelAllTasks();
    void GetTaskTypeStats(QList<TaskTypeStat>& stats);
};

}  // namespace vx
