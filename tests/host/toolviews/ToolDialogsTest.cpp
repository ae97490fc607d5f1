// The tool options dialog with fake pages, and the tool display dialog on a
// real document: reordering, ticking, applying, storing and cancelling.
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "FakeTool.h"
#include "host/app/VexmorDoc.h"
#include "host/controls/GfxOutBarCtrl.h"
#include "host/frame/MainFrame.h"
#include "host/tools/ToolDisplayDlg.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolManager.h"
#include "host/tools/ToolOptionsDlg.h"
#include "platform/ProfileFile.h"
#include "support/FakeProgramDir.h"

using vx::CMainFrame;
using vx::CToolDisplayDlg;
using vx::CToolOptionsDlg;

namespace {
class FakeOptionPage : public COptionPage {
public:
    FakeOptionPage(QWidget* parent, QString name, QStringList* saves)
        : m_wnd(new QWidget(parent)), m_name(std::move(name)), m_saves(saves) {
        m_wnd->hide();
    }
    QWidget* GetPageWnd() override { return m_wnd; }
    void SaveOptions() override { *m_saves << m_name; }

private:
    QWidget* m_wnd;
    QString m_name;
    QStringList* m_saves;
};

QPushButton* Button(QWidget* dialog, int id) {
    return dialog->findChild<QPushButton*>(QString::number(id));
}

// "name+" for a ticked row, "name-" for an unticked one.
QStringList Rows(QTreeWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = list->topLevelItem(r);
        rows << row->text(0) + (row->checkState(0) == Qt::Checked ? '+' : '-');
    }
    return rows;
}

// A document with its frame and the tools P, Q, R of folder 搜索工具 in that
// display order, in a private program folder.
struct ThreeTools {
    ThreeTools() {
        frame = new CMainFrame(&doc);
        doc.OnNewDocument();
        frame->GetToolListView()->Bar()->m_stepDelay = -1;
        for (const char* name : {"P", "Q", "R"}) {
            auto* tool = new FakeTool(doc.Context(), QStringLiteral("搜索工具_") + name);
            doc.ToolManager()->AddToolEntry(tool, true);
            pages[name] = tool->Page();
        }
        doc.RebuildToolList();
    }
    ~ThreeTools() {
        doc.OnCloseDocument();
    }
    QString Stored(const QString& tool) const {
        return vx::platform::ProfileFile(dir.IniPath())
            .GetString(QStringLiteral("工具显示"), QStringLiteral("搜索工具_") + tool,
                       QStringLiteral("none"), 64);
    }
    QStringList SearchFolder() const {
        vx::CGfxOutBarCtrl* bar = frame->GetToolListView()->Bar();
        bar->SelectFolder(0);
        QStringList items;
        for (int i = 0; i < bar->ItemCount(0); ++i) items << bar->ItemTextAt(i);
        return items;
    }

    FakeProgramDir dir;
    vx::CVexmorDoc doc;
    QPointer<CMainFrame> frame;
    QMap<QString, QPointer<QWidget>> pages;
};
}  // namespace

class ToolDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void optionsDialogLayout();
    void optionsPagesShowInsideTheFrame();
    void optionsSaveAndClose();
    void displayWorkedExample();
    void displayMovesAtTheEnds_data();
    void displayMovesAtTheEnds();
    void displayCancelChangesNothing();
    void displayHiddenToolsStayListed();
};

void ToolDialogsTest::optionsDialogLayout() {
    CToolOptionsDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("选项"));
    QVERIFY(dlg.findChild<QListWidget*>(QStringLiteral("1002")));
    QVERIFY(dlg.findChild<QFrame*>(QStringLiteral("1003")));
    QCOMPARE(Button(&dlg, 1)->text(), QStringLiteral("保存"));
    QCOMPARE(Button(&dlg, 2)->text(), QStringLiteral("关闭"));
    QCOMPARE(dlg.findChild<QListWidget*>(QStringLiteral("1002"))->count(), 0);
    // Every control inside the dialog, nothing overlapping the page frame.
    for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(dlg.rect().contains(w->geometry()), qPrintable(w->objectName()));
    QVERIFY(!dlg.findChild<QListWidget*>(QStringLiteral("1002"))
                 ->geometry()
                 .intersects(dlg.findChild<QFrame*>(QStringLiteral("1003"))->geometry()));
}

