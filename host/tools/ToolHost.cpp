#include "host/tools/ToolHost.h"

#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/tools/ToolShowView.h"

namespace vx {

QWidget* CToolHost::GetPageParent() {
    CMainFrame* frame = m_doc->Frame();
    return frame ? frame->GetToolShowView() : nullptr;
}

QWidget* CToolHost::GetOptionParent() { return m_doc->OptionsDlg(); }

void CToolHost::AddTool(const QString& name, const QIcon& icon, QWidget* page) {
    CMainFrame* frame = m_doc->Frame();
    if (frame && frame->GetToolListView()) frame->GetToolListView()->AddTool(name, icon, page);
}

void CToolHost::AddOptionPage(const QString& name, const QIcon& icon, COptionPage* page) {
    if (CToolOptionsDlg* dlg = m_doc->OptionsDlg()) dlg->AddOptionPage(name, icon, page);
}

}  // namespace vx
