// The task engine's moving parts without any Qt: the waiting and executing
// lists, the one lock over them, and the scheduler thread that starts waiting
// tasks while fewer than the maximum execute. Kept free of Qt so that
// ThreadSanitizer sees every access to shared state.
//
// Tasks are opaque handles here; what starting, stopping, naming and deleting
// one means belongs to the TaskDriver that owns the scheduler.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx {

using TaskHandle = void*;

// Called by the scheduler. Start, Stop, Delete and TypeName run under the
// scheduler's lock and must not call back into it; Status runs on the
// scheduler thread with the lock released.
class TaskDriver {
public:
    virtual ~TaskDriver() = default;
    virtual void Start(TaskHandle task) = 0;
    // 1 lets the scheduler unlink and delete the task.
    virtual int Stop(TaskHandle task) = 0;
    virtual void Delete(TaskHandle task) = 0;
    // UTF-16 code units, compared exactly (no case folding, no trimming).
    virtual std::u16string TypeName(TaskHandle task) = 0;
    virtual void Status(int executing, int waiting) = 0;
};

struct SchedulerOptions {
    // Time between two scheduler cycles when nothing wakes it earlier.
    std::chrono::milliseconds period{100};
    // Run a cycle as soon as a task is added or removes itself, so that a free
    // slot is filled at once rather than at the next tick.
    bool wakeOnChange = true;
    // How long destruction waits for executing tasks to remove themselves.
    std::chrono::milliseconds drainTimeout{10000};
};

struct TaskTypeCount {
    std::u16string typeName;
    int executing = 0;
    int waiting = 0;
};

class TaskScheduler {
public:
    explicit TaskScheduler(TaskDriver& driver, SchedulerOptions options = {});
    // Stops and joins the scheduler thread, then waits (bounded by
    // drainTimeout) for tasks still executing to remove themselves: their
    // threads call RemoveTask on this object, which must not be freed under
    // them. Tasks left in the lists are not deleted.
    ~TaskScheduler();
    TaskScheduler(const TaskScheduler&) = delete;
    TaskScheduler& operator=(const TaskScheduler&) = delete;

    // Starts the scheduler thread; later calls, and calls after Shutdown, do
    // nothing.
    void Start();
    // What the destructor does, callable earlier so that an owner can stop the
    // thread while the driver is still whole. Idempotent; UI thread.
    void Shutdown();
    void AddTask(TaskHandle task);
    // Unlinks every executing entry of `task`; the waiting list is not searched.
    void RemoveTask(TaskHandle task);
    // Takes effect at the next cycle; running tasks are never stopped for it.
    void SetMaxThreads(int maximum);
    int MaxThreads() const;
    // Returns the number of tasks present when it began. Each task, executing
    // ones first, is asked to Stop; those answering 1 are unlinked and deleted.
    int CancelAll();
    // Rows in order of first appearance, executing tasks' types first.
    std::vector<TaskTypeCount> TypeCounts();
    // Executing plus waiting tasks whose type name equals `typeName`.
    int CountOfType(const std::u16string& typeName);

    // One scheduler cycle on the calling thread: start waiting tasks while
    // there is room, then report the counts. The scheduler thread runs it every
    // period; tests run it directly.
    void RunCycle();

    // The number of cycles run so far (any thread).
    long long CycleCount() const { return m_cycles.load(std::memory_order_relaxed); }

private:
    void Loop();

    TaskDriver& m_driver;
    const SchedulerOptions m_options;

    std::mutex m_lock;
    std::condition_variable m_wake;       // waited on with m_lock
    std::condition_variable m_drained;    // waited on with m_lock
    std::vector<TaskHandle> m_executing;  // guarded by m_lock, in start order
    std::deque<TaskHandle> m_waiting;     // guarded by m_lock, in submission order
    bool m_wakePending = false;           // guarded by m_lock

    // Read by the scheduler each cycle without the lock.
    std::atomic<int> m_maxThreads{32};
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_cycles{0};

    // Touched only by Start and Shutdown, which run on one thread.
    std::thread m_thread;
    bool m_shutDown = false;
};

}  // namespace vx
