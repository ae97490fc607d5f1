#include "host/frame/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "host/app/AboutDlg.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/DialogTemplate.h"
#include "host/frame/LanguageMenu.h"
#include "host/frame/OutputMsgView.h"
#include "host/tasks/TaskManager.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolShowView.h"
#include "platform/ContextMenu.h"
#include "platform/Modal.h"
#include "platform/NetworkInfo.h"

namespace vx {

namespace {

std::optional<bool> g_trayOverride;

const QString kVersionText = QStringLiteral("1.72");
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 510;
constexpr int kPaneWidths[CMainFrame::kStatusPaneCount] = {150, 200, 150, 800};
const char* const kPaneTexts[CMainFrame::kStatusPaneCount] = {
    QT_TRANSLATE_NOOP("vx::CMainFrame", "就绪"),
    QT_TRANSLATE_NOOP("vx::CMainFrame", "显示线程的数目"),
    QT_TRANSLATE_NOOP("vx::CMainFrame", "当前窗口标题"),
    QT_TRANSLATE_NOOP("vx::CMainFrame", "主机信息")};
constexpr int kButtonMinWidth = 40;
constexpr int kButtonMaxWidth = 80;
constexpr int kToolbarImageSize = 20;
constexpr int kHotImageSize = 22;
constexpr int kNormalImageSize = 19;

struct ToolbarButton {
    int id;  // 0 = separator
    const char* icon;
    const char* text;
};
// Image order 0..6 follows the command order of the buttons.
constexpr ToolbarButton kToolbarButtons[] = {
    {CMainFrame::ID_TOOL_OPTIONS, "tool_options", QT_TRANSLATE_NOOP("vx::CMainFrame", "工具选项")},
    {CMainFrame::ID_TOOL_DISPLAY, "tool_display", QT_TRANSLATE_NOOP("vx::CMainFrame", "工具显示")},
    {0, nullptr, nullptr},
    {CMainFrame::ID_TASK_BROWSE, "task_browse", QT_TRANSLATE_NOOP("vx::CMainFrame", "任务浏览")},
    {CMainFrame::ID_CANCEL_TASKS, "cancel_tasks", QT_TRANSLATE_NOOP("vx::CMainFrame", "结束任务")},
    {0, nullptr, nullptr},
    {CMainFrame::ID_COMPONENTS, "components", QT_TRANSLATE_NOOP("vx::CMainFrame", "组件管理")},
    {CMainFrame::ID_UPDATE, "update", QT_TRANSLATE_NOOP("vx::CMainFrame", "更新升级")},
    {0, nullptr, nullptr},
    {CMainFrame::ID_APP_EXIT, "exit", QT_TRANSLATE_NOOP("vx::CMainFrame", "退出")},
};

// The toolbar's two image sizes: the hover ("hot") picture is the larger one.
QIcon ToolbarIcon(const char* name) {
    const QPixmap source(QStringLiteral(":/host/icons/%1.png").arg(QLatin1String(name)));
    QIcon icon;
    icon.addPixmap(source.scaled(kNormalImageSize, kNormalImageSize, Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation),
                   QIcon::Normal);
    icon.addPixmap(
        source.scaled(kHotImageSize, kHotImageSize, Qt::KeepAspectRatio, Qt::SmoothTransformation),
        QIcon::Active);
    return icon;
}

}  // namespace

QString FormatHostInfo(const QString& hostName, const QStringList& addresses) {
    QString list;
    for (const QString& address : addresses) list += address + QLatin1Char(';');
    return QCoreApplication::translate("vx::CMainFrame", "本机名称：%1，本机IP：%2")
        .arg(hostName, list);
}

void CMainFrame::OverrideTrayAvailability(std::optional<bool> available) {
    g_trayOverride = available;
}

CMainFrame::CMainFrame(CVexmorDoc* doc) : m_doc(doc) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/host/icons/vexmor.png")));
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    setWindowTitle(QStringLiteral("Vexmor V") + kVersionText);

    resize(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move(desk.left() + (desk.width() - kInitialWidth) / 2,
             desk.top() + (desk.height() - kInitialHeight) / 2);
    }

    m_threadList->addItems({QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("32"),
                            QStringLiteral("64"), QStringLiteral("256")});
    CreateTray();
    CreateClient();

    m_hostInfoTimer = new QTimer(this);
    m_hostInfoTimer->setObjectName(QStringLiteral("timer2"));
    m_hostInfoTimer->setInterval(kHostInfoTimerMs);
    connect(m_hostInfoTimer, &QTimer::timeout, this, &CMainFrame::OnHostInfoTimer);
    m_hostInfoTimer->start();
}