void ToolDialogsTest::optionsPagesShowInsideTheFrame() {
    CToolOptionsDlg dlg;
    QStringList saves;
    FakeOptionPage one(&dlg, "one", &saves);
    FakeOptionPage two(&dlg, "two", &saves);
    dlg.AddOptionPage(QStringLiteral("一"), QIcon(), &one);
    dlg.AddOptionPage(QStringLiteral("二"), QIcon(), &two);
    dlg.show();
    auto* list = dlg.findChild<QListWidget*>(QStringLiteral("1002"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("二"));
    const QRect inside =
        dlg.findChild<QFrame*>(QStringLiteral("1003"))->geometry().adjusted(2, 2, -2, -2);

    list->setCurrentRow(0);
    QCOMPARE(dlg.CurrentPage(), &one);
    QVERIFY(one.GetPageWnd()->isVisible());
    QCOMPARE(one.GetPageWnd()->geometry(), inside);

    list->setCurrentRow(1);
    QCOMPARE(dlg.CurrentPage(), &two);
    QVERIFY(!one.GetPageWnd()->isVisible());
    QVERIFY(two.GetPageWnd()->isVisible());
    QCOMPARE(two.GetPageWnd()->geometry(), inside);

    // A reset drops the rows but leaves the pages alone.
    dlg.Reset();
    QCOMPARE(list->count(), 0);
    QCOMPARE(dlg.CurrentPage(), &two);
    QVERIFY(saves.isEmpty());
}

void ToolDialogsTest::optionsSaveAndClose() {
    CToolOptionsDlg dlg;
    QStringList saves;
    FakeOptionPage one(&dlg, "one", &saves);
    FakeOptionPage two(&dlg, "two", &saves);
    dlg.show();
    QTest::mouseClick(Button(&dlg, 1), Qt::LeftButton);  // no pages: just hides
    QVERIFY(!dlg.isVisible());
    QVERIFY(saves.isEmpty());

    dlg.AddOptionPage(QStringLiteral("二"), QIcon(), &two);
    dlg.AddOptionPage(QStringLiteral("一"), QIcon(), &one);
    dlg.show();
    QTest::mouseClick(Button(&dlg, 2), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QVERIFY(saves.isEmpty());

    dlg.show();
    QTest::mouseClick(Button(&dlg, 1), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(saves, (QStringList{"two", "one"}));  // row order
}

void ToolDialogsTest::displayWorkedExample() {
    ThreeTools t;
    QCOMPARE(t.SearchFolder(), (QStringList{"P", "Q", "R"}));
    CToolDisplayDlg dlg(&t.doc, t.frame);
    dlg.show();
    auto* list = dlg.findChild<QTreeWidget*>(QStringLiteral("1002"));
    QVERIFY(list);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("工具名称"));
    QCOMPARE(list->columnWidth(0), 200);
    QCOMPARE(Rows(list).mid(0, 3), (QStringList{"搜索工具_P+", "搜索工具_Q+", "搜索工具_R+"}));

    list->setCurrentItem(list->topLevelItem(2));
    QTest::mouseClick(Button(&dlg, 1004), Qt::LeftButton);
    QTest::mouseClick(Button(&dlg, 1004), Qt::LeftButton);
    list->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(Rows(list).mid(0, 3), (QStringList{"搜索工具_R+", "搜索工具_P+", "搜索工具_Q-"}));
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("搜索工具_R"));
    QTest::mouseClick(Button(&dlg, 1), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));

    QCOMPARE(t.SearchFolder(), (QStringList{"R", "P"}));
    QCOMPARE(t.Stored("R"), QStringLiteral("0,1"));
    QCOMPARE(t.Stored("P"), QStringLiteral("1,1"));
    QCOMPARE(t.Stored("Q"), QStringLiteral("2,0"));
    // The first visible tool in the new order is the one shown.
    QCOMPARE(t.frame->GetToolListView()->CurrentPage(), t.pages["R"].data());
    QVERIFY(!t.pages["R"]->isHidden());
    QVERIFY(t.pages["P"]->isHidden() && t.pages["Q"]->isHidden());
    QCOMPARE(t.frame->StatusPaneText(2), QStringLiteral("当前窗口：R"));

    // The entries themselves changed, so a second dialog opens in the new order.
    CToolDisplayDlg again(&t.doc, t.frame);
    QCOMPARE(Rows(again.findChild<QTreeWidget*>(QStringLiteral("1002"))).mid(0, 3),
             (QStringList{"搜索工具_R+", "搜索工具_P+", "搜索工具_Q-"}));
}

