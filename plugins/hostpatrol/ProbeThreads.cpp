#include "plugins/hostpatrol/ProbeThreads.h"

#include <system_error>

namespace vx::hostpatrol {

CProbeThreads::~CProbeThreads() { JoinAll(); }

void CProbeThreads::Join(WorkerList& workers) {
    for (auto& worker : workers)
        if (worker->thread.joinable()) worker->thread.join();
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
        Worker* self = worker.get();
        try {
            worker->thread = std::thread([self, work = std::move(work)] {
                work();
                self->finished.store(true, std::memory_order_release);
            });
            m_workers.push_back(std::move(worker));
        } catch (const std::system_error&) {
            launched = false;  // out of threads: the caller reports it as a result
        }
    }
    // Joining a finished thread only waits for its return path; done outside
    // the lock so that launching never waits on it.
    Join(finished);
    return launched;
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
