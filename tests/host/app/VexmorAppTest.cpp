// The application object in process: the single-instance lock, the deletion
// of uninstalled components, and start-up to the shown window and back.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include "host/app/AboutDlg.h"
#include "host/app/VexmorApp.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "support/FakeProgramDir.h"
#include "host/tools/ToolManager.h"
#include "host/update/UpdateHook.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"

using vx::CVexmorApp;

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

// A waiting update shows the online upgrade dialog: press its "取消".
void CancelNextModal() {
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
}

}  // namespace

class VexmorAppTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        vx::CMainFrame::OverrideTrayAvailability(false);
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void init() { m_boxes.clear(); }

    // Only plain names directly inside ToolDlls, each ended by ";", are
    // deleted; the key is emptied whatever it held.
    void deletesUninstalledComponents_data() {
        QTest::addColumn<QString>("value");  // null: no key
        QTest::addColumn<QStringList>("deleted");

        const QString filler = QString(1016, 'f') + ";";  // cut at 1023 characters
        QTest::newRow("two names") << "a.so;b.so;" << QStringList{"a.so", "b.so"};
        QTest::newRow("no final separator") << "a.so;b.so" << QStringList{"a.so"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("absent") << QString() << QStringList{};
        QTest::newRow("empty names between") << ";;a.so;;" << QStringList{"a.so"};
        QTest::newRow("missing file skipped") << "gone.so;b.so;" << QStringList{"b.so"};
        QTest::newRow("non-ASCII name") << "工具.so;" << QStringList{"工具.so"};
        QTest::newRow("parent folder") << "../victim.so;a.so;" << QStringList{"a.so"};
        QTest::newRow("dots inside a name") << "v..x.so;..;.;" << QStringList{"v..x.so"};
        QTest::newRow("sub folder") << "sub/inner.so;" << QStringList{};
        QTest::newRow("absolute path") << "@ABS@;" << QStringList{};
        QTest::newRow("a folder") << "sub;" << QStringList{};
        QTest::newRow("cut at the buffer") << filler + "a.so;b.so;" << QStringList{"a.so"};
    }
    void deletesUninstalledComponents() {
        QFETCH(QString, value);
        QFETCH(QStringList, deleted);
        FakeProgramDir dir;
        const QStringList inside{"a.so", "b.so", "工具.so", "v..x.so", "sub/inner.so"};
        for (const QString& f : inside) Touch(dir.PluginDir() + f);
        Touch(dir.Path() + "victim.so");
        QTemporaryDir elsewhere;
        const QString absolute = elsewhere.filePath("abs.so");
        Touch(absolute);
        value.replace("@ABS@", absolute);
        if (!value.isNull()) QVERIFY(dir.WriteIni("[组件管理]\r\n卸载组件=" + value + "\r\n"));

        QCOMPARE(CVexmorApp::DeleteUninstalledComponents(), deleted);

        for (const QString& f : inside)
            QCOMPARE(QFile::exists(dir.PluginDir() + f), !deleted.contains(f));
        QVERIFY(QFile::exists(dir.Path() + "victim.so"));
        QVERIFY(QFile::exists(absolute));
        vx::platform::ProfileFile ini(dir.IniPath());
        QCOMPARE(ini.GetKeys("组件管理"), QStringList{"卸载组件"});
        QCOMPARE(ini.GetString("组件管理", "卸载组件", "DEF", 1024), QString(""));
    }

    // An update waits when "更新文件数" in "更新升级" reads as a non-zero integer.
    void waitingUpdateReadsTheFileCount_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<bool>("waiting");
        QTest::newRow("no file") << QString() << false;
        QTest::newRow("zero") << "[更新升级]\r\n更新文件数=0\r\n" << false;
        QTest::newRow("three") << "[更新升级]\r\n更新文件数=3\r\n" << true;
        QTest::newRow("negative") << "[更新升级]\r\n更新文件数=-1\r\n" << true;
        QTest::newRow("no digits") << "[更新升级]\r\n更新文件数=abc\r\n" << false;
        QTest::newRow("other section") << "[组件管理]\r\n更新文件数=3\r\n" << false;
        QTest::newRow("other key") << "[更新升级]\r\n更新文件1=3\r\n" << false;
    }
    void waitingUpdateReadsTheFileCount() {
        QFETCH(QString, ini);
        QFETCH(bool, waiting);
        FakeProgramDir dir;
        if (!ini.isNull()) QVERIFY(dir.WriteIni(ini));
        if (waiting) CancelNextModal();
        QCOMPARE(vx::RunWaitingUpdate(), waiting);
    }

    // The about box's texts, exactly.
    void aboutBoxTexts() {
        vx::CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("关于 Vexmor"));
        QCOMPARE(about.objectName(), QString("100"));
        QStringList labels;
        for (auto* l : about.findChildren<QLabel*>())
            if (!l->text().isEmpty()) labels << l->text();
        QCOMPARE(labels, QStringList{"Vexmor 1.72 版"});
        auto* hint = about.findChild<QPlainTextEdit*>("1010");
        QVERIFY(hint);
        QVERIFY(hint->isReadOnly());
        QCOMPARE(hint->toPlainText(),
                 QString("如果您只需要更新升级程序的组件，请点击工具条上的更新升\n"
                         "级，如果您需要升级主程序的版本，请到我的主页或华军等网\n"
                         "站下载。"));
        auto* ok = about.findChild<QPushButton*>("1");
        QVERIFY(ok);
        QCOMPARE(ok->text(), QString("确定"));
        QVERIFY(ok->isDefault());
    }

    // One holder at a time; a holder that died leaves a lock the next start takes.
    void instanceLockIsExclusiveAndRecoverable() {
        {
            auto first = CVexmorApp::TakeInstanceLock();
            QVERIFY(first);
            QVERIFY(!CVexmorApp::TakeInstanceLock());
        }
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            auto lock = CVexmorApp::TakeInstanceLock();
            ::_exit(lock ? 0 : 1);  // dies holding it: no unlock runs
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFile::exists(CVexmorApp::InstanceLockPath()));
        QVERIFY(CVexmorApp::TakeInstanceLock());
    }

    // Start-up to the shown window: uninstall before loading, the update
    // hook, Ctrl+N ignored, a second instance refused, and exit.
    void startsAndExits() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so"));
        QVERIFY(
            dir.WriteIni("[组件管理]\r\n卸载组件=fx_pair.so;\r\n[更新升级]\r\n更新文件数=3\r\n"));
        {
            CVexmorApp app;
            CancelNextModal();
            QVERIFY(app.InitInstance());
            QVERIFY(dir.ReadIni().contains("更新文件数=3"));
            vx::CMainFrame* frame = app.Frame();
            QVERIFY(frame);
            QVERIFY(frame->isVisible());
            QCOMPARE(frame->windowTitle(), QString("Vexmor V1.72"));
            QVERIFY(!QFile::exists(dir.PluginDir() + "fx_pair.so"));
            QCOMPARE(app.Doc()->ToolManager()->EntryCount(), 4);
            QVERIFY(!QApplication::quitOnLastWindowClosed());

            const QStringList logBefore = dir.ReadLog();
            auto* newDocument = frame->findChild<QAction*>("57600");
            QVERIFY(newDocument);
            QCOMPARE(newDocument->shortcut(), QKeySequence(QKeySequence::New));
            newDocument->trigger();
            QCOMPARE(app.Doc()->ToolManager()->EntryCount(), 4);
            QCOMPARE(dir.ReadLog(), logBefore);

            // A second start while this one runs: told so, no window.
            const int windows = QApplication::topLevelWidgets().size();
            {
                CVexmorApp second;
                QVERIFY(!second.InitInstance());
                QVERIFY(!second.Doc());
            }
            QCOMPARE(m_boxes, QStringList{"程序已经运行一个实例"});
            QCOMPARE(QApplication::topLevelWidgets().size(), windows);
            QVERIFY(frame->isVisible());

            // Exit: the frame queues the close, which destroys the frame.
            QPointer<vx::CMainFrame> guard(frame);
            frame->OnCommand(vx::CMainFrame::ID_APP_EXIT);
            QTRY_VERIFY(guard.isNull());
            QVERIFY(!app.Frame());
            QVERIFY(dir.ReadLog().filter("delete ").isEmpty());
        }
        const QStringList log = dir.ReadLog();
        QCOMPARE(log.filter("delete ").size(), 1);
        QVERIFY(log.last().startsWith("unload fx_named.so"));
        // The lock went with the application.
        QVERIFY(CVexmorApp::TakeInstanceLock());
    }

    // The plug-ins this build ships load beside the link tools, and the
    // program still ends cleanly through the exit command.
    void startsAndExitsWithShippedPlugins() {
        const QDir shipped(qEnvironmentVariable("VX_BIN_DIR") + "/ToolDlls");
        const QStringList libraries = shipped.entryList({"*.so"}, QDir::Files);
        if (libraries.isEmpty()) QSKIP("no plug-ins built");
        FakeProgramDir dir;
        for (const QString& f : libraries)
            QVERIFY(QFile::copy(shipped.filePath(f), dir.PluginDir() + f));
        CVexmorApp app;
        QVERIFY(app.InitInstance());
        QCOMPARE(app.Doc()->ToolManager()->LibraryCount(), libraries.size());
        QVERIFY(app.Doc()->ToolManager()->EntryCount() >= libraries.size() + 3);
        QPointer<vx::CMainFrame> frame(app.Frame());
        frame->OnCommand(vx::CMainFrame::ID_APP_EXIT);
        QTRY_VERIFY(frame.isNull());
        QVERIFY(m_boxes.isEmpty());
    }

private:
    QTemporaryDir m_runtime;
    QStringList m_boxes;
};

QTEST_MAIN(VexmorAppTest)
#include "VexmorAppTest.moc"
