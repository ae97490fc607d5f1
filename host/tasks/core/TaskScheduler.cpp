#include "host/tasks/core/TaskScheduler.h"

#include <algorithm>
#include <unordered_set>

namespace vx {

TaskScheduler::TaskScheduler(TaskDriver& driver, SchedulerOptions options)
    : m_driver(driver), m_options(options) {}

TaskScheduler::~TaskScheduler() { Shutdown(); }

void TaskScheduler::Start() {
    if (m_thread.joinable() || m_shutDown) return;
    m_thread = std::thread([this] { Loop(); });
}

void TaskScheduler::Shutdown() {
    if (m_shutDown) return;
    m_shutDown = true;
    {
        // Set under the lock so that the scheduler cannot test the flag and
        // then miss the notification on its way into the wait.
        std::lock_guard lock(m_lock);
        m_stop.store(true);
        m_wake.notify_all();
    }
    if (m_thread.joinable()) m_thread.join();

    // A task that refused Stop (typically because its thread is already
    // finishing) still calls RemoveTask on us; wait for that rather than let
    // it land on freed memory. A task that never removes itself (a failed
    // Start) is given up on after the timeout.
    std::unique_lock lock(m_lock);
    m_drained.wait_for(lock, m_options.drainTimeout, [this] { return m_executing.empty(); });
}

void TaskScheduler::AddTask(TaskHandle task) {
    std::lock_guard lock(m_lock);
    m_waiting.push_back(task);
    if (m_options.wakeOnChange) {
        m_wakePending = true;
        // Notified under the lock: once it is released the caller may be the
        // last one to touch a scheduler that is being destroyed.
        m_wake.notify_one();
    }
}

void TaskScheduler::RemoveTask(TaskHandle task) {
    std::lock_guard lock(m_lock);
    const auto before = m_executing.size();
    std::erase(m_executing, task);
    if (m_executing.size() == before) return;
    if (m_options.wakeOnChange) {
        m_wakePending = true;
        m_wake.notify_one();
    }
    // Under the lock for the same reason as above: Shutdown may return and
    // free this object the moment the list is seen empty.
    if (m_executing.empty()) m_drained.notify_all();
}

void TaskScheduler::SetMaxThreads(int maximum) { m_maxThreads.store(maximum); }

int TaskScheduler::MaxThreads() const { return m_maxThreads.load(); }

void TaskScheduler::RunCycle() {
    const auto maximum = static_cast<std::ptrdiff_t>(m_maxThreads.load());
    int executing = 0;
    int waiting = 0;
    {
        std::lock_guard lock(m_lock);
        m_wakePending = false;
        while (!m_waiting.empty() && std::ssize(m_executing) < maximum) {
            TaskHandle task = m_waiting.front();
            m_waiting.pop_front();
            // Started under the lock and listed before it is released: a task
            // whose thread finishes at once blocks in RemoveTask until it is
            // in the executing list to be removed from.
            m_driver.Start(task);
            m_executing.push_back(task);
        }
        executing = static_cast<int>(m_executing.size());
        waiting = static_cast<int>(m_waiting.size());
    }
    m_cycles.fetch_add(1, std::memory_order_relaxed);
    m_driver.Status(executing, waiting);
}

void TaskScheduler::Loop() {
    while (!m_stop.load()) {
        RunCycle();
        std::unique_lock lock(m_lock);
        m_wake.wait_for(lock, m_options.period, [this] {
            return m_stop.load() || (m_options.wakeOnChange && m_wakePending);
        });
    }
}

int TaskScheduler::CancelAll() {
    std::lock_guard lock(m_lock);
    const int present = static_cast<int>(m_executing.size() + m_waiting.size());

    // A task listed twice (added twice by mistake) must be deleted once: later
    // entries of a task already deleted are dropped without asking it again.
    std::unordered_set<TaskHandle> deleted;
    auto removeStopped = [&](auto& list) {
        auto kept = list.begin();
        for (auto it = list.begin(); it != list.end(); ++it) {
            TaskHandle task = *it;
            if (!deleted.contains(task)) {
                if (m_driver.Stop(task) != 1) {
                    *kept++ = task;
                    continue;
                }
                deleted.insert(task);
                m_driver.Delete(task);
            }
        }
        list.erase(kept, list.end());
    };
    removeStopped(m_executing);
    removeStopped(m_waiting);
    if (m_executing.empty()) m_drained.notify_all();
    return present;
}

std::vector<TaskTypeCount> TaskScheduler::TypeCounts() {
    std::vector<TaskTypeCount> rows;
    auto rowOf = [&rows](std::u16string name) -> TaskTypeCount& {
        for (auto& row : rows)
            if (row.typeName == name) return row;
        return rows.emplace_back(TaskTypeCount{std::move(name), 0, 0});
    };
    std::lock_guard lock(m_lock);
    for (TaskHandle task : m_executing) ++rowOf(m_driver.TypeName(task)).executing;
    for (TaskHandle task : m_waiting) ++rowOf(m_driver.TypeName(task)).waiting;
    return rows;
}

int TaskScheduler::CountOfType(const std::u16string& typeName) {
    for (const auto& row : TypeCounts())
        if (row.typeName == typeName) return row.executing + row.waiting;
    return 0;
}

}  // namespace vx
