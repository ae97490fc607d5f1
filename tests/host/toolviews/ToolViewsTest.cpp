// The tool list view over the folder bar and the tool show view: folders
// made from tool names, which page shows, the status text, resets, sizes.
#include <QStatusBar>
#include <QTest>

#include "host/app/VexmorDoc.h"
#include "host/controls/GfxOutBarCtrl.h"
#include "host/frame/MainFrame.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolShowView.h"
#include "support/FakeProgramDir.h"

using vx::CGfxOutBarCtrl;
using vx::CMainFrame;
using vx::CToolListView;

namespace {
// "folder:item,item|folder:..." for the whole bar.
QString BarContents(CGfxOutBarCtrl* bar) {
    const int open = bar->SelectedFolder();
    QStringList folders;
    for (int f = 0; f < bar->FolderCount(); ++f) {
        bar->SelectFolder(f);
        QStringList items;
        for (int i = 0; i < bar->ItemCount(f); ++i) items << bar->ItemTextAt(i);
        folders << bar->FolderTextAt(f) + QLatin1Char(':') + items.join(QLatin1Char(','));
    }
    bar->SelectFolder(open);
    return folders.join(QLatin1Char('|'));
}

struct Frame {
    Frame() {
        CMainFrame::OverrideTrayAvailability(false);
        frame = std::make_unique<CMainFrame>(nullptr);
        CMainFrame::OverrideTrayAvailability(std::nullopt);
        frame->show();
        view = frame->GetToolListView();
        bar = view->Bar();
        bar->m_stepDelay = -1;  // no slide: folder changes are immediate
    }
    QWidget* NewPage(const QString& name) {
        auto* page = new QWidget(frame->GetToolShowView());
        page->setObjectName(name);
        page->hide();
        return page;
    }
    std::unique_ptr<CMainFrame> frame;
    CToolListView* view;
    CGfxOutBarCtrl* bar;
};
}  // namespace

class ToolViewsTest : public QObject {
    Q_OBJECT
private slots:
    void namesMakeFolders_data();
    void namesMakeFolders();
    void firstToolAddedShowsItsPage();
    void clickingAnItemShowsItsPage();
    void otherNotificationsChangeNothing();
    void resetLeavesTheEmptyFirstFolder();
    void pageFollowsTheShowView();
    void narrowPaneKeepsTheBarSize();
    void documentListsTheLinkToolsWithoutPlugins();
};

void ToolViewsTest::namesMakeFolders_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("contents");
    QTest::newRow("search tools first") << QStringList{"搜索工具_主机巡测", "搜索工具_设置共享资源"}
                                        << "搜索工具:主机巡测,设置共享资源";
    QTest::newRow("new folders after, reused")
        << QStringList{"X_B", "搜索工具_A", "X_C"} << "搜索工具:A|X:B,C";
    QTest::newRow("split at the first underscore") << QStringList{"a_b_c"} << "搜索工具:|a:b_c";
    QTest::newRow("no underscore: empty folder")
        << QStringList{"Lone", "Other"} << "搜索工具:|:Lone,Other";
    QTest::newRow("folder names are case-sensitive")
        << QStringList{"x_1", "X_2"} << "搜索工具:|x:1|X:2";
}

void ToolViewsTest::namesMakeFolders() {
    QFETCH(QStringList, names);
    QFETCH(QString, contents);
    Frame f;
    for (const QString& name : names) f.view->AddTool(name, QIcon(), f.NewPage(name));
    QCOMPARE(BarContents(f.bar), contents);
    QCOMPARE(f.bar->ImageList(CGfxOutBarCtrl::kLargeImageList)->ImageCount(), names.size());
    QCOMPARE(f.bar->ImageList(CGfxOutBarCtrl::kLargeImageList)->ImageSize(), QSize(32, 32));
}

void ToolViewsTest::firstToolAddedShowsItsPage() {
    Frame f;
    QWidget* a = f.NewPage("a");
    QWidget* b = f.NewPage("b");
    f.view->AddTool(QStringLiteral("X_A"), QIcon(), a);
    f.view->AddTool(QStringLiteral("搜索工具_B"), QIcon(), b);
    QCOMPARE(f.view->CurrentPage(), a);
    QVERIFY(a->isVisible());
    QVERIFY(!b->isVisible());
    QCOMPARE(a->geometry(), f.frame->GetToolShowView()->rect());
    QCOMPARE(f.bar->SelectedFolder(), 1);  // the shown tool's folder is open
    QCOMPARE(f.frame->StatusPaneText(2), QStringLiteral("当前窗口：A"));
}

