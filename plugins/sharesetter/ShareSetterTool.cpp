#include "plugins/sharesetter/ShareSetterTool.h"

#include "platform/UserShares.h"
#include "plugins/common/EnumHostShares.h"
#include "plugins/common/ToolSettings.h"
#include "plugins/sharesetter/ShareSetterDlg.h"

namespace vx::sharesetter {
namespace {

// The name is a key and stays as it is; the host shows this part translated
// (see plugins/common/PluginEntry.h).
[[maybe_unused]] constexpr const char* kShownName = QT_TRANSLATE_NOOP("ToolName", "设置共享资源");

}  // namespace

CShareSetterTool::CShareSetterTool(ToolHostContext* context)
    : CShareSetterTool(context, {std::make_shared<vx::platform::NetUserShares>(), [] {
                                     QStringList names;
                                     EnumHostShares(QStringLiteral("127.0.0.1"), names);
                                     return names;
                                 }}) {}

CShareSetterTool::CShareSetterTool(ToolHostContext* context, ShareServices services)
    : CToolBase(context), m_services(std::move(services)) {
    if (CToolSettings* settings = CToolSettings::Get())
        settings->SetSection(QStringLiteral("设置共享资源"));
    auto* page = new CShareSetterDlg(this, context->toolHost->GetPageParent());
    page->hide();
    m_page = page;
    m_name = QStringLiteral("搜索工具_设置共享资源");
    m_icon = QIcon(QStringLiteral(":/sharesetter/tool.svg"));
}

CShareSetterTool::~CShareSetterTool() {
    delete m_page.data();
    CToolSettings::Delete();
}

CShareSetterDlg* CShareSetterTool::Page() const {
    return static_cast<CShareSetterDlg*>(m_page.data());
}

}  // namespace vx::sharesetter
