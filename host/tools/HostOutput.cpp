#include "host/tools/HostOutput.h"

#include <QThread>

#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/frame/OutputMsgView.h"

namespace vx {

CHostOutput::CHostOutput(CVexmorDoc* doc) : m_doc(doc) {}

bool CHostOutput::QueuedToUiThread(std::function<void()> call) {
    if (QThread::currentThread() == m_uiContext.thread()) return false;
    QMetaObject::invokeMethod(&m_uiContext, std::move(call), Qt::QueuedConnection);
    return true;
}

void CHostOutput::OutputMsg(const QString& text) {
    if (QueuedToUiThread([this, text] { OutputMsg(text); })) return;
    CMainFrame* frame = m_doc->Frame();
    if (!frame || !frame->GetOutputView()) return;
    frame->GetOutputView()->AddLine(text);
}

void CHostOutput::SetStatusText(int pane, const QString& text) {
    if (QueuedToUiThread([this, pane, text] { SetStatusText(pane, text); })) return;
    if (CMainFrame* frame = m_doc->Frame()) frame->SetStatusPaneText(pane, text);
}

void CHostOutput::ShowMsg(const QString& text) {
    if (QueuedToUiThread([this, text] { ShowMsg(text); })) return;
    if (CMsgPopupDlg* popup = m_doc->Popup()) popup->ShowMsg(text);
}

}  // namespace vx