CMainFrame::~CMainFrame() {
    // The tray icon goes first so that no click reaches a half-destroyed frame.
    delete m_tray;
    m_tray = nullptr;
}

QAction* CMainFrame::MakeAction(QObject* parent, int id, const QString& text) {
    auto* action = new QAction(text, parent);
    SetControlId(action, id);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("128"));

    QMenu* settings = bar->addMenu(tr("设置"));
    settings->addAction(MakeAction(settings, ID_TOOL_OPTIONS, tr("工具选项...")));
    settings->addAction(MakeAction(settings, ID_TOOL_DISPLAY, tr("工具显示...")));
    settings->addSeparator();
    settings->addAction(MakeAction(settings, ID_APP_EXIT, tr("退出")));

    QMenu* tasks = bar->addMenu(tr("任务"));
    tasks->addAction(MakeAction(tasks, ID_TASK_BROWSE, tr("任务浏览...")));
    tasks->addAction(MakeAction(tasks, ID_CANCEL_TASKS, tr("结束任务")));

    QMenu* view = bar->addMenu(tr("查看(&V)"));
    QAction* toolbar = MakeAction(view, ID_VIEW_TOOLBAR, tr("工具栏(&T)"));
    QAction* status = MakeAction(view, ID_VIEW_STATUS_BAR, tr("状态栏(&S)"));
    toolbar->setCheckable(true);
    status->setCheckable(true);
    view->addAction(toolbar);
    view->addAction(status);
    AddLanguageMenu(view);
    // The ticks follow the bars, however they were last shown or hidden.
    connect(view, &QMenu::aboutToShow, this, [this, toolbar, status] {
        toolbar->setChecked(m_toolBar && m_toolBar->isVisible());
        status->setChecked(statusBar()->isVisible());
    });

    QMenu* components = bar->addMenu(tr("组件"));
    components->addAction(MakeAction(components, ID_COMPONENTS, tr("组件管理...")));

    QMenu* help = bar->addMenu(tr("帮助(&H)"));
    help->addAction(MakeAction(help, ID_APP_ABOUT, tr("关于 Vexmor(&A)...")));
    help->addAction(MakeAction(help, ID_HOME_PAGE, tr("作者的主页")));
    help->addSeparator();
    help->addAction(MakeAction(help, ID_UPDATE, tr("更新升级...")));

    // F6 and Shift+F6 walk the three panes, as in every split window.
    auto* next = new QAction(this);
    next->setShortcut(Qt::Key_F6);
    SetControlId(next, 57680);
    auto* previous = new QAction(this);
    previous->setShortcut(Qt::SHIFT | Qt::Key_F6);
    SetControlId(previous, 57681);
    addAction(next);
    addAction(previous);
    auto cycle = [this](int step) {
        const QList<QWidget*> panes = {m_toolListView, m_toolShowView, m_outputView};
        qsizetype at = -1;
        for (qsizetype i = 0; i < panes.size(); ++i) {
            if (panes[i] && panes[i]->isAncestorOf(QApplication::focusWidget())) at = i;
            if (panes[i] == QApplication::focusWidget()) at = i;
        }
        const qsizetype n = panes.size();
        QWidget* target = panes[((at < 0 ? 0 : at + step) % n + n) % n];
        if (target) target->setFocus(Qt::ShortcutFocusReason);
    };
    connect(next, &QAction::triggered, this, [cycle] { cycle(1); });
    connect(previous, &QAction::triggered, this, [cycle] { cycle(-1); });
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(tr("工具栏"), this);
    SetControlId(m_toolBar, ID_VIEW_TOOLBAR);
    // The thread controls sit at the bar's right end by position; a bar that
    // could be dragged elsewhere would leave them stranded.
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(kToolbarImageSize, kToolbarImageSize));
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    // The bar can change size without the frame doing so (its own relayout,
    // showing it again); the controls follow it then as well.
    m_toolBar->installEventFilter(this);
    // The bar's own button for the actions that do not fit has no text.
    if (auto* more = m_toolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(tr("更多工具按钮"));

    for (const ToolbarButton& button : kToolbarButtons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = MakeAction(m_toolBar, button.id, tr(button.text));
        action->setIcon(ToolbarIcon(button.icon));
        m_toolBar->addAction(action);
        if (QWidget* widget = m_toolBar->widgetForAction(action)) {
            widget->setMinimumWidth(kButtonMinWidth);
            widget->setMaximumWidth(
                WidthForText(widget->fontMetrics(), action->text(), kButtonMaxWidth, 12));
        }
    }

    // The original bitmap font was asked for at 0.9 pt and came out at its
    // smallest size; 9 pt is the readable equivalent.
    QFont font = QApplication::font();
    font.setPointSize(9);
    m_threadLabel = new QLabel(tr("线程数"), m_toolBar);
    m_threadLabel->setObjectName(QStringLiteral("threadCountLabel"));
    m_threadLabel->setFont(font);
    m_threadLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_threadList = new QComboBox(m_toolBar);
    m_threadList->setObjectName(QStringLiteral("threadCountList"));
    m_threadList->setFont(font);
    m_threadList->setEditable(false);
    m_threadList->setAccessibleName(tr("线程数"));
    m_threadButton = new QPushButton(tr("确定"), m_toolBar);
    SetControlId(m_threadButton, ID_SET_THREADS);
    m_threadButton->setStatusTip(tr("设置最大执行线程数目"));
    m_threadButton->setFont(font);
    connect(m_threadButton, &QPushButton::clicked, this, [this] { OnCommand(ID_SET_THREADS); });
    PlaceToolbarControls();
}

