// The document with the real main frame offscreen: what initialisation
// builds, what the host interfaces reach, and the order of teardown.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <thread>

#include "host/app/AboutDlg.h"
#include "host/app/VexmorDoc.h"
#include "host/controls/LinkPageDlg.h"
#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/frame/OutputMsgView.h"
#include "host/tasks/TaskManager.h"
#include "host/tools/FakeProgramDir.h"
#include "host/tools/HostOutput.h"
#include "host/tools/ToolHost.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolManager.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/tools/ToolShowView.h"
#include "platform/DesktopServices.h"
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
        QCOMPARE(doc.ToolHost()->GetOptionParent(), static_cast<QWidget*>(doc.OptionsDlg()));

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
        QVERIFY(!doc.Popup()->isVisible());

        // Ctrl+N's second initialisation changes nothing.
        const QStringList logBefore = dir.ReadLog();
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(EntryNames(doc).size(), 6);
        QCOMPARE(dir.ReadLog(), logBefore);
        QCOMPARE(frame->GetToolShowView()
                     ->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)
                     .size(),
                 6);
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
        const auto pages = frame->GetToolShowView()->findChildren<vx::CLinkPageDlg*>();
        QCOMPARE(pages.size(), 3);
        QStringList urls;
        for (auto* p : pages) urls << p->Url();
        urls.sort();
        QStringList expected{CVexmorDoc::kHomePageUrl, CVexmorDoc::kDownloadSite1Url,
                             CVexmorDoc::kDownloadSite2Url};
        expected.sort();
        QCOMPARE(urls, expected);
        for (const QString& u : urls) QCOMPARE(QUrl(u).scheme(), QString("https"));
        // Until the browser comes, the page's link opens the desktop's browser.
        QList<QUrl> opened;
        vx::platform::SetOpenUrlObserver([&](const QUrl& u) {
            opened << u;
            return true;
        });
        emit pages[0]->Link()->linkActivated(pages[0]->Url());
        vx::platform::SetOpenUrlObserver({});
        QCOMPARE(opened, QList<QUrl>{QUrl(pages[0]->Url())});
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

    // Status texts from worker threads arrive on the UI thread; once the frame
    // is gone they are dropped.
    void statusTextFromWorkerThreads() {
        FakeProgramDir dir;
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        doc.HostOutput()->SetStatusText(2, "same thread");
        QCOMPARE(frame->StatusPaneText(2), QString("same thread"));
        std::thread worker([&] {
            for (int i = 0; i < 200; ++i) doc.HostOutput()->SetStatusText(0, QString::number(i));
        });
        worker.join();
        QTRY_COMPARE(frame->StatusPaneText(0), QString("199"));

        // Queued texts still in flight when the frame goes are dropped.
        std::thread late([&] { doc.HostOutput()->SetStatusText(0, "after"); });
        late.join();
        doc.OnCloseDocument();
        QCoreApplication::processEvents();
        QVERIFY(!doc.Frame());
    }

    void outputAndPopup() {
        FakeProgramDir dir;
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        doc.HostOutput()->OutputMsg("第一行");
        QVERIFY(frame->GetOutputView()->toPlainText().contains("] 第一行"));
        QVERIFY(!doc.Popup()->isVisible());
        doc.HostOutput()->ShowMsg("10.0.0.5上线了");
        QVERIFY(doc.Popup()->isVisible());
        // From a worker both still land, on the UI thread.
        std::thread worker([&] {
            doc.HostOutput()->OutputMsg("来自线程");
            doc.HostOutput()->ShowMsg("弹出来自线程");
        });
        worker.join();
        QTRY_VERIFY(frame->GetOutputView()->toPlainText().contains("] 来自线程"));
        QTRY_VERIFY(doc.Popup()->TextBox()->toPlainText().contains("] 弹出来自线程"));
        doc.OnCloseDocument();
    }

    void commands() {
        FakeProgramDir dir;
        CVexmorDoc doc;
        new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QList<QUrl> opened;
        vx::platform::SetOpenUrlObserver([&](const QUrl& u) {
            opened << u;
            return true;
        });
        doc.OnHomePage();
        vx::platform::SetOpenUrlObserver({});
        QCOMPARE(opened, QList<QUrl>{QUrl(CVexmorDoc::kHomePageUrl)});
        doc.OnToolOptions();
        QVERIFY(doc.OptionsDlg()->isVisible());
        // Not yet built: these must at least do no harm.
        doc.OnUpdate();
        doc.OnComponentManage();
        doc.ToolManager()->SendToolMessage("Vexmor空间_我的主页", 1, 2);
        QVERIFY(m_boxes.isEmpty());
        doc.ToolManager()->SendToolMessage("无此工具", 1, 2);
        QCOMPARE(m_boxes, QStringList{"找不到工具[无此工具]"});
        doc.OnCloseDocument();
    }

    // Rebuilding registers the same tools again, hidden ones excluded.
    void rebuildRegistersAgain() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.WriteIni("[工具显示]\r\n测试_工具乙=0,0\r\n"));
        CVexmorDoc doc;
        auto* frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        QWidget* hidden = frame->GetToolShowView()->findChild<QWidget*>("测试_工具乙");
        QVERIFY(hidden);
        QVERIFY(!hidden->isVisible());
        doc.RebuildToolList();
        QCOMPARE(frame->GetToolListView()->CurrentPage()->objectName(), QString("测试_工具甲"));
        doc.OnCloseDocument();
    }

    void aboutBox() {
        vx::CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("关于 Vexmor"));
        auto* hint = about.findChild<QPlainTextEdit*>("1010");
        QVERIFY(hint);
        QVERIFY(hint->isReadOnly());
        QCOMPARE(hint->toPlainText(),
                 QString("如果您只需要更新升级程序的组件，请点击工具条上的更新升\n"
                         "级，如果您需要升级主程序的版本，请到我的主页或华军等网\n站下载。"));
        auto* ok = about.findChild<QPushButton*>("1");
        QVERIFY(ok);
        QCOMPARE(ok->text(), QString("确定"));
        QTimer::singleShot(0, ok, &QPushButton::click);
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

private:
    QStringList m_boxes;
};

QTEST_MAIN(VexmorDocTest)
#include "VexmorDocTest.moc"
