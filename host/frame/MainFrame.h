// The main window: menu, toolbar with the thread-count list, four status
// panes, the splitters holding the tool list (left), the tool page (top right)
// and the output log (bottom right), the tray icon and its menu.
#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <optional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTimer;
class QToolBar;

namespace vx {

class CVexmorDoc;
class CToolListView;
class CToolShowView;
class COutputMsgView;

// "本机名称：<name>，本机IP：<a>;<b>;" - every address is followed by ";".
QString FormatHostInfo(const QString& hostName, const QStringList& addresses);

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of the menus, the toolbar and the tray menu.
    enum Command {
        ID_TOOL_OPTIONS = 32776,
        ID_CANCEL_TASKS = 32777,
        ID_TOOL_DISPLAY = 32778,
        ID_UPDATE = 32779,
        ID_TASK_BROWSE = 32780,
        ID_SHOW_HIDE = 32782,
        ID_COMPONENTS = 32783,
        ID_HOME_PAGE = 32784,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
        ID_SET_THREADS = 61446,
    };
    static constexpr int kStatusPaneCount = 4;
    static constexpr int kHostInfoTimerMs = 1000;
    static constexpr int kLeftPaneWidth = 135;
    // The toolbar controls follow its right edge only above this width.
    static constexpr int kToolbarControlsMinWidth = 470;

    // Creates the bars, panes, views (registered with the document, tool list
    // view first), tray icon and the 1-second timer. `doc` may be null in tests.
    explicit CMainFrame(CVexmorDoc* doc);
    ~CMainFrame() override;

    CToolListView* GetToolListView() const { return m_toolListView; }
    CToolShowView* GetToolShowView() const { return m_toolShowView; }
    COutputMsgView* GetOutputView() const { return m_outputView; }
    QComboBox* GetThreadCountList() const { return m_threadList; }

    // The handler of the status-text message; UI thread only. Other threads
    // go through CHostOutput::SetStatusText. Panes outside 0..3 are ignored.
    void SetStatusPaneText(int pane, const QString& text);
    QString StatusPaneText(int pane) const;

    // Runs one command as the menus, toolbar and tray menu do.
    void OnCommand(int id);
    // Timer 2: host name and addresses into pane 3.
    void OnHostInfoTimer();
    // Left column back to 135 px, tool page to 3/4 of the right-hand height.
    void LayoutPanes();
    // The tray icon's callback; left click toggles, right click shows its menu.
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void ToggleVisible();

    QToolBar* ToolBar() const { return m_toolBar; }
    QMenu* TrayMenu() const { return m_trayMenu; }
    QSystemTrayIcon* TrayIcon() const { return m_tray; }
    QSplitter* OuterSplitter() const { return m_outerSplitter; }
    QSplitter* InnerSplitter() const { return m_innerSplitter; }
    bool HasTray() const { return m_tray != nullptr; }

    // Lets tests decide whether a tray exists (offscreen has none); nullopt
    // asks the desktop. Read when a frame is constructed.
    static void OverrideTrayAvailability(std::optional<bool> available);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateClient();
    void CreateTray();
    void PlaceToolbarControls();
    void FollowToolbarEdge();
    QAction* MakeAction(QObject* parent, int id, const QString& text);
    static QString PaneSample(int pane);

    CVexmorDoc* m_doc;  // not owned; outlives the frame
    COutputMsgView* m_outputView = nullptr;
    CToolShowView* m_toolShowView = nullptr;
    CToolListView* m_toolListView = nullptr;
    QComboBox* m_threadList = nullptr;
    QToolBar* m_toolBar = nullptr;
    QSplitter* m_innerSplitter = nullptr;
    QSplitter* m_outerSplitter = nullptr;
    QLabel* m_threadLabel = nullptr;
    QPushButton* m_threadButton = nullptr;
    QSystemTrayIcon* m_tray = nullptr;  // null where the desktop has no tray
    QMenu* m_trayMenu = nullptr;
    QLabel* m_panes[kStatusPaneCount] = {};
    QTimer* m_hostInfoTimer = nullptr;
};

}  // namespace vx