void CMainFrame::PlaceToolbarControls() {
    const QRect client = m_toolBar->rect();
    const int r = client.right() + 1;
    const int t = client.top();
    const int h = client.height();
    // The label ends where the list begins; a longer translation grows leftwards.
    const int labelWidth = WidthForText(m_threadLabel->fontMetrics(), m_threadLabel->text(), 38, 2);
    m_threadLabel->setGeometry(r - 90 - labelWidth, t + 12, labelWidth, h - 20);
    m_threadList->setGeometry(r - 90, t + 9, 50, h - 20);
    m_threadButton->setGeometry(r - 40, t + 8, 40, h - 16);
}

// The longest text a pane shows in use, for the English layout's widths.
QString CMainFrame::PaneSample(int pane) {
    switch (pane) {
        // Pane 0 is sized for its idle text: a control's prompt is clipped
        // in every language, and room for the longest one would push the
        // window's title pane past the window's edge.
        case 1:
            return CTaskManager::StatusText(256, 65535);
        case 2:
            return QCoreApplication::translate("vx::CToolListView", "当前窗口：") +
                   QString(16, QLatin1Char('n'));
        default:
            return tr(kPaneTexts[pane]);
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    SetControlId(bar, ID_VIEW_STATUS_BAR);
    // Fixed-width panes that the window clips, as a status bar does; a layout
    // would make the 1300 px of panes the window's minimum width.
    auto* strip = new QWidget(bar);
    strip->setObjectName(QStringLiteral("statusPanes"));
    strip->setMinimumWidth(0);
    int x = 0;
    int height = 0;
    for (int pane = 0; pane < kStatusPaneCount; ++pane) {
        auto* label = new QLabel(tr(kPaneTexts[pane]), strip);
        label->setObjectName(QStringLiteral("pane%1").arg(pane));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        height = label->sizeHint().height();
        const int width =
            WidthForText(label->fontMetrics(), PaneSample(pane), kPaneWidths[pane], 8);
        label->setGeometry(x, 0, width, height);
        x += width + 2;
        m_panes[pane] = label;
    }
    strip->setFixedHeight(height);
    bar->addWidget(strip, 1);
}

void CMainFrame::CreateClient() {
    m_outerSplitter = new QSplitter(Qt::Horizontal, this);
    SetControlId(m_outerSplitter, 59648);
    m_toolListView = new CToolListView(m_doc, m_outerSplitter);
    m_toolListView->setObjectName(QStringLiteral("toolListView"));
    m_innerSplitter = new QSplitter(Qt::Vertical, m_outerSplitter);
    m_innerSplitter->setObjectName(QStringLiteral("innerSplitter"));
    m_toolShowView = new CToolShowView(m_innerSplitter);
    m_toolShowView->setObjectName(QStringLiteral("toolShowView"));
    m_outputView = new COutputMsgView(m_innerSplitter);
    m_outputView->setObjectName(QStringLiteral("outputView"));
    m_toolListView->SetShowView(m_toolShowView);
    m_toolShowView->SetToolListView(m_toolListView);
    setCentralWidget(m_outerSplitter);
    LayoutPanes();

    if (m_doc) {
        m_doc->AddView(m_toolListView);
        m_doc->AddView(m_toolShowView);
        m_doc->AddView(m_outputView);
    }
}

void CMainFrame::CreateTray() {
    m_trayMenu = new QMenu(tr("图标"), this);
    m_trayMenu->setObjectName(QStringLiteral("162"));
    m_trayMenu->addAction(MakeAction(m_trayMenu, ID_SHOW_HIDE, tr("显示/隐藏")));
    m_trayMenu->addAction(MakeAction(m_trayMenu, ID_APP_ABOUT, tr("关于...")));
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(MakeAction(m_trayMenu, ID_APP_EXIT, tr("退出")));

    const bool available = g_trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
    if (!available) return;
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(QStringLiteral("Vexmor"));
    connect(m_tray, &QSystemTrayIcon::activated, this, &CMainFrame::OnTrayActivated);
    m_tray->show();
}

void CMainFrame::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            ToggleVisible();
            break;
        case QSystemTrayIcon::Context:
            activateWindow();
            platform::PopupContextMenu(m_trayMenu, this, QCursor::pos());
            break;
        default:
            break;
    }
}

