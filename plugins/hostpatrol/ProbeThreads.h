// Every thread the plug-in starts, so that none outlives the plug-in's code.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include <pthread.h>

namespace vx::hostpatrol {

// Threads are joined, never detached: a thread's last instructions (the
// return path of its entry function) are code of this library, so the only
// safe moment to unload it is after a join. Finished threads are reaped on
// the next Launch, so a long patrol does not accumulate them.
//
// A probe needs little stack, and a sweep starts up to 254 of them at once:
// with the default 8 MiB stacks the C library keeps only a few for reuse, so
// every sweep mapped and unmapped hundreds of stacks, and the process's
// address-space lock that this holds stalled the UI thread for tens of
// milliseconds. Small stacks stay in the library's cache from sweep to sweep.
// The threads, and the share listing processes they start, run at a nice
// value five above the caller's.
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
        pthread_t thread{};
        bool joinable = false;
        std::function<void()> work;
        std::atomic<bool> finished{false};
    };
    static void* Main(void* worker);
    using WorkerList = std::list<std::unique_ptr<Worker>>;
    static void Join(WorkerList& workers);

    mutable std::mutex m_lock;
    WorkerList m_workers;  // guarded by m_lock
};

}  // namespace vx::hostpatrol
