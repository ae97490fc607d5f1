// The main frame through its real widgets: menus, toolbar, status panes,
// layout after resizes, tray behaviour and command routing.
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "host/app/AboutDlg.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/frame/OutputMsgView.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/tools/ToolShowView.h"
#include "platform/DesktopServices.h"
#include "platform/NetworkInfo.h"
#include "support/FakeProgramDir.h"

using vx::CMainFrame;

namespace {
// One menu entry as "text=id", a separator as "-".
QStringList Describe(const QList<QAction*>& actions) {
    QStringList items;
    for (const QAction* a : actions)
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + QLatin1Char('=') + a->data().toString());
    return items;
}

// A frame that is on screen, with the tray decided by the test.
std::unique_ptr<CMainFrame> ShownFrame(bool tray) {
    CMainFrame::OverrideTrayAvailability(tray);
    auto frame = std::make_unique<CMainFrame>(nullptr);
    CMainFrame::OverrideTrayAvailability(std::nullopt);
    frame->show();
    if (!QTest::qWaitForWindowExposed(frame.get())) return nullptr;
    return frame;
}
}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void menusHoldTheirCommands_data();
    void menusHoldTheirCommands();
    void toolbarButtonsAndThreadControls();
    void statusPanesStartWithTheirTexts();
    void titleSizeAndPlace();
    void firstShowingLaysOutThePanes();
    void resizeRestoresPaneLayout_data();
    void resizeRestoresPaneLayout();
    void toolbarControlsFollowTheRightEdge();
    void hostInfo();
    void hostInfoTickWritesPaneThree();
    void closeBoxHidesOrMinimises_data();
    void closeBoxHidesOrMinimises();
    void trayClicksToggleAndShowMenu();
    void barTogglesAndShowHideCommand();
    void f6WalksThePanes();
    void commandsReachTheDocument();
    void exitFromEverySource_data();
    void exitFromEverySource();
};

void MainFrameTest::menusHoldTheirCommands_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("settings") << "设置"
                              << QStringList{"工具选项...=32776", "工具显示...=32778", "-",
                                             "退出=57665"};
    QTest::newRow("tasks") << "任务" << QStringList{"任务浏览...=32780", "结束任务=32777"};
    QTest::newRow("view") << "查看(&V)"
                          << QStringList{"工具栏(&T)=59392", "状态栏(&S)=59393", "-", "界面语言="};
    QTest::newRow("components") << "组件" << QStringList{"组件管理...=32783"};
    QTest::newRow("help") << "帮助(&H)"
                          << QStringList{"关于 Vexmor(&A)...=57664", "作者的主页=32784", "-",
                                         "更新升级...=32779"};
    QTest::newRow("tray") << "图标"
                          << QStringList{"显示/隐藏=32782", "关于...=57664", "-", "退出=57665"};
}

void MainFrameTest::menusHoldTheirCommands() {
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    CMainFrame frame(nullptr);
    QStringList titles;
    for (const QAction* a : frame.menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, (QStringList{"设置", "任务", "查看(&V)", "组件", "帮助(&H)"}));

    const QMenu* found = frame.TrayMenu()->title() == menu ? frame.TrayMenu() : nullptr;
    for (const QAction* a : frame.menuBar()->actions())
        if (a->text() == menu) found = a->menu();
    QVERIFY(found);
    QCOMPARE(Describe(found->actions()), items);
    for (const QAction* a : found->actions())
        if (!a->isSeparator()) QCOMPARE(a->objectName(), a->data().toString());
}