void ToolViewsTest::clickingAnItemShowsItsPage() {
    Frame f;
    QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
    QWidget* a = f.NewPage("a");
    QWidget* b = f.NewPage("b");
    f.view->AddTool(QStringLiteral("搜索工具_A"), QIcon(), a);
    f.view->AddTool(QStringLiteral("搜索工具_B"), QIcon(), b);
    // A real click on the second item of the open folder.
    const QPoint at = f.bar->ItemRect(1).center();
    QTest::mouseMove(f.bar, at);
    QTest::mousePress(f.bar, Qt::LeftButton, {}, at);
    QTest::mouseRelease(f.bar, Qt::LeftButton, {}, at);
    QTRY_COMPARE(f.view->CurrentPage(), b);
    QVERIFY(b->isVisible());
    QVERIFY(!a->isVisible());
    QCOMPARE(b->geometry(), f.frame->GetToolShowView()->rect());
    QCOMPARE(f.frame->StatusPaneText(2), QStringLiteral("当前窗口：B"));

    f.view->OnOutbarNotify(CGfxOutBarCtrl::kNotifyItemClicked, 0);
    QCOMPARE(f.view->CurrentPage(), a);
    QVERIFY(a->isVisible() && !b->isVisible());
    QCOMPARE(f.frame->StatusPaneText(2), QStringLiteral("当前窗口：A"));
}

void ToolViewsTest::otherNotificationsChangeNothing() {
    Frame f;
    QWidget* a = f.NewPage("a");
    QWidget* b = f.NewPage("b");
    f.view->AddTool(QStringLiteral("搜索工具_A"), QIcon(), a);
    f.view->AddTool(QStringLiteral("Y_B"), QIcon(), b);
    // Opening another folder alone does not change the page.
    f.bar->SelectFolder(1);
    f.view->OnOutbarNotify(CGfxOutBarCtrl::kNotifyFolderOpened, 1);
    f.view->OnOutbarNotify(CGfxOutBarCtrl::kNotifyItemDropped, 0);
    QCOMPARE(f.view->CurrentPage(), a);
    QVERIFY(a->isVisible() && !b->isVisible());
    // A page its tool has already deleted is never shown.
    delete b;
    f.view->OnOutbarNotify(CGfxOutBarCtrl::kNotifyItemClicked, 0);
    QCOMPARE(f.view->CurrentPage(), a);
}

void ToolViewsTest::resetLeavesTheEmptyFirstFolder() {
    Frame f;
    QWidget* a = f.NewPage("a");
    f.view->AddTool(QStringLiteral("X_A"), QIcon(), a);
    f.view->AddTool(QStringLiteral("搜索工具_B"), QIcon(), f.NewPage("b"));
    f.view->ResetTools();
    QCOMPARE(BarContents(f.bar), QStringLiteral("搜索工具:"));
    QVERIFY(!f.view->CurrentPage());
    QVERIFY(!a->isVisible());
    QCOMPARE(f.bar->ImageList(CGfxOutBarCtrl::kLargeImageList)->ImageCount(), 0);

    // After a reset the first tool added is shown again, whatever showed before.
    QWidget* c = f.NewPage("c");
    f.view->AddTool(QStringLiteral("搜索工具_C"), QIcon(), c);
    f.view->AddTool(QStringLiteral("X_A"), QIcon(), a);
    QCOMPARE(f.view->CurrentPage(), c);
    QVERIFY(c->isVisible() && !a->isVisible());
    QCOMPARE(f.bar->SelectedFolder(), 0);
    QCOMPARE(f.bar->ImageList(CGfxOutBarCtrl::kLargeImageList)->ImageCount(), 2);
}

void ToolViewsTest::pageFollowsTheShowView() {
    Frame f;
    QWidget* a = f.NewPage("a");
    f.view->AddTool(QStringLiteral("X_A"), QIcon(), a);
    f.frame->resize(1100, 800);
    QTRY_COMPARE(f.frame->size(), QSize(1100, 800));
    QCOMPARE(a->geometry(), f.frame->GetToolShowView()->rect());
    QVERIFY(a->width() > 900);
}

void ToolViewsTest::narrowPaneKeepsTheBarSize() {
    CToolListView view(nullptr);
    view.resize(300, 400);
    view.show();
    QCOMPARE(view.Bar()->geometry(), QRect(0, 0, 300, 400));
    view.resize(121, 350);
    QCOMPARE(view.Bar()->geometry(), QRect(0, 0, 121, 350));
    view.resize(120, 200);
    QCOMPARE(view.Bar()->geometry(), QRect(0, 0, 121, 350));
}

void ToolViewsTest::documentListsTheLinkToolsWithoutPlugins() {
    FakeProgramDir programDir;
    {
        vx::CVexmorDoc doc;
        QPointer<CMainFrame> frame = new CMainFrame(&doc);
        QVERIFY(doc.OnNewDocument());
        CToolListView* view = frame->GetToolListView();
        view->Bar()->m_stepDelay = -1;
        QCOMPARE(BarContents(view->Bar()),
                 QStringLiteral("搜索工具:|Vexmor空间:我的主页,华军下载,天空下载"));
        QCOMPARE(view->Bar()->SelectedFolder(), 1);
        QVERIFY(view->CurrentPage());
        QCOMPARE(view->CurrentPage()->parentWidget(), frame->GetToolShowView());
        QCOMPARE(frame->StatusPaneText(2), QStringLiteral("当前窗口：我的主页"));
        doc.OnCloseDocument();
        QVERIFY(!frame);
    }
}

QTEST_MAIN(ToolViewsTest)
#include "ToolViewsTest.moc"
