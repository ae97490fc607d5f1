#include "host/app/VexmorDoc.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/tasks/TaskBrowseDlg.h"
#include "host/tasks/TaskCommands.h"
#include "host/tasks/TaskManager.h"
#include "host/tools/HostOutput.h"
#include "host/tools/LinkTool.h"
#include "host/tools/ToolDisplayDlg.h"
#include "host/tools/ToolHost.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolManager.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/update/ComponentDlg.h"
#include "host/update/UpdateDlg.h"
#include "platform/DesktopServices.h"
#include "platform/Modal.h"

namespace vx {
namespace {

constexpr int kMaxThreads = 32;
// How often a close that waits for modal loops to return looks again.
constexpr int kUnwindRetryMs = 10;

}  // namespace

CVexmorDoc::CVexmorDoc()
    : m_toolManager(std::make_unique<CToolManager>()),
      m_hostOutput(std::make_unique<CHostOutput>(this)) {
    m_optionsDlg = std::make_unique<CToolOptionsDlg>();
    m_toolHost = std::make_unique<CToolHost>(this);
    m_taskManager = std::make_unique<CTaskManager>(m_hostOutput.get());
    // The desktop's logout quits the application (see eventFilter).
    if (qApp) qApp->installEventFilter(this);
}

bool CVexmorDoc::eventFilter(QObject* watched, QEvent* event) {
    if (watched != qApp || event->type() != QEvent::Quit)
        return QObject::eventFilter(watched, event);
    // Qt would first close every window: a message box takes that for its
    // OK, and a frame without a tray refuses (it minimises), which turns the
    // logout down. Instead the modals learn that they were ended, and every
    // loop is told to end; the application closes the document once the
    // outermost one has returned.
    platform::EndAllModals();
    QCoreApplication::exit(0);
    return true;
}

CVexmorDoc::~CVexmorDoc() {
    // The scheduler thread reports through the host output, and tools' work
    // runs in the tasks: the task manager goes first. The tool manager goes
    // last because it unloads the libraries whose code everything else may
    // still be running.
    m_taskManager.reset();
    m_toolHost.reset();
    m_popup.reset();
    m_optionsDlg.reset();
    m_hostOutput.reset();
    m_toolManager.reset();
}

void CVexmorDoc::AddView(QWidget* view) { m_views.append(view); }

CMsgPopupDlg* CVexmorDoc::Popup() {
    if (!m_popup) m_popup = std::make_unique<CMsgPopupDlg>();
    return m_popup.get();
}

CMainFrame* CVexmorDoc::Frame() const { return m_frame.data(); }

bool CVexmorDoc::OnNewDocument() {
    // A second new-document command (Ctrl+N) would load every plug-in again
    // and start a second scheduler: initialisation happens once per run.
    if (m_initialised) return true;
    QWidget* firstView = m_views.isEmpty() ? nullptr : m_views.first().data();
    auto* frame = firstView ? qobject_cast<CMainFrame*>(firstView->window()) : nullptr;
    if (!frame) return false;
    m_initialised = true;
    m_frame = frame;

    // Both dialogs exist from construction on and stay hidden until asked for.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        m_optionsDlg->move(screen->availableGeometry().center() - m_optionsDlg->rect().center());

    m_toolManager->SetMainWindow(frame);
    LoadTools();

    if (QComboBox* list = frame->GetThreadCountList()) {
        // Selecting programmatically is not the user's choice: no command follows.
        const QSignalBlocker block(list);
        const int index = list->findText(QString::number(kMaxThreads));
        list->setCurrentIndex(index >= 0 ? index : 2);
    }
    m_taskManager->SetMaxThreads(kMaxThreads);
    m_taskManager->StartScheduler();
    return true;
}

void CVexmorDoc::OnCloseDocument() {
    if (m_closed) return;
    if (!m_closing) {
        m_closing = true;
        m_taskManager->CancelAllTasks();
    }
    FinishClose();
}

void CVexmorDoc::FinishClose() {
    if (m_closed) return;
    // A modal's nested loop has the menu, button or page handler that opened
    // it below it on the stack, in the host or in a plug-in. All of those
    // live in the frame, so the frame goes only once every loop has returned.
    platform::EndAllModals();
    if (platform::ModalRunning()) {
        if (!m_finishPending) {
            m_finishPending = true;
            QTimer::singleShot(kUnwindRetryMs, this, [this] {
                m_finishPending = false;
                FinishClose();
            });
        }
        return;
    }
    m_closed = true;
    // Handlers that ran on while the loops unwound may have queued work.
    m_taskManager->CancelAllTasks();
    // The tools' pages are children of the frame's show view and go with it;
    // the tools themselves stay until the document is destroyed.
    delete m_frame.data();
    emit DocumentClosed();
}

void CVexmorDoc::LoadTools() {
    m_context.toolHost = m_toolHost.get();
    m_context.taskManager = m_taskManager.get();
    m_context.hostOutput = m_hostOutput.get();
    m_context.toolManager = m_toolManager.get();

    m_toolManager->CreateTools(&m_context);

    for (const CLinkTool::Link& link : CLinkTool::Links())
        m_toolManager->AddToolEntry(new CLinkTool(&m_context, link.fullName, link.url), false);

    RebuildToolList();
}

void CVexmorDoc::RebuildToolList() {
    if (CMainFrame* frame = Frame(); frame && frame->GetToolListView())
        frame->GetToolListView()->ResetTools();
    m_optionsDlg->Reset();
    m_toolManager->RegisterVisibleTools();
}

void CVexmorDoc::OnToolOptions() {
    m_optionsDlg->show();
    m_optionsDlg->raise();
}

void CVexmorDoc::OnToolDisplay() { platform::RunModal(new CToolDisplayDlg(this, Frame())); }

void CVexmorDoc::OnTaskBrowse() {
    platform::RunModal(new CTaskBrowseDlg(m_taskManager.get(), Frame()));
}

void CVexmorDoc::OnCancelAllTasks() { CancelAllTasksCommand(*m_taskManager, *m_hostOutput); }

void CVexmorDoc::OnSetMaxThreads() {
    CMainFrame* frame = Frame();
    if (!frame || !frame->GetThreadCountList()) return;
    SetMaxThreadsCommand(*m_taskManager, *m_hostOutput, frame->GetThreadCountList()->currentText());
}

// Owned by the main window, as a dialog without a parent of its own always was.
void CVexmorDoc::OnComponentManage() {
    platform::RunModal(new CComponentDlg(Frame(), UpdateLog()));
}
void CVexmorDoc::OnUpdate() { platform::RunModal(new CUpdateDlg(Frame(), UpdateLog())); }

std::function<void(const QString&)> CVexmorDoc::UpdateLog() const {
    // The output object outlives every dialog the document runs.
    return [out = m_hostOutput.get()](const QString& text) { out->OutputMsg(text); };
}

void CVexmorDoc::OnHomePage() {
    platform::OpenUrl(QUrl::fromUserInput(CLinkTool::HomePageUrl()));
}

}  // namespace vx
