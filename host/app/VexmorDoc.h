// The document: owner of every long-lived host object. It is created before
// the main frame, initialised once the frame and its views exist, closed by the
// exit command and destroyed last. Construction and destruction order are
// part of the design: the task manager must be gone before the tools, and
// every tool before its library.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "contract/ToolContract.h"

namespace vx {

class CMainFrame;
class CToolManager;
class CTaskManager;
class CHostOutput;
class CToolHost;
class CToolOptionsDlg;
class CMsgPopupDlg;

class CVexmorDoc : public QObject {
    Q_OBJECT
public:
    // Builds, in order: tool manager, host output, options dialog, message
    // popup, tool host, task manager (maximum 32).
    CVexmorDoc();
    // Deletes, in order: task manager (stops and joins the scheduler), tool
    // host, popup, options dialog, host output, tool manager (tools, then
    // libraries).
    ~CVexmorDoc() override;

    // The frame registers its views as it creates them, the tool list view first.
    void AddView(QWidget* view);

    // Document initialisation: finds the frame through the first view, loads
    // the tools, rebuilds the tool list, selects "32" and starts the scheduler.
    // Runs once per run; later calls return true and do nothing.
    bool OnNewDocument();
    // Exit: cancels every task, ends every open modal dialog and message box
    // (host and plug-ins), and once their event loops have returned destroys
    // the main frame and its views and emits DocumentClosed; the application
    // then ends and deletes the document. Called while a modal runs, it
    // returns at once and finishes from the event loop. Never call it from
    // inside one of the frame's own handlers (the frame queues its exit
    // command for this reason).
    void OnCloseDocument();
    bool IsClosed() const { return m_closed; }

    void LoadTools();
    void RebuildToolList();

    // Commands routed here by the main frame.
    void OnToolOptions();      // 32776
    void OnToolDisplay();      // 32778
    void OnTaskBrowse();       // 32780
    void OnCancelAllTasks();   // 32777
    void OnSetMaxThreads();    // 61446
    void OnComponentManage();  // 32783
    void OnUpdate();           // 32779
    void OnHomePage();         // 32784

    CMainFrame* Frame() const;  // null before initialisation and after the frame is gone
    CToolManager* ToolManager() const { return m_toolManager.get(); }
    CHostOutput* HostOutput() const { return m_hostOutput.get(); }
    CTaskManager* TaskManager() const { return m_taskManager.get(); }
    CToolOptionsDlg* OptionsDlg() const { return m_optionsDlg.get(); }
    // The message popup, made for the first message: nothing is announced
    // before the main window shows, so the start does without it.
    CMsgPopupDlg* Popup();
    CToolHost* ToolHost() const { return m_toolHost.get(); }
    ToolHostContext* Context() { return &m_context; }

signals:
    void DocumentClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FinishClose();
    // The output log, for the update dialogs to say why a check failed.
    std::function<void(const QString&)> UpdateLog() const;

    // Fields in the order the document builds them.
    std::unique_ptr<CToolManager> m_toolManager;
    std::unique_ptr<CHostOutput> m_hostOutput;
    std::unique_ptr<CTaskManager> m_taskManager;
    std::unique_ptr<CToolOptionsDlg> m_optionsDlg;
    std::unique_ptr<CMsgPopupDlg> m_popup;
    ToolHostContext m_context;
    std::unique_ptr<CToolHost> m_toolHost;
    QPointer<CMainFrame> m_frame;
    QList<QPointer<QWidget>> m_views;
    bool m_initialised = false;
    bool m_closing = false;        // exit has begun
    bool m_finishPending = false;  // a look for returned modal loops is queued
    bool m_closed = false;         // the frame is gone
};

}  // namespace vx