void MainFrameTest::toolbarButtonsAndThreadControls() {
    auto frame = ShownFrame(false);
    QVERIFY(frame);
    QToolBar* bar = frame->findChild<QToolBar*>(QStringLiteral("59392"));
    QVERIFY(bar);
    QCOMPARE(
        Describe(bar->actions()),
        (QStringList{"工具选项=32776", "工具显示=32778", "-", "任务浏览=32780", "结束任务=32777",
                     "-", "组件管理=32783", "更新升级=32779", "-", "退出=57665"}));
    QList<QImage> pictures;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator()) continue;
        QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
        const QImage picture = a->icon().pixmap(20, 20).toImage();
        QVERIFY2(!pictures.contains(picture), qPrintable(a->text()));  // one image per index
        pictures << picture;
        QWidget* button = bar->widgetForAction(a);
        QVERIFY(button->width() >= 40 && button->width() <= 80);
    }

    const QComboBox* list = frame->GetThreadCountList();
    QVERIFY(list && list->parentWidget() == bar);
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    QCOMPARE(items, (QStringList{"1", "8", "32", "64", "256"}));
    auto* ok = bar->findChild<QPushButton*>(QStringLiteral("61446"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("确定"));
    auto* label = bar->findChild<QLabel*>(QStringLiteral("threadCountLabel"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("线程数"));
}

void MainFrameTest::statusPanesStartWithTheirTexts() {
    CMainFrame frame(nullptr);
    QStatusBar* bar = frame.findChild<QStatusBar*>(QStringLiteral("59393"));
    QVERIFY(bar);
    const QStringList texts{"就绪", "显示线程的数目", "当前窗口标题", "主机信息"};
    const int widths[] = {150, 200, 150, 800};
    for (int pane = 0; pane < 4; ++pane) {
        auto* label = bar->findChild<QLabel*>(QStringLiteral("pane%1").arg(pane));
        QVERIFY(label);
        QCOMPARE(label->text(), texts[pane]);
        QCOMPARE(label->width(), widths[pane]);
        QCOMPARE(frame.StatusPaneText(pane), texts[pane]);
    }
    frame.SetStatusPaneText(1, QStringLiteral("执行线程数=3,等待任务数=9"));
    frame.SetStatusPaneText(4, QStringLiteral("nowhere"));
    frame.SetStatusPaneText(-1, QStringLiteral("nowhere"));
    QCOMPARE(frame.StatusPaneText(1), QStringLiteral("执行线程数=3,等待任务数=9"));
    QCOMPARE(frame.StatusPaneText(3), QStringLiteral("主机信息"));
    // 1300 px of panes must not become the window's minimum width.
    QVERIFY(frame.minimumSizeHint().width() < 760);
}

void MainFrameTest::titleSizeAndPlace() {
    CMainFrame frame(nullptr);
    QCOMPARE(frame.windowTitle(), QStringLiteral("Vexmor V1.72"));
    QCOMPARE(frame.size(), QSize(760, 510));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(frame.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(frame.geometry().center().y() - screen.center().y()) <= 1);
    QVERIFY(!frame.windowIcon().isNull());
}

void MainFrameTest::firstShowingLaysOutThePanes() {
    auto frame = ShownFrame(false);
    QVERIFY(frame);
    QCOMPARE(frame->GetToolListView()->width(), 135);
    QVERIFY(frame->GetToolShowView()->width() > 500);
    const QList<int> rows = frame->InnerSplitter()->sizes();
    QVERIFY(rows.at(1) > 0);
    QCOMPARE(rows.at(0), (rows.at(0) + rows.at(1)) * 3 / 4);
}

void MainFrameTest::resizeRestoresPaneLayout_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(1000, 700);
    QTest::newRow("odd height") << QSize(801, 613);
    QTest::newRow("smaller") << QSize(640, 420);
}

void MainFrameTest::resizeRestoresPaneLayout() {
    QFETCH(QSize, size);
    auto frame = ShownFrame(false);
    QVERIFY(frame);
    QSplitter* outer = frame->findChild<QSplitter*>(QStringLiteral("59648"));
    QVERIFY(outer && outer == frame->OuterSplitter());
    // The user drags both bars somewhere else ...
    outer->setSizes({300, outer->sizes()[0] + outer->sizes()[1] - 300});
    QSplitter* inner = frame->InnerSplitter();
    inner->setSizes({40, inner->sizes()[0] + inner->sizes()[1] - 40});
    // ... and the next resize undoes both drags.
    frame->resize(size);
    QTRY_COMPARE(frame->size(), size);
    QCOMPARE(outer->sizes().at(0), 135);
    QCOMPARE(frame->GetToolListView()->width(), 135);
    const QList<int> rows = inner->sizes();
    QCOMPARE(rows.at(0), (rows.at(0) + rows.at(1)) * 3 / 4);
    QCOMPARE(frame->GetToolShowView()->height(), rows.at(0));
    QCOMPARE(frame->GetOutputView()->height(), rows.at(1));
}

