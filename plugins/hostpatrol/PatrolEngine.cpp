#include "plugins/hostpatrol/PatrolEngine.h"

#include "plugins/hostpatrol/HostPatrolDlg.h"

namespace vx::hostpatrol {

CPatrolEngine::CPatrolEngine(std::shared_ptr<IHostProbe> probe,
                             std::function<QString()> subnetPrefix)
    : m_probe(probe ? std::move(probe) : std::make_shared<CNetworkProbe>()),
      m_subnetPrefix(subnetPrefix ? std::move(subnetPrefix) : &GetLocalSubnetPrefix) {}

CPatrolEngine::~CPatrolEngine() { Threads().JoinAll(); }

void CPatrolEngine::Deliver(std::shared_ptr<const ProbeTicket> ticket, HostScanResult result) {
    // The route is known once a probe has run; finding it may start the ARP
    // helper, which is no work for the UI thread.
    QString notice;
    if (!m_noticeTaken.exchange(true)) notice = m_probe->RouteNotice();
    // Queued to this object, not to the page: the page may be destroyed on
    // the UI thread while this runs, this object may not.
    QMetaObject::invokeMethod(
        this,
        [this, ticket = std::move(ticket), result = std::move(result), notice] {
            if (!notice.isEmpty() && m_output) m_output->OutputMsg(notice);
            if (ticket->withdrawn.load() || !m_page) return;
            m_page->ApplyScanResult(result);
        },
        Qt::QueuedConnection);
}

}  // namespace vx::hostpatrol
