// The share setter page and its share operations over a fake share layer:
// the clock is OnTimer, the settings file a private program directory.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

#include "ShareFakes.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/sharesetter/ShareOps.h"
#include "plugins/sharesetter/ShareSetterDlg.h"
#include "plugins/sharesetter/ShareSetterTool.h"
#include "support/FakeProgramDir.h"

using namespace vx::sharesetter;
using Rows = QList<QStringList>;

class ShareSetterDlgTest : public QObject {
    Q_OBJECT

    FakeToolHost m_host;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, nullptr, &m_output, nullptr};
    std::shared_ptr<FakeUserShares> m_shares;
    QStringList m_machine;
    QStringList m_boxes;
    QList<QUrl> m_opened;
    std::unique_ptr<FakeProgramDir> m_dir;
    std::unique_ptr<CShareSetterTool> m_tool;

    CShareSetterDlg* Page() const { return m_tool->Page(); }
    CSortListCtrl* List() const { return Page()->List(); }
    void Restart() {
        m_tool.reset();
        m_tool = std::make_unique<CShareSetterTool>(
            &m_context, ShareServices{m_shares, [this] { return m_machine; }});
    }
    // Adds `path` with the combo's `duration` through the page's button.
    void Add(const QString& path, int duration = 0) {
        Page()->findChild<QLineEdit*>("1001")->setText(path);
        Page()->findChild<QComboBox*>("1003")->setCurrentIndex(duration);
        Page()->findChild<QPushButton*>("1004")->click();
    }
    Rows RowTexts() const {
        Rows rows;
        for (int r = 0; r < List()->RowCount(); ++r)
            rows << QStringList{List()->CellText(r, 0), List()->CellText(r, 1),
                                List()->CellText(r, 2)};
        return rows;
    }
    void Command(int id) {
        Page()->ContextMenu()->findChild<QAction*>(QString::number(id))->trigger();
    }