void ToolDialogsTest::displayMovesAtTheEnds_data() {
    QTest::addColumn<int>("selected");  // -1: none
    QTest::addColumn<int>("button");
    QTest::newRow("up on the first row") << 0 << 1004;
    QTest::newRow("down on the last row") << -2 << 1005;
    QTest::newRow("up without selection") << -1 << 1004;
    QTest::newRow("down without selection") << -1 << 1005;
}

void ToolDialogsTest::displayMovesAtTheEnds() {
    QFETCH(int, selected);
    QFETCH(int, button);
    ThreeTools t;
    CToolDisplayDlg dlg(&t.doc, t.frame);
    dlg.show();
    auto* list = dlg.findChild<QTreeWidget*>(QStringLiteral("1002"));
    const QStringList before = Rows(list);
    if (selected == -2) selected = list->topLevelItemCount() - 1;
    list->clearSelection();
    if (selected >= 0) list->setCurrentItem(list->topLevelItem(selected));
    QTest::mouseClick(Button(&dlg, button), Qt::LeftButton);
    QCOMPARE(Rows(list), before);
}

void ToolDialogsTest::displayCancelChangesNothing() {
    ThreeTools t;
    CToolDisplayDlg dlg(&t.doc, t.frame);
    dlg.show();
    auto* list = dlg.findChild<QTreeWidget*>(QStringLiteral("1002"));
    list->setCurrentItem(list->topLevelItem(0));
    QTest::mouseClick(Button(&dlg, 1005), Qt::LeftButton);
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QTest::mouseClick(Button(&dlg, 2), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(t.SearchFolder(), (QStringList{"P", "Q", "R"}));
    QCOMPARE(t.Stored("P"), QStringLiteral("none"));
    QVERIFY(!QFile::exists(t.dir.IniPath()));
    CToolDisplayDlg again(&t.doc, t.frame);
    QCOMPARE(Rows(again.findChild<QTreeWidget*>(QStringLiteral("1002"))).mid(0, 3),
             (QStringList{"搜索工具_P+", "搜索工具_Q+", "搜索工具_R+"}));
}

void ToolDialogsTest::displayHiddenToolsStayListed() {
    ThreeTools t;
    {
        CToolDisplayDlg dlg(&t.doc, t.frame);
        auto* list = dlg.findChild<QTreeWidget*>(QStringLiteral("1002"));
        // The link tools are listed too, and can be hidden.
        QCOMPARE(list->topLevelItemCount(), 6);
        QCOMPARE(list->topLevelItem(3)->text(0), QStringLiteral("Vexmor空间_我的主页"));
        for (int r = 0; r < list->topLevelItemCount(); ++r)
            list->topLevelItem(r)->setCheckState(0, Qt::Unchecked);
        dlg.accept();
    }
    // Everything hidden: the empty first folder and no page.
    QCOMPARE(t.SearchFolder(), QStringList{});
    QCOMPARE(t.frame->GetToolListView()->Bar()->FolderCount(), 1);
    QVERIFY(!t.frame->GetToolListView()->CurrentPage());
    CToolDisplayDlg again(&t.doc, t.frame);
    QCOMPARE(Rows(again.findChild<QTreeWidget*>(QStringLiteral("1002"))).size(), 6);
    QVERIFY(!Rows(again.findChild<QTreeWidget*>(QStringLiteral("1002"))).join("").contains('+'));
}

QTEST_MAIN(ToolDialogsTest)
#include "ToolDialogsTest.moc"
