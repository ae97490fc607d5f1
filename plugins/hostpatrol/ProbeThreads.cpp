#include "plugins/hostpatrol/ProbeThreads.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The deepest a probe goes (the resolver's table wait, the share listing's
// helper, Qt's string code) is a few KiB; the rest is margin. 254 of these
// fit in the C library's cache of stacks (40 MiB).
constexpr size_t kProbeStackBytes = 128 * 1024;
// Probes are background work: a little lower in priority than the UI thread,
// so that the share listings a sweep starts all at once (a process each)
// cannot hold the page's event loop back.
constexpr int kProbeNiceIncrement = 5;

}  // namespace

namespace vx::hostpatrol {

CProbeThreads::~CProbeThreads() { JoinAll(); }

void CProbeThreads::Join(WorkerList& workers) {
    for (auto& worker : workers)
        if (worker->joinable) pthread_join(worker->thread, nullptr);
    workers.clear();
}

bool CProbeThreads::Launch(std::function<void()> work) {
    WorkerList finished;
    bool launched = true;
    {
        std::lock_guard guard(m_lock);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if ((*it)->finished.load(std::memory_order_acquire))
                finished.splice(finished.end(), m_workers, it);
            it = next;
        }
        auto worker = std::make_unique<Worker>();
        worker->work = std::move(work);
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, kProbeStackBytes);
        worker->joinable = pthread_create(&worker->thread, &attributes, &Main, worker.get()) == 0;
        pthread_attr_destroy(&attributes);
        // Out of threads: the caller reports it as a result.
        launched = worker->joinable;
        if (launched) m_workers.push_back(std::move(worker));
    }
    // Joining a finished thread only waits for its return path; done outside
    // the lock so that launching never waits on it.
    Join(finished);
    return launched;
}

void* CProbeThreads::Main(void* raw) {
    auto* worker = static_cast<Worker*>(raw);
    // Linux keeps a nice value per thread; the share listings it starts inherit it.
    const pid_t self = gettid();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) (void)setpriority(PRIO_PROCESS, self, nice + kProbeNiceIncrement);
    worker->work();
    worker->work = nullptr;  // what it captured goes with the thread's own work
    worker->finished.store(true, std::memory_order_release);
    return nullptr;
}

void CProbeThreads::JoinAll() {
    for (;;) {
        WorkerList all;
        {
            std::lock_guard guard(m_lock);
            if (m_workers.empty()) return;
            all.swap(m_workers);
        }
        Join(all);
    }
}

int CProbeThreads::Count() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_workers.size());
}

}  // namespace vx::hostpatrol
