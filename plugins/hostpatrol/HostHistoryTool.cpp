#include "plugins/hostpatrol/HostHistoryTool.h"

#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"

namespace vx::hostpatrol {
namespace {

// The name is a key and stays as it is; the host shows this part translated
// (see plugins/common/PluginEntry.h).
[[maybe_unused]] constexpr const char* kShownName = QT_TRANSLATE_NOOP("ToolName", "主机历史");

}  // namespace

CHostHistoryTool::CHostHistoryTool(ToolHostContext* context)
    : CHostHistoryTool(context, SharedHostHistory()) {}

CHostHistoryTool::CHostHistoryTool(ToolHostContext* context, std::shared_ptr<CHostHistory> history)
    : CToolBase(context), m_history(std::move(history)) {
    m_history->SetOutput(context->hostOutput);
    auto* page = new CHostHistoryDlg(m_history.get(), context->toolHost->GetPageParent());
    page->hide();
    m_page = page;
    m_name = QStringLiteral("搜索工具_主机历史");
    m_icon = QIcon(QStringLiteral(":/hostpatrol/history.svg"));
}

CHostHistoryTool::~CHostHistoryTool() { delete m_page.data(); }

CHostHistoryDlg* CHostHistoryTool::Page() const {
    return static_cast<CHostHistoryDlg*>(m_page.data());
}

}  // namespace vx::hostpatrol
