#include "plugins/hostpatrol/HostProbeTask.h"

namespace vx::hostpatrol {

CHostProbeTask::CHostProbeTask(::CTaskManager* manager, CProbeEngine* engine,
                               const QString& address, bool shareOption,
                               std::shared_ptr<ISweepTable> sweep)
    : m_ticket(std::make_shared<ProbeTicket>()),
      m_manager(manager),
      m_engine(engine),
      m_address(address),
      m_shareOption(shareOption),
      m_sweep(std::move(sweep)) {}

int CHostProbeTask::Start() {
    if (m_started) return m_launched ? 1 : 0;
    m_started = true;
    m_ticket->state.store(ProbeTicket::Running);
    // The thread gets copies of everything it needs: once the task is
    // stopped it may be deleted while the probe is still running.
    m_launched =
        m_engine->Threads().Launch([task = this, ticket = m_ticket, manager = m_manager,
                                    engine = m_engine, address = m_address, share = m_shareOption,
                                    sweep = m_sweep]() mutable {
            Run(task, ticket, manager, engine, address, share, std::move(sweep));
        });
    // Without a thread the task never finishes on its own; it keeps the sweep
    // gate closed until the user ends the tasks.
    return m_launched ? 1 : 0;
}

int CHostProbeTask::Stop() {
    int state = m_ticket->state.load();
    while (state == ProbeTicket::Waiting || state == ProbeTicket::Running) {
        if (m_ticket->state.compare_exchange_weak(state, ProbeTicket::Stopped)) return 1;
    }
    if (state == ProbeTicket::Stopped) return 1;
    m_ticket->withdrawn.store(true);
    return 0;
}

QString CHostProbeTask::GetTypeName() { return kProbeTypeName; }

void CHostProbeTask::Run(CHostProbeTask* task, std::shared_ptr<ProbeTicket> ticket,
                         ::CTaskManager* manager, CProbeEngine* engine, QString address,
                         bool shareOption, std::shared_ptr<ISweepTable> sweep) {
    HostScanResult result = RunProbe(
        engine->Probe(), address, shareOption,
        [&ticket] { return ticket->state.load() == ProbeTicket::Stopped; }, sweep.get());
    // The sweep's last probe ends it here, not after delivering.
    sweep.reset();
    int expected = ProbeTicket::Running;
    if (!ticket->state.compare_exchange_strong(expected, ProbeTicket::Finishing)) return;
    engine->Deliver(ticket, std::move(result));
    manager->RemoveTask(task);
    delete task;
}

}  // namespace vx::hostpatrol
