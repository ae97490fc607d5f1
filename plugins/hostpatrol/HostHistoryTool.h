// The tool object "搜索工具_主机历史": the host patrol plug-in's second tool,
// owning the history page and sharing the history with the patrol tool.
#pragma once

#include <memory>

#include "contract/ToolContract.h"

namespace vx::hostpatrol {

class CHostHistory;
class CHostHistoryDlg;

class CHostHistoryTool final : public CToolBase {
public:
    explicit CHostHistoryTool(ToolHostContext* context);
    // Tests give a history of their own.
    CHostHistoryTool(ToolHostContext* context, std::shared_ptr<CHostHistory> history);
    ~CHostHistoryTool() override;

    CHostHistoryDlg* Page() const;

private:
    std::shared_ptr<CHostHistory> m_history;
};

}  // namespace vx::hostpatrol
