#include "host/tools/HostOutput.h"

#include <QThread>

#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/frame/OutputMsgView.h"

namespace vx {

CHostOutput::CHostOutput(CVexmorDoc* doc) : m_doc(doc) {}

void CHostOutput::OutputMsg(const QString& text) {
    CMainFrame* frame = m_doc->Frame();
    if (!frame || !frame->GetOutputView()) return;
    frame->GetOutputView()->AddLine(text);
}

void CHostOutput::SetStatusText(int pane, const QString& text) {
    if (QThread::currentThread() == m_uiContext.thread()) {
        SetStatusTextNow(pane, text);
        return;
    }
    QMetaObject::invokeMethod(
        &m_uiContext, [this, pane, text] { SetStatusTextNow(pane, text); }, Qt::QueuedConnection);
}

void CHostOutput::SetStatusTextNow(int pane, const QString& text) {
    if (CMainFrame* frame = m_doc->Frame()) frame->SetStatusPaneText(pane, text);
}

void CHostOutput::ShowMsg(const QString& text) {
    if (CMsgPopupDlg* popup = m_doc->Popup()) popup->ShowMsg(text);
}

}  // namespace vx
