// The contract between the Vexmor host and its tool plug-ins.
//
// A plug-in is a shared library in ToolDlls/ that exports one function,
// CreateObj. The host calls it with index 0, 1, 2, ... until it returns null;
// every tool it returns is owned by the host from then on and deleted through
// its virtual destructor before the library is unloaded.
//
// Host and plug-ins are built separately, so every interface here is a class
// of virtual operations only, and the order of the operations is part of the
// contract: slot 0 is always the virtual destructor, the others follow in the
// order declared. Never reorder, insert or remove an operation. Strings and
// icons cross the boundary by value as QString / QIcon; host and plug-ins link
// the same Qt libraries, so either side may free them. Failures are results
// (bool, -1, null); no exception crosses the boundary.
//
// Dialogs and message boxes: run every modal one through platform/Modal.h
// (RunModal on a heap dialog, ChooseFolder) or platform/MessageBox.h
// (ShowMessageBox), never exec() on a dialog of your own or a static
// QMessageBox / QFileDialog function. Every box and dialog is modal to its
// window only, never to the whole program: give it a parent (your page, or a
// dialog of it) and RunModal makes it window-modal. A box without a parent
// would be application-modal, and under an X11 tray that keeps the tray icon
// from opening its menu: 退出 could not be reached while the box shows.
// The user can end the program while a modal is open (the tray menu is not
// blocked by it); the host then ends every modal these helpers run, waits
// for their loops to return, and only then destroys the pages. After
// RunModal or ShowMessageBox returns, touch your page only if a QPointer to
// it is still set, and when ShowMessageBox returns false (exit ended the box)
// do not go on with what it interrupted.
//
// Shared and owned: a plug-in shares the platform layer with the host. It
// links the one libvexmor-platform.so beside the program (settings file,
// modal runner, message boxes, desktop services, network layer, HTTP client),
// so the running modals, the ARP helper and every other piece of
// process-wide state there is one per process, whoever calls. The plug-in
// records the platform version it was built against, and the host refuses it
// at load if that is not the version it runs. What a plug-in owns is
// plugins/common, compiled into it: its own settings store (its section of
// Vexmor.ini) and its own list control, apart from the host's and the other
// plug-ins'. Anything else crosses only through the interfaces below.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

class CTaskManager;  // contract/TaskContract.h
class CToolManager;

// A tool's name and icon, as handed out by CToolBase::GetToolInfo.
struct ToolInfo {
    QString name;  // full name, "folder_tool"
    QIcon icon;
};

// One page of the host's options dialog, owned by the tool that adds it.
//
// The page's window is a child of the options dialog, and at exit the host
// destroys that dialog, and the window with it, before it deletes any tool
// (as the tool show view takes the tool pages with it). A tool that deletes
// the window itself must therefore hold it in a QPointer and delete it only
// while that is still set; the COptionPage object is the tool's to delete.
class COptionPage {
public:
    virtual ~COptionPage() = default;
    // The page's window, created by the tool under CToolHost::GetOptionParent().
    virtual QWidget* GetPageWnd() = 0;
    // Apply and store the page's settings (the options dialog's "保存").
    virtual void SaveOptions() = 0;
};

// What the host's main window offers a tool. UI thread only.
class CToolHost {
public:
    virtual ~CToolHost() = default;
    // Parent for tool pages (the tool show view), or null while there is none.
    virtual QWidget* GetPageParent() = 0;
    // Parent for options pages (the options dialog).
    virtual QWidget* GetOptionParent() = 0;
    // Lists the tool under its folder; shows its page if no page is showing.
    virtual void AddTool(const QString& name, const QIcon& icon, QWidget* page) = 0;
    // Adds a page to the options dialog; the tool keeps owning it.
    virtual void AddOptionPage(const QString& name, const QIcon& icon, COptionPage* page) = 0;
};

// Where a tool's text goes.
class CHostOutput {
public:
    virtual ~CHostOutput() = default;
    // Time-stamped line in the output log. UI thread only.
    virtual void OutputMsg(const QString& text) = 0;
    // Text of status pane 0..3. Any thread; does nothing once the main window is gone.
    virtual void SetStatusText(int pane, const QString& text) = 0;
    // Time-stamped line in the message popup, which is then shown. UI thread only.
    virtual void ShowMsg(const QString& text) = 0;
};

// The tool manager as tools see it.
class CToolManager {
public:
    virtual ~CToolManager() = default;
    // Calls OnToolMessage(a, b) on the first tool whose full name equals
    // `name`, or on every tool when `name` is empty.
    virtual void SendToolMessage(const QString& name, int a, int b) = 0;
};

// The host interfaces every tool receives. One per document; it never
// changes after the plug-ins are loaded, and tools keep a pointer to it.
struct ToolHostContext {
    CToolHost* toolHost = nullptr;
    CTaskManager* taskManager = nullptr;
    CHostOutput* hostOutput = nullptr;
    CToolManager* toolManager = nullptr;
};

// A tool: a name "folder_tool", an icon and one page, which it owns.
//
// The slot bodies are inline so that each module compiles its own copy; a
// tool is deleted only through its destructor, so the module that allocated
// it also frees it.
class CToolBase {
public:
    explicit CToolBase(ToolHostContext* context) : m_context(context) {}
    CToolBase(const CToolBase&) = delete;
    CToolBase& operator=(const CToolBase&) = delete;

    // Derived tools delete their page here. At exit the page's parent (the
    // host's tool show view) is destroyed first and takes the page with it;
    // m_page is a QPointer so the destructor then finds it null.
    virtual ~CToolBase() = default;
    virtual ToolInfo GetToolInfo() { return {m_name, m_icon}; }
    // Adds the tool to the tool list again; called after every rebuild.
    virtual void RegisterTool() { m_context->toolHost->AddTool(m_name, m_icon, m_page); }
    // The numbers of CToolManager::SendToolMessage; no meaning is fixed.
    virtual void OnToolMessage(int /*a*/, int /*b*/) {}

protected:
    ToolHostContext* m_context;  // not owned
    QString m_name;
    QIcon m_icon;
    QPointer<QWidget> m_page;  // owned by the tool (see the destructor)
};

// The one export of a plug-in library, defined by each plug-in (never by the
// host). Declared here so that its name is unmangled and its visibility
// default even though plug-ins are built with hidden visibility.
extern "C" __attribute__((visibility("default"))) CToolBase* CreateObj(int index,
                                                                      ToolHostContext* context);
using CreateObjFunc = CToolBase* (*)(int index, ToolHostContext* context);