void CMainFrame::ToggleVisible() {
    if (isVisible() && !isMinimized()) {
        hide();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The close box never ends the program; only the exit command does.
    // Without a tray the window would be lost once hidden, so it minimises.
    event->ignore();
    if (m_tray) {
        hide();
    } else {
        showMinimized();
    }
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutPanes();
    FollowToolbarEdge();
}

bool CMainFrame::event(QEvent* event) {
    // Prompts go to pane 0, not to the status bar's own message line, which
    // would cover all four panes while it shows; leaving the control (an
    // empty prompt) brings the idle text back.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        SetStatusPaneText(0, tip.isEmpty() ? tr(kPaneTexts[0]) : tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_toolBar && event->type() == QEvent::Resize) FollowToolbarEdge();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::FollowToolbarEdge() {
    if (m_toolBar && m_toolBar->rect().width() > kToolbarControlsMinWidth) PlaceToolbarControls();
}

void CMainFrame::LayoutPanes() {
    if (!m_innerSplitter || !m_outerSplitter) return;
    // The totals come from the splitters' own geometry: on the first showing
    // the frame's layout has sized them but their pending resize has not yet
    // handed the space to the panes, so the panes' sizes still sum to nothing.
    const int outerTotal = qMax(0, m_outerSplitter->width() - m_outerSplitter->handleWidth());
    m_outerSplitter->setSizes({kLeftPaneWidth, qMax(0, outerTotal - kLeftPaneWidth)});
    const int innerTotal = qMax(0, m_innerSplitter->height() - m_innerSplitter->handleWidth());
    const int target = innerTotal * 3 / 4;
    if (m_innerSplitter->sizes().value(0) != target)
        m_innerSplitter->setSizes({target, innerTotal - target});
}

void CMainFrame::SetStatusPaneText(int pane, const QString& text) {
    if (pane < 0 || pane >= kStatusPaneCount) return;
    m_panes[pane]->setText(text);
}

QString CMainFrame::StatusPaneText(int pane) const {
    if (pane < 0 || pane >= kStatusPaneCount) return QString();
    return m_panes[pane]->text();
}

void CMainFrame::OnHostInfoTimer() {
    const QString name = vx::platform::LocalHostName();
    if (name.isEmpty()) return;
    SetStatusPaneText(3, FormatHostInfo(name, vx::platform::LocalIPv4Addresses()));
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_SHOW_HIDE:
            ToggleVisible();
            return;
        case ID_VIEW_TOOLBAR:
            m_toolBar->setVisible(!m_toolBar->isVisible());
            return;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(!statusBar()->isVisible());
            return;
        case ID_APP_ABOUT:
            platform::RunModal(new CAboutDlg(this));
            return;
        default:
            break;
    }
    if (!m_doc) return;
    switch (id) {
        case ID_TOOL_OPTIONS:
            m_doc->OnToolOptions();
            break;
        case ID_TOOL_DISPLAY:
            m_doc->OnToolDisplay();
            break;
        case ID_TASK_BROWSE:
            m_doc->OnTaskBrowse();
            break;
        case ID_CANCEL_TASKS:
            m_doc->OnCancelAllTasks();
            break;
        case ID_SET_THREADS:
            m_doc->OnSetMaxThreads();
            break;
        case ID_COMPONENTS:
            m_doc->OnComponentManage();
            break;
        case ID_UPDATE:
            m_doc->OnUpdate();
            break;
        case ID_HOME_PAGE:
            m_doc->OnHomePage();
            break;
        case ID_APP_EXIT: {
            // Closing the document destroys this frame; never do that from
            // inside the menu or button that is still delivering the click.
            QPointer<CVexmorDoc> doc(m_doc);
            QMetaObject::invokeMethod(
                m_doc,
                [doc] {
                    if (doc) doc->OnCloseDocument();
                },
                Qt::QueuedConnection);
            break;
        }
        default:
            break;
    }
}

}  // namespace vx