private slots:
    void init() {
        m_dir = std::make_unique<FakeProgramDir>();
        m_shares = std::make_shared<FakeUserShares>();
        m_output.logged.clear();
        m_machine.clear();
        m_boxes.clear();
        m_opened.clear();
        vx::platform::SetMessageBoxInterceptor([this](const QString& text) { m_boxes << text; });
        vx::platform::SetOpenUrlObserver([this](const QUrl& url) {
            m_opened << url;
            return true;
        });
        Restart();
    }
    void cleanup() {
        m_tool.reset();
        m_dir.reset();
        vx::platform::SetMessageBoxInterceptor({});
        vx::platform::SetOpenUrlObserver({});
    }

    void shareNameFromPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("last component") << "/data/music"
                                        << "music";
        QTest::newRow("trailing separators") << "/data/music//"
                                             << "music";
        QTest::newRow("root takes the drive rule") << "/"
                                                   << "/盘";
        QTest::newRow("only separators") << "//"
                                         << "/盘";
        QTest::newRow("empty") << ""
                               << "盘";
        QTest::newRow("no separator") << "music"
                                      << "music";
        QTest::newRow("metacharacters kept") << "/srv/中文 a;b$c'\""
                                             << "中文 a;b$c'\"";
    }
    void shareNameFromPath() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(ShareNameFromPath(path), name);
    }

    // What one add writes, shows and keeps, by the share layer's answer.
    void addOutcome_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("advice");
        QTest::addColumn<QStringList>("lines");
        const QString fail = QStringLiteral("共享文件夹失败(%1)");
        QTest::newRow("success") << 0 << "" << QStringList{"共享文件夹/srv/a%2成功,共享名为a%2"};
        QTest::newRow("5") << 5 << "" << QStringList{fail.arg("用户不能访问指定的请求信息")};
        QTest::newRow("5 with advice")
            << 5 << "请设置" << QStringList{fail.arg("用户不能访问指定的请求信息"), "请设置"};
        QTest::newRow("2116") << 2116 << "" << QStringList{fail.arg("指定的文件夹不存在")};
        QTest::newRow("2117") << 2117 << "" << QStringList{fail.arg("指定的文件夹已经被共享")};
        QTest::newRow("2118") << 2118 << "" << QStringList{fail.arg("共享名已经存在")};
        QTest::newRow("87") << 87 << "" << QStringList{fail.arg("错误码87")};
        QTest::newRow("-1") << -1 << "" << QStringList{fail.arg("错误码-1")};
    }
    void addOutcome() {
        QFETCH(int, code);
        QFETCH(QString, advice);
        QFETCH(QStringList, lines);
        m_shares->nextAdd = {code, advice};
        Add(QStringLiteral("/srv/a%2"), 1);
        QCOMPARE(m_output.logged, lines);
        QCOMPARE(m_boxes, code == 0 ? QStringList{} : QStringList{"添加共享失败"});
        const Rows rows = code == 0 ? Rows{{"a%2", "/srv/a%2", "30分0秒"}} : Rows{};
        QCOMPARE(RowTexts(), rows);
        QCOMPARE(QFile::exists(m_dir->IniPath()), code == 0);
    }

    // Vexmor.ini is GBK: a share it could not record is not made at all.
    void textsWithoutGbkFormAreRefused() {
        Add(QStringLiteral("/srv/ø😀"));
        QCOMPARE(m_output.logged.value(0), QStringLiteral("共享文件夹失败(错误码1113)"));
        QCOMPARE(m_output.logged.size(), 2);
        QVERIFY(m_shares->shared.isEmpty() && List()->RowCount() == 0);
        QCOMPARE(m_boxes, QStringList{"添加共享失败"});
    }

    void formatDuration_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0秒";
        QTest::newRow("59") << 59 << "59秒";
        QTest::newRow("3599") << 3599 << "59分59秒";
    }
    void formatDuration() {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(CShareSetterDlg::FormatDuration(seconds), text);
    }

    // Each of the five durations: its text, and where one tick leaves it.
    void durations_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("afterTick");
        QTest::newRow("0") << 0 << "无限制"
                           << "无限制";
        QTest::newRow("1") << 1 << "30分钟"
                           << "29分59秒";
        QTest::newRow("2") << 2 << "2小时"
                           << "1小时59分59秒";
        QTest::newRow("3") << 3 << "6小时"
                           << "5小时59分59秒";
        QTest::newRow("4") << 4 << "24小时"
                           << "23小时59分59秒";
    }
    void durations() {
        QFETCH(int, index);
        QFETCH(QString, choice);
        QFETCH(QString, afterTick);
        auto* box = Page()->findChild<QComboBox*>("1003");
        QCOMPARE(box->count(), 5);
        QCOMPARE(box->itemText(index), choice);
        Add(QStringLiteral("/srv/d"), index);
        Page()->OnTimer();
        QCOMPARE(List()->CellText(0, 2), afterTick);
    }

    void savedSharesComeBackUnlimited() {
        QCOMPARE(Page()->findChild<QComboBox*>("1003")->currentIndex(), 0);
        Add(QStringLiteral("/srv/a*b/data"), 2);
        QCOMPARE(List()->CellText(0, 2), QStringLiteral("2小时0分0秒"));
        QVERIFY(m_dir->ReadIni().contains(
            QStringLiteral("共享资源数=1\r\n共享资源0=data*/srv/a*b/data")));
        Restart();
        for (int i = 0; i < 5; ++i) Page()->OnTimer();
        QCOMPARE(RowTexts(), (Rows{{"data", "/srv/a*b/data", "无限制"}}));
        QVERIFY(m_shares->deleted.isEmpty());
    }

    void loadShares_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("no section") << "" << Rows{};
        QTest::newRow("value without star")
            << "[设置共享资源]\r\n共享资源数=2\r\n共享资源0=a*/x\r\n共享资源1=/no/star\r\n"
            << Rows{{"a", "/x", "无限制"}, {"", "/no/star", "无限制"}};
        QTest::newRow("keys beyond the count are not read")
            << "[设置共享资源]\r\n共享资源数=1\r\n共享资源0=a*/x\r\n共享资源1=b*/y\r\n"
            << Rows{{"a", "/x", "无限制"}};
        // A count far beyond the keys written would hold the window back
        // while memory climbs: the list ends at the first missing key.
        QTest::newRow("huge count, one key")
            << "[设置共享资源]\r\n共享资源数=2000000000\r\n共享资源0=a*/x\r\n共享资源2=c*/z\r\n"
            << Rows{{"a", "/x", "无限制"}};
        QTest::newRow("an empty value is still a row")
            << "[设置共享资源]\r\n共享资源数=9\r\n共享资源0=\r\n共享资源1=b*/y\r\n"
            << Rows{{"", "", "无限制"}, {"b", "/y", "无限制"}};
    }
    void loadShares() {
        QFETCH(QString, ini);
        QFETCH(Rows, rows);
        QVERIFY(m_dir->WriteIni(ini));
        Restart();
        QCOMPARE(RowTexts(), rows);
    }

    // Two adjacent rows expiring in one tick, the row after them still
    // counted; a failed deletion still takes its row; keys above the new
    // count stay in the file.
    void expiryInOneTick() {
        for (const char* path : {"/s/a", "/s/b", "/s/c", "/s/d"}) Add(QString::fromLatin1(path), 1);
        const int left[] = {0, 0, 5, 1};
        for (int r = 0; r < 4; ++r) Page()->Entry(r)->secondsLeft = left[r];
        m_shares->failDelete = {"b"};
        m_output.logged.clear();
        Page()->OnTimer();
        QCOMPARE(m_output.logged, (QStringList{"删除共享a成功", "删除共享b失败"}));
        QCOMPARE(RowTexts(), (Rows{{"c", "/s/c", "4秒"}, {"d", "/s/d", "0秒"}}));
        Page()->OnTimer();
        QCOMPARE(RowTexts(), (Rows{{"c", "/s/c", "3秒"}}));
        QCOMPARE(m_output.logged.last(), QStringLiteral("删除共享d成功"));
        const QString ini = m_dir->ReadIni();
        QVERIFY(ini.contains(QStringLiteral("共享资源数=1\r\n共享资源0=c*/s/c")));
        QVERIFY(ini.contains(QStringLiteral("共享资源3=d*/s/d")));
    }

    void machineSharesTwice() {
        Add(QStringLiteral("/s/Music"));
        m_machine = {"docs", "music", "Music"};
        Command(CShareSetterDlg::kIdMachineShares);
        Command(CShareSetterDlg::kIdMachineShares);
        QCOMPARE(RowTexts(), (Rows{{"Music", "/s/Music", "无限制"},
                                   {"docs", "未知", "无限制"},
                                   {"music", "未知", "无限制"}}));
        QVERIFY(m_dir->ReadIni().contains(QStringLiteral("共享资源数=3")));
    }

    // The row commands act on the first selected row, and on nothing without one.
    void rowCommands() {
        for (const char* path : {"/s/a", "/s/b", "/s/c"}) Add(QString::fromLatin1(path), 1);
        for (int id : {CShareSetterDlg::kIdDeleteShare, CShareSetterDlg::kIdOpenFolder,
                       CShareSetterDlg::kIdUnlimited})
            Command(id);
        QCOMPARE(List()->RowCount(), 3);
        QVERIFY(m_opened.isEmpty());
        List()->topLevelItem(2)->setSelected(true);
        List()->topLevelItem(1)->setSelected(true);
        Command(CShareSetterDlg::kIdUnlimited);
        Command(CShareSetterDlg::kIdOpenFolder);
        Page()->OnTimer();
        QCOMPARE(List()->CellText(1, 2), QStringLiteral("无限制"));
        QCOMPARE(List()->CellText(2, 2), QStringLiteral("29分59秒"));
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile("/s/b")});
        Command(CShareSetterDlg::kIdDeleteShare);
        QCOMPARE(m_shares->deleted, QStringList{"b"});
        QCOMPARE(List()->RowCount(), 2);
    }

    void browsePutsTheFolderInTheEditBox() {
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("请选择文件夹"));
            dialog->setDirectory(QDir::tempPath());
            dialog->selectFile(QDir::tempPath());
            static_cast<QDialog*>(dialog)->accept();
        });
        Page()->findChild<QPushButton*>("1002")->click();
        QCOMPARE(Page()->findChild<QLineEdit*>("1001")->text(), QDir::tempPath());
    }
};

QTEST_MAIN(ShareSetterDlgTest)
#include "ShareSetterDlgTest.moc"
