// Exit from every state, as the program runs: its own event loop, a dialog or
// box opened through its real menu item or button (which stays on the stack
// under the dialog's loop), and meanwhile the tray menu's 退出 fired as a tray
// that speaks D-Bus fires it, or the session ending. Run under AddressSanitizer
// too: a frame freed under a running loop shows there even when it survives.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "host/app/VexmorApp.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/tools/ToolOptionsDlg.h"
#include "support/FakeProgramDir.h"

using vx::CMainFrame;

namespace {

enum class Way { Mouse, Keyboard };

void Press(QWidget* button, Way way) {
    if (way == Way::Mouse) return QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Space);
}

// The menu opens by a click on its title; the item is then clicked, or
// reached with the arrow keys and chosen with Return.
void Choose(CMainFrame* frame, int command, Way way) {
    auto* action = frame->menuBar()->findChild<QAction*>(QString::number(command));
    auto* menu = qobject_cast<QMenu*>(action->parent());
    QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {},
                      frame->menuBar()->actionGeometry(menu->menuAction()).center());
    if (way == Way::Mouse)
        return QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    for (int i = 0; i < 8 && menu->activeAction() != action; ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
}

// A box's first words, a modal dialog's title, or the options dialog's.
QString InFront(vx::CVexmorDoc* doc) {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        return box->text().left(6);
    if (QWidget* modal = QApplication::activeModalWidget()) return modal->windowTitle();
    return doc->OptionsDlg()->isVisible() ? doc->OptionsDlg()->windowTitle() : QString();
}

}  // namespace

Q_DECLARE_METATYPE(Way)

class ExitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        // Qt keeps a type's registration by the module that used it first,
        // and the program loads a plug-in once per run where this test loads
        // it once per row: the list's alignment type must not be registered
        // by a plug-in that is unloaded before the next row.
        qRegisterMetaType<Qt::Alignment>();
    }

    void exitWhileSomethingIsOpen_data() {
        QTest::addColumn<QString>("open");
        QTest::addColumn<Way>("way");
        QTest::addColumn<bool>("sessionEnds");  // else the tray menu's 退出
        QTest::addColumn<QString>("seen");
        const char* const targets[][2] = {
            {"about", "关于 Vexmor"},      {"tool options", "选项"},
            {"tool display", "工具显示"},  {"task browse", "任务浏览"},
            {"help", "本功主要实现"},      {"bad interval", "请输入一个整"}};
        for (const auto& t : targets)
            for (Way way : {Way::Mouse, Way::Keyboard})
                QTest::addRow("%s by %s", t[0], way == Way::Mouse ? "mouse" : "keyboard")
                    << t[0] << way << false << QString(t[1]);
        QTest::newRow("tool display, session ends")
            << "tool display" << Way::Mouse << true << "工具显示";
        QTest::newRow("bad interval, session ends")
            << "bad interval" << Way::Keyboard << true << "请输入一个整";
    }
    void exitWhileSomethingIsOpen() {
        QFETCH(QString, open);
        QFETCH(Way, way);
        QFETCH(bool, sessionEnds);
        QFETCH(QString, seen);
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("patrol", "fx_patrol.so"));
        if (open == "tool options") QVERIFY(dir.AddFixture("options", "fx_options.so"));
        // Trays that speak D-Bus reach 退出 under a modal; a session ends on
        // any desktop, also one without a tray, where the frame won't close.
        CMainFrame::OverrideTrayAvailability(!sessionEnds);
        vx::CVexmorApp app;
        QVERIFY(app.InitInstance());
        CMainFrame::OverrideTrayAvailability(std::nullopt);
        QPointer<CMainFrame> frame = app.Frame();
        vx::CVexmorDoc* doc = app.Doc();

        QString inFront;
        QTimer exitWhenOpen;
        connect(&exitWhenOpen, &QTimer::timeout, [&] {
            if ((inFront = InFront(doc)).isEmpty()) return;
            exitWhenOpen.stop();
            if (!sessionEnds) return frame->TrayMenu()->findChild<QAction*>("57665")->trigger();
            QEvent quit(QEvent::Quit);  // what the session manager sends
            QCoreApplication::sendEvent(qApp, &quit);
        });
        bool outlivedOpener = false, patrolIdle = false;
        QTimer::singleShot(0, frame, [&] {
            exitWhenOpen.start(10);
            auto* start = frame->findChild<QAbstractButton*>("1004");
            auto* bar = frame->ToolBar();
            if (open == "about") Choose(frame, CMainFrame::ID_APP_ABOUT, way);
            if (open == "tool options") Choose(frame, CMainFrame::ID_TOOL_OPTIONS, way);
            if (open == "tool display")
                Press(bar->widgetForAction(bar->findChild<QAction*>("32778")), way);
            if (open == "task browse") Choose(frame, CMainFrame::ID_TASK_BROWSE, way);
            if (open == "help") Press(frame->findChild<QAbstractButton*>("1006"), way);
            if (open == "bad interval") {
                frame->findChild<QLineEdit*>("1002")->clear();
                Press(start, way);
            }
            if (open == "tool options")  // with its page showing
                doc->OptionsDlg()->findChild<QListWidget*>("1002")->setCurrentRow(0);
            // Back from the opening click or key, the frame is still there.
            outlivedOpener = !frame.isNull();
            // The caption's text lives in the plug-in, unloaded by the end.
            patrolIdle = frame && start->text() == QStringLiteral("开始");
        });
        QTimer watchdog;  // a hang fails the row instead of the whole run
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        watchdog.start(20000);

        QCOMPARE(app.Run(), 0);
        QCOMPARE(inFront, seen);
        QVERIFY(outlivedOpener);
        QVERIFY(frame.isNull());
        // Exit ended the bad interval's box: no patrol was started after it.
        QVERIFY(patrolIdle);
        // The options page's window went with the dialog, before its tool.
        if (open == "tool options") QVERIFY(dir.ReadLog().contains("option window gone"));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_MAIN(ExitTest)
#include "ExitTest.moc"
