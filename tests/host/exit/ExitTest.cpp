// Exit from every state, as the program runs: its own event loop, a dialog
// or message box opened through the real menu item or button (so that the
// menu or button is still on the stack under the dialog's loop), and the exit
// arriving meanwhile - the tray menu's 退出 fired the way a tray that speaks
// D-Bus fires it, or the desktop session ending the application. Meant to be
// run under AddressSanitizer as well: a frame destroyed under a running loop
// shows there even when the process happens to survive it.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
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
enum class Exit { TrayMenu, SessionEnd };

void Press(QAbstractButton* button, Way way) {
    if (way == Way::Mouse)
        QTest::mouseClick(button, Qt::LeftButton);
    else
        QTest::keyClick(button, Qt::Key_Space);
}

// The menu is opened by a click on its title; the item is then clicked, or
// reached with the arrow keys and chosen with Return.
void Choose(CMainFrame* frame, int command, Way way) {
    auto* action = frame->menuBar()->findChild<QAction*>(QString::number(command));
    auto* menu = action ? qobject_cast<QMenu*>(action->parent()) : nullptr;
    QVERIFY(menu);
    QMenuBar* bar = frame->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QVERIFY(menu->isVisible());
    if (way == Way::Mouse) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        return;
    }
    for (int i = 0; i < 8 && menu->activeAction() != action; ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    QCOMPARE(menu->activeAction(), action);
    QTest::keyClick(menu, Qt::Key_Return);
}

QAbstractButton* ToolbarButton(CMainFrame* frame, int command) {
    auto* action = frame->ToolBar()->findChild<QAction*>(QString::number(command));
    return action ? qobject_cast<QAbstractButton*>(frame->ToolBar()->widgetForAction(action))
                  : nullptr;
}

// What the session manager does to an application when the desktop logs out.
void EndSession() {
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
}

// What is open in front: a box's first words or a dialog's title.
QString OpenInFront(vx::CVexmorDoc* doc) {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        return box->text().left(6);
    if (QWidget* modal = QApplication::activeModalWidget()) return modal->windowTitle();
    if (doc->OptionsDlg()->isVisible()) return doc->OptionsDlg()->windowTitle();
    return {};
}

}  // namespace

Q_DECLARE_METATYPE(Way)
Q_DECLARE_METATYPE(Exit)

class ExitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void exitWhileSomethingIsOpen_data() {
        QTest::addColumn<QString>("open");
        QTest::addColumn<Way>("way");
        QTest::addColumn<Exit>("exit");
        QTest::addColumn<QString>("seen");
        const struct {
            const char* open;
            const char* seen;
        } targets[] = {
            {"about", "关于 Vexmor"},        {"tool options", "选项"},
            {"tool display", "工具显示"},    {"task browse", "任务浏览"},
            {"patrol help", "本功主要实现"}, {"bad interval", "请输入一个整"},
        };
        for (const auto& t : targets) {
            for (Way way : {Way::Mouse, Way::Keyboard}) {
                const char* how = way == Way::Mouse ? "mouse" : "keyboard";
                QTest::addRow("%s by %s, tray 退出", t.open, how)
                    << t.open << way << Exit::TrayMenu << QString(t.seen);
            }
        }
        QTest::newRow("tool display by mouse, session ends")
            << "tool display" << Way::Mouse << Exit::SessionEnd << "工具显示";
        QTest::newRow("bad interval by keyboard, session ends")
            << "bad interval" << Way::Keyboard << Exit::SessionEnd << "请输入一个整";
    }
    void exitWhileSomethingIsOpen() {
        QFETCH(QString, open);
        QFETCH(Way, way);
        QFETCH(Exit, exit);
        QFETCH(QString, seen);
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("patrol", "fx_patrol.so"));
        if (open == "tool options") QVERIFY(dir.AddFixture("options", "fx_options.so"));

        // The desktops that reach 退出 while a modal is open have a tray; a
        // session may end on any desktop, also one without (where the frame
        // minimises rather than close).
        CMainFrame::OverrideTrayAvailability(exit == Exit::TrayMenu);
        vx::CVexmorApp app;
        QVERIFY(app.InitInstance());
        CMainFrame::OverrideTrayAvailability(std::nullopt);
        QPointer<CMainFrame> frame = app.Frame();
        vx::CVexmorDoc* doc = app.Doc();

        // Once the thing is open, the exit arrives inside its event loop.
        QString inFront;
        QTimer exitWhenOpen;
        exitWhenOpen.setInterval(10);
        connect(&exitWhenOpen, &QTimer::timeout, [&] {
            inFront = OpenInFront(doc);
            if (inFront.isEmpty()) return;
            exitWhenOpen.stop();
            if (exit == Exit::TrayMenu)
                frame->TrayMenu()->findChild<QAction*>("57665")->trigger();
            else
                EndSession();
        });

        bool frameOutlivedOpener = false;
        bool patrolIdle = false;
        QTimer::singleShot(0, frame, [&] {
            QApplication::setActiveWindow(frame);
            exitWhenOpen.start();
            auto* start = frame->findChild<QAbstractButton*>("1004");
            if (open == "about") {
                Choose(frame, CMainFrame::ID_APP_ABOUT, way);
            } else if (open == "tool options") {
                Choose(frame, CMainFrame::ID_TOOL_OPTIONS, way);
                // Its page shown in the dialog, as a tool's options page is.
                auto* pages = doc->OptionsDlg()->findChild<QListWidget*>("1002");
                QTest::mouseClick(pages->viewport(), Qt::LeftButton, {},
                                  pages->visualItemRect(pages->item(0)).center());
            } else if (open == "tool display") {
                Press(ToolbarButton(frame, CMainFrame::ID_TOOL_DISPLAY), way);
            } else if (open == "task browse") {
                Choose(frame, CMainFrame::ID_TASK_BROWSE, way);
            } else if (open == "patrol help") {
                Press(frame->findChild<QAbstractButton*>("1006"), way);
            } else if (open == "bad interval") {
                frame->findChild<QLineEdit*>("1002")->clear();
                Press(start, way);
            }
            // Back from the opening click: the frame must still be there.
            frameOutlivedOpener = !frame.isNull();
            // Compared here: the caption's text lives in the plug-in, which
            // is unloaded by the time Run returns.
            if (frame) patrolIdle = start->text() == QStringLiteral("开始");
        });
        // Should anything hang, the test fails instead of waiting forever.
        bool timedOut = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::exit(3);
        });
        watchdog.start(20000);

        QCOMPARE(app.Run(), 0);
        QVERIFY(!timedOut);
        QCOMPARE(inFront, seen);
        QVERIFY(frameOutlivedOpener);
        QVERIFY(frame.isNull());
        // Exit ended the box of the bad interval: the patrol did not start.
        QVERIFY(patrolIdle);
    }

    // The options dialog takes its page windows with it before any tool is
    // deleted: a tool that deletes its window itself finds it gone.
    void optionPageWindowGoesBeforeItsTool() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("options", "fx_options.so"));
        {
            vx::CVexmorApp app;
            QVERIFY(app.InitInstance());
            app.Doc()->OnToolOptions();
            auto* pages = app.Doc()->OptionsDlg()->findChild<QListWidget*>("1002");
            QCOMPARE(pages->count(), 1);
            pages->setCurrentRow(0);
            QVERIFY(app.Doc()->OptionsDlg()->findChild<QWidget*>("fixtureOptionPage")->isVisible());
            QTimer::singleShot(0, [&app] { app.Frame()->OnCommand(CMainFrame::ID_APP_EXIT); });
            QCOMPARE(app.Run(), 0);
        }
        const QStringList log = dir.ReadLog();
        const qsizetype gone = log.indexOf("option window gone");
        QVERIFY2(gone >= 0, qPrintable(log.join('\n')));
        QVERIFY(gone < log.indexOf("delete 测试_选项工具"));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_MAIN(ExitTest)
#include "ExitTest.moc"
