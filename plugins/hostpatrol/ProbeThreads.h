// Every thread the plug-in starts, so that none outlives the plug-in's code.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace vx::hostpatrol {

// Threads are joined, never detached: a thread's last instructions (the
// return path of its entry function) are code of this library, so the only
// safe moment to unload it is after a join. Finished threads are reaped on
// the next Launch, so a long patrol does not accumulate them.
class CProbeThreads {
public:
    CProbeThreads() = default;
    CProbeThreads(const CProbeThreads&) = delete;
    CProbeThreads& operator=(const CProbeThreads&) = delete;
    ~CProbeThreads();

    // Runs `work` on a new thread; false when no thread could be created.
    // Any thread may call it.
    bool Launch(std::function<void()> work);
    // Waits for every thread launched so far (and any launched meanwhile).
    // Must not be called from one of these threads.
    void JoinAll();
    // Threads launched and not yet joined.
    int Count() const;

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    using WorkerList = std::list<std::unique_ptr<Worker>>;
    static void Join(WorkerList& workers);

    mutable std::mutex m_lock;
    WorkerList m_workers;  // guarded by m_lock
};

}  // namespace vx::hostpatrol