void MainFrameTest::toolbarControlsFollowTheRightEdge() {
    auto frame = ShownFrame(false);
    QVERIFY(frame);
    QToolBar* bar = frame->ToolBar();
    // Already at the right end when first shown, before any resize by the user.
    QCOMPARE(bar->findChild<QPushButton*>(QStringLiteral("61446"))->geometry().right(),
             bar->rect().right());
    frame->resize(900, 500);
    QTRY_COMPARE(bar->width(), frame->width());
    auto* label = bar->findChild<QLabel*>(QStringLiteral("threadCountLabel"));
    auto* ok = bar->findChild<QPushButton*>(QStringLiteral("61446"));
    QComboBox* list = frame->GetThreadCountList();
    const int r = bar->rect().right() + 1;
    const int h = bar->rect().height();
    QCOMPARE(label->geometry(), QRect(r - 128, 12, 38, h - 20));
    QCOMPARE(list->geometry(), QRect(r - 90, 9, 50, h - 20));
    QCOMPARE(ok->geometry(), QRect(r - 40, 8, 40, h - 16));

    // At 470 px or less the controls stay where they were.
    const QRect before = ok->geometry();
    frame->resize(460, 500);
    QTRY_VERIFY(bar->width() <= 470);
    QCOMPARE(ok->geometry(), before);
    QCOMPARE(list->geometry().left(), r - 90);
}

void MainFrameTest::hostInfo() {
    QCOMPARE(vx::FormatHostInfo("ws1", {"192.168.1.5", "10.0.0.2"}),
             QStringLiteral("本机名称：ws1，本机IP：192.168.1.5;10.0.0.2;"));
    QCOMPARE(vx::FormatHostInfo("lonely", {}), QStringLiteral("本机名称：lonely，本机IP："));
}

void MainFrameTest::hostInfoTickWritesPaneThree() {
    CMainFrame frame(nullptr);
    auto* timer = frame.findChild<QTimer*>(QStringLiteral("timer2"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    frame.OnHostInfoTimer();
    QCOMPARE(frame.StatusPaneText(3),
             vx::FormatHostInfo(vx::platform::LocalHostName(), vx::platform::LocalIPv4Addresses()));
}

void MainFrameTest::closeBoxHidesOrMinimises_data() {
    QTest::addColumn<bool>("tray");
    QTest::newRow("tray: hidden in the tray") << true;
    QTest::newRow("no tray: minimised, still reachable") << false;
}

void MainFrameTest::closeBoxHidesOrMinimises() {
    QFETCH(bool, tray);
    auto frame = ShownFrame(tray);
    QVERIFY(frame);
    QCOMPARE(frame->HasTray(), tray);
    QPointer<CMainFrame> guard(frame.get());
    QVERIFY(!frame->close());  // the close is refused: the program runs on
    QCoreApplication::processEvents();
    QVERIFY(guard);
    if (tray) {
        QVERIFY(!frame->isVisible());
        QCOMPARE(frame->TrayIcon()->toolTip(), QStringLiteral("Vexmor"));
    } else {
        QVERIFY(frame->isVisible());
        QVERIFY(frame->isMinimized());
    }
}

void MainFrameTest::trayClicksToggleAndShowMenu() {
    auto frame = ShownFrame(true);
    QVERIFY(frame);
    frame->OnTrayActivated(QSystemTrayIcon::Trigger);
    QVERIFY(!frame->isVisible());
    frame->OnTrayActivated(QSystemTrayIcon::Trigger);
    QVERIFY(frame->isVisible());
    frame->OnTrayActivated(QSystemTrayIcon::DoubleClick);
    QVERIFY(frame->isVisible());
    QVERIFY(!frame->TrayMenu()->isVisible());
    frame->OnTrayActivated(QSystemTrayIcon::Context);
    QTRY_VERIFY(frame->TrayMenu()->isVisible());
    frame->TrayMenu()->hide();
}

void MainFrameTest::barTogglesAndShowHideCommand() {
    auto frame = ShownFrame(true);
    QVERIFY(frame);
    auto trigger = [&](const QString& id) {
        auto* action = frame->menuBar()->findChild<QAction*>(id);
        if (!action) action = frame->TrayMenu()->findChild<QAction*>(id);
        QVERIFY2(action, qPrintable(id));
        action->trigger();
    };
    trigger(QStringLiteral("59392"));
    QVERIFY(!frame->ToolBar()->isVisible());
    trigger(QStringLiteral("59392"));
    QVERIFY(frame->ToolBar()->isVisible());
    trigger(QStringLiteral("59393"));
    QVERIFY(!frame->statusBar()->isVisible());
    trigger(QStringLiteral("59393"));
    QVERIFY(frame->statusBar()->isVisible());
    trigger(QStringLiteral("32782"));
    QVERIFY(!frame->isVisible());
    trigger(QStringLiteral("32782"));
    QVERIFY(frame->isVisible());
}

void MainFrameTest::f6WalksThePanes() {
    auto frame = ShownFrame(false);
    QVERIFY(frame);
    QApplication::setActiveWindow(frame.get());
    frame->GetOutputView()->setFocus();
    QTRY_VERIFY(frame->GetOutputView()->hasFocus());
    auto press = [&](Qt::KeyboardModifiers mods) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, mods);
    };
    press(Qt::NoModifier);
    QVERIFY(frame->GetToolListView()->isAncestorOf(QApplication::focusWidget()) ||
            frame->GetToolListView()->hasFocus());
    press(Qt::ShiftModifier);
    QVERIFY(frame->GetOutputView()->hasFocus());
}

