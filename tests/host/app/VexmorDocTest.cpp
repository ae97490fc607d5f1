// The document with the real main frame offscreen: what initialisation
// builds, what the host interfaces reach, and the order of teardown.
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

#include "host/app/VexmorDoc.h"
#include "host/controls/LinkPageDlg.h"
#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/frame/OutputMsgView.h"
#include "host/tasks/TaskBrowseDlg.h"
#include "host/tasks/TaskManager.h"
#include "support/FakeProgramDir.h"
#include "host/tools/HostOutput.h"
#include "host/tools/ToolHost.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolManager.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/tools/ToolShowView.h"
#include "platform/MessageBox.h"

using vx::CMainFrame;
using vx::CVexmorDoc;

namespace {

const QStringList kLinkTools{"Vexmor空间_我的主页", "Vexmor空间_华军下载", "Vexmor空间_天空下载"};

QStringList EntryNames(CVexmorDoc& doc) {
    QStringList names;
    vx::CToolManager::ToolEntry* e = nullptr;
    for (bool ok = doc.ToolManager()->FirstEntry(e); ok; ok = doc.ToolManager()->NextEntry(e))
        names << e->tool->GetToolInfo().name;
    return names;
}

// The output log's last line, without its time stamp.
QString LastLogLine(CMainFrame* frame) {
    const QStringList lines = frame->GetOutputView()->toPlainText().split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().section("] ", 1).trimmed();
}

// A task that never finishes on its own and lets itself be cancelled.
class FakeTask : public CTask {
public:
    explicit FakeTask(std::atomic<int>* alive) : m_alive(alive) { ++*m_alive; }
    ~FakeTask() override { --*m_alive; }
    int Start() override { return 0; }
    int Stop() override { return 1; }
    QString GetTypeName() override { return QStringLiteral("测试任务"); }

private:
    std::atomic<int>* m_alive;
};

}  // namespace

class VexmorDocTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        CMainFrame::OverrideTrayAvailability(false);
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void init() { m_boxes.clear(); }

    // Start-up with plug-ins: context in order, tools in display order with
    // the link tools last, pages under the tool show view, "32" selected.
    void initialisesOnceWithToolsInOrder() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.AddFixture("search", "fx_search.so"));
        CVexmorDoc doc;
        QVERIFY(!doc.Frame());
        QVERIFY(!doc.ToolHost()->GetPageParent());
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(doc.Frame(), frame);

        ToolHostContext* c = doc.Context();
        QCOMPARE(c->toolHost, static_cast<::CToolHost*>(doc.ToolHost()));
        QCOMPARE(c->taskManager, static_cast<::CTaskManager*>(doc.TaskManager()));
        QCOMPARE(c->hostOutput, static_cast<::CHostOutput*>(doc.HostOutput()));
        QCOMPARE(c->toolManager, static_cast<::CToolManager*>(doc.ToolManager()));
        QCOMPARE(doc.ToolHost()->GetPageParent(), static_cast<QWidget*>(frame->GetToolShowView()));

        QCOMPARE(EntryNames(doc),
                 QStringList({"搜索工具_搜索计算机", "测试_工具甲", "测试_工具乙"}) + kLinkTools);
        QCOMPARE(frame->GetThreadCountList()->currentText(), QString("32"));

        // Every page is a hidden child of the show view except the one shown.
        const auto pages =
            frame->GetToolShowView()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(pages.size(), 6);
        QWidget* shown = frame->GetToolListView()->CurrentPage();
        QVERIFY(shown);
        QCOMPARE(shown->objectName(), QString("搜索工具_搜索计算机"));
        QVERIFY(!doc.OptionsDlg()->isVisible());

        // Ctrl+N's second initialisation changes nothing.
        const QStringList logBefore = dir.ReadLog();
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(EntryNames(doc).size(), 6);
        QCOMPARE(dir.ReadLog(), logBefore);
        doc.OnCloseDocument();
    }

    // No plug-ins at all: just the three link tools, each page a link page.
    void linkToolsWithoutPlugins() {
        FakeProgramDir dir;
        QDir(dir.PluginDir()).removeRecursively();
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(EntryNames(doc), kLinkTools);
        QCOMPARE(frame->GetToolShowView()->findChildren<vx::CLinkPageDlg*>().size(), 3);
        QVERIFY(m_boxes.isEmpty());
        doc.OnCloseDocument();
    }

    // The frame goes before the tools, every tool before any library, and the
    // tasks are cancelled before the frame.
    void closesAndDestroysInOrder() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.AddFixture("nofolder", "fx_nofolder.so"));
        std::atomic<int> tasks{0};
        {
            CVexmorDoc doc;
            QPointer<CMainFrame> frame = new CMainFrame(&doc);
            QVERIFY(doc.OnNewDocument());
            doc.TaskManager()->AddTask(new FakeTask(&tasks));
            doc.TaskManager()->AddTask(new FakeTask(&tasks));
            QCOMPARE(doc.TaskManager()->GetTaskCount("测试任务"), 2);
            QSignalSpy closed(&doc, &CVexmorDoc::DocumentClosed);
            doc.OnCloseDocument();
            QCOMPARE(closed.size(), 1);
            QVERIFY(frame.isNull());
            QVERIFY(!doc.Frame());
            QCOMPARE(tasks.load(), 0);
            QCOMPARE(doc.TaskManager()->GetTaskCount("测试任务"), 0);
            doc.OnCloseDocument();  // a second close is harmless
            QCOMPARE(closed.size(), 1);
            // With the frame gone the output operations quietly do nothing.
            doc.HostOutput()->OutputMsg("late");
            doc.HostOutput()->SetStatusText(1, "late");
            QVERIFY(LinesStartingWith(dir.ReadLog(), "delete ").isEmpty());
        }
        const QStringList log = dir.ReadLog();
        const QStringList pages = LinesStartingWith(log, "page ");
        QCOMPARE(pages.size(), 3);
        for (const QString& p : pages) QVERIFY2(p.endsWith(" gone"), qPrintable(p));
        QCOMPARE(LinesStartingWith(log, "delete "),
                 QStringList({"delete 测试_工具甲", "delete 测试_工具乙", "delete 无下划线工具"}));
        const qsizetype firstUnload = log.indexOf(LinesStartingWith(log, "unload ").value(0));
        QVERIFY(firstUnload > log.indexOf("delete 无下划线工具"));
        QCOMPARE(LinesStartingWith(log, "unload ").size(), 2);
    }

    // The task engine as the document wires it: maximum 32 and a running
    // scheduler whose counts reach status pane 1, the "确定" button beside the
    // thread-count list, and "结束任务" with its log line.
    void taskEngineThroughTheDocument() {
        FakeProgramDir dir;
        std::atomic<int> tasks{0};
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(doc.TaskManager()->MaxThreads(), 32);
        QTRY_COMPARE(frame->StatusPaneText(1), QString("执行线程数=0,等待任务数=0"));

        for (int i = 0; i < 40; ++i) doc.TaskManager()->AddTask(new FakeTask(&tasks));
        QTRY_COMPARE(frame->StatusPaneText(1), QString("执行线程数=32,等待任务数=8"));

        // Picking an entry alone changes nothing; the button applies it.
        QComboBox* list = frame->GetThreadCountList();
        list->setCurrentIndex(list->findText("256"));
        QCOMPARE(doc.TaskManager()->MaxThreads(), 32);
        auto* apply = frame->findChild<QPushButton*>("61446");
        QVERIFY(apply);
        apply->click();
        QCOMPARE(doc.TaskManager()->MaxThreads(), 256);
        QCOMPARE(LastLogLine(frame), QString("设置当前执行线程数最大值=256"));
        QTRY_COMPARE(frame->StatusPaneText(1), QString("执行线程数=40,等待任务数=0"));

        auto* cancel = frame->menuBar()->findChild<QAction*>("32777");
        QVERIFY(cancel);
        cancel->trigger();
        QCOMPARE(tasks.load(), 0);
        QCOMPARE(LastLogLine(frame), QString("共有40个任务被取消"));
        QTRY_COMPARE(frame->StatusPaneText(1), QString("执行线程数=0,等待任务数=0"));

        // "任务浏览..." shows the manager's rows in a modal dialog.
        for (int i = 0; i < 3; ++i) doc.TaskManager()->AddTask(new FakeTask(&tasks));
        QStringList rows;
        QTimer::singleShot(0, [&rows] {
            auto* dlg = qobject_cast<vx::CTaskBrowseDlg*>(QApplication::activeModalWidget());
            if (!dlg) return;
            for (int r = 0; r < dlg->List()->rowCount(); ++r)
                rows << dlg->List()->item(r, 0)->text() + '|' + dlg->List()->item(r, 1)->text() +
                            '|' + dlg->List()->item(r, 2)->text();
            dlg->reject();
        });
        frame->menuBar()->findChild<QAction*>("32780")->trigger();
        const int executing = rows.isEmpty() ? -1 : rows[0].section('|', 1, 1).toInt();
        QCOMPARE(rows, QStringList{QString("测试任务|%1|%2").arg(executing).arg(3 - executing)});
        cancel->trigger();
        QCOMPARE(LastLogLine(frame), QString("共有3个任务被取消"));

        // With nothing left to cancel the command logs nothing.
        const QString log = frame->GetOutputView()->toPlainText();
        cancel->trigger();
        QCOMPARE(frame->GetOutputView()->toPlainText(), log);
        doc.OnCloseDocument();
    }

    // Exit while a modal dialog of the frame is open: the close ends the
    // dialog, and the frame goes only after the command that opened it has
    // returned.
    void closeWhileAModalDialogIsOpen_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("task browse") << "32780";
        QTest::newRow("tool display") << "32778";
        QTest::newRow("about") << "57664";
    }
    void closeWhileAModalDialogIsOpen() {
        QFETCH(QString, command);
        FakeProgramDir dir;
        CVexmorDoc doc;
        QPointer<CMainFrame> frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            sawDialog = QApplication::activeModalWidget() != nullptr;
            doc.OnCloseDocument();
        });
        frame->menuBar()->findChild<QAction*>(command)->trigger();
        QVERIFY(sawDialog);
        QVERIFY(frame);
        QTRY_VERIFY(frame.isNull());
    }

    // "找不到工具[...]" is modal to the main window only: an application-modal
    // box would keep the tray icon, and 退出 with it, from taking clicks.
    void toolNotFoundBoxIsModalToTheWindow() {
        FakeProgramDir dir;
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        vx::platform::SetMessageBoxInterceptor({});
        QString text;
        QWidget* parent = nullptr;
        Qt::WindowModality modality = Qt::NonModal;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            text = box->text();
            parent = box->parentWidget();
            modality = box->windowModality();
            box->accept();
        });
        doc.ToolManager()->SendToolMessage("没有的工具", 1, 2);
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
        QCOMPARE(text, QString("找不到工具[没有的工具]"));
        QCOMPARE(parent, frame);
        QCOMPARE(modality, Qt::WindowModal);
        doc.OnCloseDocument();
    }

    // The host output from the UI thread acts at once; from a worker it is
    // queued to the UI thread; once the frame is gone it is dropped.
    void hostOutputAcrossThreads() {
        FakeProgramDir dir;
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        doc.HostOutput()->SetStatusText(2, "same thread");
        QCOMPARE(frame->StatusPaneText(2), QString("same thread"));
        doc.HostOutput()->OutputMsg("第一行");
        QVERIFY(frame->GetOutputView()->toPlainText().contains("] 第一行"));
        QVERIFY(!doc.Popup()->isVisible());
        doc.HostOutput()->ShowMsg("10.0.0.5上线了");
        QVERIFY(doc.Popup()->isVisible());

        std::thread worker([&] {
            for (int i = 0; i < 200; ++i) doc.HostOutput()->SetStatusText(0, QString::number(i));
            doc.HostOutput()->OutputMsg("来自线程");
            doc.HostOutput()->ShowMsg("弹出来自线程");
        });
        worker.join();
        QTRY_COMPARE(frame->StatusPaneText(0), QString("199"));
        QTRY_VERIFY(frame->GetOutputView()->toPlainText().contains("] 来自线程"));
        QTRY_VERIFY(doc.Popup()->TextBox()->toPlainText().contains("] 弹出来自线程"));

        std::thread late([&] { doc.HostOutput()->SetStatusText(0, "after"); });
        late.join();
        doc.OnCloseDocument();
        QCoreApplication::processEvents();
        QVERIFY(!doc.Frame());
    }

private:
    QStringList m_boxes;
};

QTEST_MAIN(VexmorDocTest)
#include "VexmorDocTest.moc"
