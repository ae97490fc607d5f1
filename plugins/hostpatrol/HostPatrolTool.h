// The tool object "搜索工具_主机巡测": owns the page and the probe engine.
#pragma once

#include <functional>
#include <memory>

#include "contract/ToolContract.h"
#include "plugins/hostpatrol/HostProbe.h"

namespace vx::hostpatrol {

class CHostHistory;
class CHostIdentity;
class CHostPatrolDlg;
class CPatrolEngine;
class IHostNamer;

class CHostPatrolTool final : public CToolBase {
public:
    explicit CHostPatrolTool(ToolHostContext* context);
    // Tests give a fake probe and subnet so that nothing reaches the network;
    // names are then looked up only through the `namer` they give, and the
    // history is theirs or none.
    CHostPatrolTool(ToolHostContext* context, std::shared_ptr<IHostProbe> probe,
                    std::function<QString()> subnetPrefix,
                    std::shared_ptr<IHostNamer> namer = nullptr,
                    std::shared_ptr<CHostHistory> history = nullptr);
    // Deletes the page, then waits for every probe thread the plug-in started:
    // the library is unloaded right after this.
    ~CHostPatrolTool() override;

    ToolHostContext* Context() const { return m_context; }
    CPatrolEngine* Engine() const { return m_engine.get(); }
    CHostIdentity* Identity() const { return m_identity.get(); }
    CHostPatrolDlg* Page() const;

private:
    std::unique_ptr<CPatrolEngine> m_engine;
    std::unique_ptr<CHostIdentity> m_identity;
    std::shared_ptr<CHostHistory> m_history;  // shared with the history tool
};

}  // namespace vx::hostpatrol
