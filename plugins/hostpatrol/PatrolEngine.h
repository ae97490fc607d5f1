// Runs a page's probes and carries their results back to the page's thread.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

#include "contract/ToolContract.h"
#include "plugins/hostpatrol/HostProbeTask.h"

namespace vx::hostpatrol {

class CHostPatrolDlg;

// Lives on the UI thread and is owned by the tool, which outlives the page
// and every task of the plug-in. Its destructor joins every probe thread
// before anything they use goes away; results still queued at that moment
// are discarded with the object.
class CPatrolEngine final : public QObject, public CProbeEngine {
    Q_OBJECT
public:
    // Null arguments mean the real network probe and this machine's subnet.
    explicit CPatrolEngine(std::shared_ptr<IHostProbe> probe = nullptr,
                           std::function<QString()> subnetPrefix = {});
    ~CPatrolEngine() override;

    IHostProbe& Probe() override { return *m_probe; }
    void Deliver(std::shared_ptr<const ProbeTicket> ticket, HostScanResult result) override;

    // The sweep's prefix ("192.168.1"), or "" when there is no address.
    QString SubnetPrefix() const { return m_subnetPrefix(); }
    // Where results go; a result that arrives after the page is gone is dropped.
    void SetPage(CHostPatrolDlg* page) { m_page = page; }
    // Where the probe's one notice about its route goes (the host's output
    // log); set before the first sweep.
    void SetOutput(::CHostOutput* output) { m_output = output; }

private:
    std::shared_ptr<IHostProbe> m_probe;
    std::function<QString()> m_subnetPrefix;
    QPointer<CHostPatrolDlg> m_page;  // UI thread only
    ::CHostOutput* m_output = nullptr;  // not owned; written before any probe runs
    std::atomic<bool> m_noticeTaken{false};
};

}  // namespace vx::hostpatrol
