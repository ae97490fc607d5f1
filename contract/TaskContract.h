// Background work as the host's task manager runs it.
//
// A tool wraps each piece of work in a CTask and hands it to the manager,
// which starts waiting tasks in submission order while fewer than its maximum
// are executing. The task runs its work on a thread of its own. A task that
// finishes normally calls RemoveTask(this) on its manager from its own thread
// and then deletes itself; the manager deletes a task only when Stop() allowed
// it. Slot order is part of the contract, as in ToolContract.h.
#pragma once

#include <QString>

class CTask {
public:
    virtual ~CTask() = default;
    // Begin the work asynchronously and return at once. Called under the
    // manager's lock: must not call back into the manager. Result ignored.
    virtual int Start() = 0;
    // End the work now. Return 1 if the manager may unlink and delete the
    // task; anything else leaves it where it is. Called under the manager's
    // lock, for waiting and executing tasks alike.
    virtual int Stop() = 0;
    // All tasks of one tool share one type name.
    virtual QString GetTypeName() = 0;
};

class CTaskManager {
public:
    virtual ~CTaskManager() = default;
    // Any thread. The task waits until the scheduler starts it.
    virtual void AddTask(CTask* task) = 0;
    // Any thread; removes the task from the executing list (not deleted).
    virtual void RemoveTask(CTask* task) = 0;
    // Executing plus waiting tasks whose type name equals `typeName` exactly.
    virtual int GetTaskCount(const QString& typeName) = 0;
};
