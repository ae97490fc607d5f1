// The task that probes one address on a thread of its own.
#pragma once

#include <QString>

#include <atomic>
#include <memory>

#include "contract/TaskContract.h"
#include "plugins/hostpatrol/HostProbe.h"
#include "plugins/hostpatrol/ProbeThreads.h"

namespace vx::hostpatrol {

// Every probe task's type name; the sweep gate counts tasks by it.
inline const QString kProbeTypeName = QStringLiteral("主机巡测");

// Shared by a task and its thread, so that the thread can learn it was
// stopped after the task object is gone.
struct ProbeTicket {
    enum State { Waiting, Running, Finishing, Stopped };
    // Waiting -> Running (Start) -> Finishing (the thread commits to deliver,
    // remove and delete) or Stopped (Stop). Whoever moves it first wins.
    std::atomic<int> state{Waiting};
    // Set by a Stop that came too late to keep the thread from delivering:
    // the result is already queued for the page and is dropped there.
    std::atomic<bool> withdrawn{false};
};

// What the probes of one page share. Whoever owns it joins Threads() before
// destroying anything the probes use.
class CProbeEngine {
public:
    virtual ~CProbeEngine() = default;
    virtual IHostProbe& Probe() = 0;
    // Runs on a probe's thread. Hands a copy of the result to the page's
    // thread and returns at once: the page never waits for a probe, so a
    // probe must never wait for the page. Withdrawn tickets' results are
    // dropped on arrival.
    virtual void Deliver(std::shared_ptr<const ProbeTicket> ticket, HostScanResult result) = 0;
    CProbeThreads& Threads() { return m_threads; }

private:
    CProbeThreads m_threads;
};

// One address of one sweep. Runs on its own thread once the task manager
// starts it; on a normal finish it delivers its result, removes itself from
// the manager and deletes itself. Stop never waits for the probe: a stopped
// task's thread finishes its probe, delivers nothing and never touches the
// task again, so the manager may delete it at once.
class CHostProbeTask final : public ::CTask {
public:
    // `sweep`, when given, holds the answers of the sweep this task is part of.
    CHostProbeTask(::CTaskManager* manager, CProbeEngine* engine, const QString& address,
                   bool shareOption, std::shared_ptr<ISweepTable> sweep = nullptr);

    // Creates the thread on the first call only. 1 when a thread runs.
    int Start() override;
    // 1 unless the thread has already committed to finishing, in which case
    // it removes and deletes the task itself and its result is dropped.
    int Stop() override;
    QString GetTypeName() override;

    const QString& Address() const { return m_address; }
    bool ShareOption() const { return m_shareOption; }

private:
    static void Run(CHostProbeTask* task, std::shared_ptr<ProbeTicket> ticket,
                    ::CTaskManager* manager, CProbeEngine* engine, QString address,
                    bool shareOption, std::shared_ptr<ISweepTable> sweep);

    std::shared_ptr<ProbeTicket> m_ticket;
    bool m_started = false;  // Start and Stop both run under the manager's lock
    bool m_launched = false;
    ::CTaskManager* m_manager;  // not owned
    CProbeEngine* m_engine;     // not owned
    const QString m_address;
    const bool m_shareOption;
    const std::shared_ptr<ISweepTable> m_sweep;
};

}  // namespace vx::hostpatrol
