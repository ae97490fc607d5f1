#include "plugins/hostpatrol/HostPatrolTool.h"

#include "plugins/common/ToolSettings.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/PatrolEngine.h"

namespace vx::hostpatrol {
namespace {

// The name is a key and stays as it is; the host shows this part translated
// (see plugins/common/PluginEntry.h).
[[maybe_unused]] constexpr const char* kShownName = QT_TRANSLATE_NOOP("ToolName", "主机巡测");

}  // namespace

CHostPatrolTool::CHostPatrolTool(ToolHostContext* context)
    : CHostPatrolTool(context, nullptr, {}, std::make_shared<CNetworkNamer>(),
                      SharedHostHistory()) {}

CHostPatrolTool::CHostPatrolTool(ToolHostContext* context, std::shared_ptr<IHostProbe> probe,
                                 std::function<QString()> subnetPrefix,
                                 std::shared_ptr<IHostNamer> namer,
                                 std::shared_ptr<CHostHistory> history)
    : CToolBase(context),
      m_engine(std::make_unique<CPatrolEngine>(std::move(probe), std::move(subnetPrefix))),
      m_identity(std::make_unique<CHostIdentity>(std::move(namer))),
      m_history(std::move(history)) {
    m_identity->SetOutput(context->hostOutput);
    // What the identification finds is remembered with the device.
    if (m_history)
        QObject::connect(m_identity.get(), &CHostIdentity::Identified, m_history.get(),
                         [history = m_history.get()](const QString&, const QString& mac,
                                                     const QString& name, const QString& maker) {
                             history->RecordIdentity(mac, name, maker);
                         });
    if (CToolSettings* settings = CToolSettings::Get())
        settings->SetSection(QStringLiteral("主机巡测"));
    m_engine->SetOutput(context->hostOutput);
    auto* page = new CHostPatrolDlg(this, context->toolHost->GetPageParent());
    page->hide();
    if (m_history) {
        m_history->SetOutput(context->hostOutput);
        page->SetHistory(m_history.get());
    }
    m_page = page;
    m_name = QStringLiteral("搜索工具_主机巡测");
    m_icon = QIcon(QStringLiteral(":/hostpatrol/tool.svg"));
}

CHostPatrolTool::~CHostPatrolTool() {
    delete m_page.data();
    CToolSettings::Delete();
    m_engine.reset();
    m_identity.reset();
    m_history.reset();
}

CHostPatrolDlg* CHostPatrolTool::Page() const {
    return static_cast<CHostPatrolDlg*>(m_page.data());
}

}  // namespace vx::hostpatrol