void MainFrameTest::commandsReachTheDocument() {
    FakeProgramDir programDir;
    QList<QUrl> opened;
    vx::platform::SetOpenUrlObserver([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    {
        vx::CVexmorDoc doc;
        QPointer<CMainFrame> frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(doc.Frame(), frame.data());
        frame->show();
        QCOMPARE(frame->GetThreadCountList()->currentText(), QStringLiteral("32"));

        frame->menuBar()->findChild<QAction*>(QStringLiteral("32776"))->trigger();
        QVERIFY(doc.OptionsDlg()->isVisible());
        doc.OptionsDlg()->hide();

        frame->menuBar()->findChild<QAction*>(QStringLiteral("32784"))->trigger();
        QCOMPARE(opened.size(), 1);

        // The about box is modal; close it from inside its own event loop.
        bool sawAbout = false;
        QTimer::singleShot(0, [&sawAbout] {
            if (auto* about = qobject_cast<vx::CAboutDlg*>(QApplication::activeModalWidget())) {
                sawAbout = true;
                about->reject();
            }
        });
        frame->TrayMenu()->findChild<QAction*>(QStringLiteral("57664"))->trigger();
        QVERIFY(sawAbout);
        doc.OnCloseDocument();
    }
    vx::platform::SetOpenUrlObserver({});
}

void MainFrameTest::exitFromEverySource_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("menu") << "menu";
    QTest::newRow("toolbar") << "toolbar";
    QTest::newRow("tray menu") << "tray";
}

void MainFrameTest::exitFromEverySource() {
    QFETCH(QString, source);
    FakeProgramDir programDir;
    {
        vx::CVexmorDoc doc;
        CMainFrame::OverrideTrayAvailability(true);
        QPointer<CMainFrame> frame = new CMainFrame(&doc);
        CMainFrame::OverrideTrayAvailability(std::nullopt);
        QVERIFY(doc.OnNewDocument());
        frame->show();
        QObject* holder = source == "menu"      ? static_cast<QObject*>(frame->menuBar())
                          : source == "toolbar" ? static_cast<QObject*>(frame->ToolBar())
                                                : static_cast<QObject*>(frame->TrayMenu());
        auto* exit = holder->findChild<QAction*>(QStringLiteral("57665"));
        QVERIFY(exit);
        exit->trigger();
        // The frame goes once the click has been delivered, not under it.
        QVERIFY(frame);
        QTRY_VERIFY(!frame);
        QVERIFY(!doc.Frame());
    }
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
