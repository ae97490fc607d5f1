// The three plug-in pages in the language of this run: the test's own
// Vexmor.ini names it ("en" when VX_TEST_LANGUAGE=en, else the source
// language) and English comes from the plug-ins' compiled translations in
// the build tree. Filled from fakes, nothing reaches the network. Checked:
// each page's texts, in English no text cut by its control, in the source
// language the designed geometry to the pixel, and names and stored texts
// that stay as they are. VX_SCREENSHOT_DIR set: the English pages are saved.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include "platform/UserShares.h"
#include "plugins/common/SortHeaderCtrl.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/SortListView.h"
#include "plugins/common/ToolSettings.h"
#include "plugins/hostpatrol/HistoryAlerts.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"
#include "plugins/hostpatrol/HostHistoryTool.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/PatrolFakes.h"
#include "plugins/sharesetter/ShareSetterDlg.h"
#include "plugins/sharesetter/ShareSetterTool.h"
#include "support/FakeProgramDir.h"

using namespace vx::hostpatrol;

namespace {

constexpr int kW = 760, kH = 420;
const bool kEnglish = qgetenv("VX_TEST_LANGUAGE") == "en";

// Three hosts with made-up MACs (no registry knows their maker).
const QStringList kNames{"gateway", "fileserver", "printer-2f"};
class TableNamer final : public IHostNamer {
    QString NameOf(const QString& address, const vx::platform::LookupCancel&) override {
        return kNames.value(address.section(u'.', 3).toInt() - 1);
    }
};
class AcceptingShares final : public vx::platform::IUserShares {
    vx::platform::ShareOutcome Add(const QString&, const QString&) override { return {}; }
    vx::platform::ShareOutcome Delete(const QString&) override { return {}; }
};

// Every text of the page's visible controls that its control cuts, as
// "text: needs N, has M". Column titles must fit beside the sort triangle.
QStringList CutTexts(const QWidget* page) {
    QStringList cut;
    for (const QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        const auto check = [&](const QString& text, int room) {
            const int needs = text.isEmpty() ? 0 : w->fontMetrics().horizontalAdvance(text);
            if (needs > room)
                cut << QStringLiteral("%1: needs %2, has %3").arg(text).arg(needs).arg(room);
        };
        if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            const auto text = qobject_cast<const QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                                                : QStyle::SE_PushButtonContents;
            check(button->text(), w->style()->subElementRect(text, &option, button).width());
        } else if (auto* label = qobject_cast<const QLabel*>(w)) {
            check(label->text(), label->contentsRect().width());
        } else if (auto* combo = qobject_cast<const QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i) check(combo->itemText(i), field.width());
        } else if (auto* header = qobject_cast<const CSortHeaderCtrl*>(w)) {
            for (int c = 0; c < header->count(); ++c) {
                const QRect section(0, 0, header->sectionSize(c), header->height());
                check(header->model()->headerData(c, Qt::Horizontal).toString(),
                      CSortHeaderCtrl::Geometry(section, false, true).label.width());
            }
        }
    }
    return cut;
}

}  // namespace

class PluginPagesTextTest : public QObject {
    Q_OBJECT

    FakeProgramDir m_dir;
    QTemporaryDir m_data;
    QTranslator m_translators[2];
    FakeToolHost m_host;
    FakeTaskManager m_tasks;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, &m_tasks, &m_output, nullptr};
    std::shared_ptr<CHostHistory> m_history;
    std::unique_ptr<CHostPatrolTool> m_patrol;
    std::unique_ptr<CHostHistoryTool> m_historyTool;
    std::unique_ptr<vx::sharesetter::CShareSetterTool> m_share;

    QWidget* Page(const QString& name) const {
        if (name == u"hostpatrol") return m_patrol->Page();
        if (name == u"hosthistory") return m_historyTool->Page();
        return m_share->Page();
    }
    QString Text(const QString& page, const QString& control) const {
        const QWidget* w = Page(page)->findChild<QWidget*>(control.section(u'/', 0, 0));
        const int column = control.section(u'/', 1).toInt();
        if (auto* list = qobject_cast<const QTreeView*>(w))
            return list->model()->headerData(column, Qt::Horizontal).toString();
        if (auto* combo = qobject_cast<const QComboBox*>(w)) return combo->itemText(column);
        if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
        if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->placeholderText();
        auto* button = qobject_cast<const QAbstractButton*>(w);
        return button ? button->text() : QString();
    }
    // One sweep of the fake LAN through the patrol page, which feeds the history.
    void Sweep() {
        m_patrol->Page()->StartSweep(false);
        m_tasks.DeleteAll();
        for (int i = 1; i <= 254; ++i) {
            HostScanResult r{QStringLiteral("192.168.1.%1").arg(i), {}, {}, {}, {}};
            if (i <= 3) {
                r.mac = QStringLiteral("02-00-00-00-00-0%1").arg(i);
                r.time = QStringLiteral("26-12-08 09:30:15");
                if (i == 2) r.shares = QStringList{"docs", "music"};
            }
            m_patrol->Page()->ApplyScanResult(r);
        }
        m_history->WaitIdle();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.WriteIni(
            QStringLiteral("[界面]\r\n语言=%1\r\n[设置共享资源]\r\n共享资源数=2\r\n"
                           "共享资源0=music*未知\r\n共享资源1=photos*/srv/photos\r\n")
                .arg(kEnglish ? "en" : "zh_CN")));
        if (kEnglish) {
            QVERIFY(m_translators[0].load(QStringLiteral(VX_HOSTPATROL_QM)));
            QVERIFY(m_translators[1].load(QStringLiteral(VX_SHARESETTER_QM)));
            for (QTranslator& t : m_translators) QCoreApplication::installTranslator(&t);
        }
        m_history = std::make_shared<CHostHistory>(m_data.path() + "/HostHistory.db");
        m_patrol = std::make_unique<CHostPatrolTool>(
            &m_context, std::make_shared<FakeProbe>(), [] { return QStringLiteral("192.168.1"); },
            std::make_shared<TableNamer>(), m_history);
        m_historyTool = std::make_unique<CHostHistoryTool>(&m_context, m_history);
        Sweep();
        // Names come from threads, makers once the registry is read: any order.
        const auto identified = [list = m_patrol->Page()->List()] {
            for (int row = 0; row < 3; ++row)
                if (list->CellText(row, kColName).isEmpty() ||
                    list->CellText(row, kColMaker).isEmpty())
                    return false;
            return true;
        };
        QTRY_VERIFY(identified());
        Sweep();                      // the history writes names with the next sweep
        m_patrol->Page()->OnTimer();  // the count line; far from the next sweep
        QCOMPARE(m_tasks.Waiting().size(), size_t(0));
        m_share = std::make_unique<vx::sharesetter::CShareSetterTool>(
            &m_context, vx::sharesetter::ShareServices{std::make_shared<AcceptingShares>(), {}});
        m_share->Page()->findChild<QLineEdit*>("1001")->setText(m_data.path());
        m_share->Page()->findChild<QComboBox*>("1003")->setCurrentIndex(1);
        m_share->Page()->findChild<QPushButton*>("1004")->click();  // shared for 30 minutes
        m_host.pageParent.resize(kW, kH);
        m_host.pageParent.show();
        for (const char* page : {"hostpatrol", "hosthistory", "sharesetter"}) {
            Page(page)->setGeometry(0, 0, kW, kH);
            Page(page)->show();
        }
        QSignalSpy events(m_historyTool->Page(), &CHostHistoryDlg::EventsLoaded);
        const QAbstractItemModel* devices = m_historyTool->Page()->Devices()->model();
        QTRY_COMPARE(devices->rowCount(), 3);
        m_historyTool->Page()->Devices()->setCurrentIndex(devices->index(1, 0));
        QVERIFY(events.wait(5000));
    }
    void cleanupTestCase() {
        m_share.reset();
        m_historyTool.reset();
        m_patrol.reset();
        m_history.reset();
    }

    void showsTheLanguagesTexts_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("english");
        const auto row = [](const char* page, const char* control, const char* source,
                            const char* english) {
            QTest::addRow("%s %s", page, control) << page << control << source << english;
        };
        row("hostpatrol", "1001", "巡测共享资源", "Patrol shares");
        row("hostpatrol", "1005", "在线主机数=3,最大时=3", "Online hosts=3, peak=3");
        row("hostpatrol", "1004", "开始", "Start");
        row("hostpatrol", "1000/2", "最近扫描时间", "Last scanned");
        row("hosthistory", "filter", "IP地址、MAC地址、主机名或厂商",
            "IP address, MAC address, host name or vendor");
        row("hosthistory", "export", "导出列表...", "Export List...");
        row("hosthistory", "devices/6", "上线次数", "Times online");
        row("sharesetter", "1006", "共享时间", "Duration");
        row("sharesetter", "1004", "添加共享", "Add Share");
        row("sharesetter", "1003/4", "24小时", "24 hours");
        row("sharesetter", "1000/2", "共享时间", "Time left");
    }
    void showsTheLanguagesTexts() {
        QFETCH(QString, page);
        QFETCH(QString, control);
        QFETCH(QString, source);
        QFETCH(QString, english);
        QCOMPARE(Text(page, control), kEnglish ? english : source);
    }

    void layout_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QList<QRect>>(
            "designed");  // controls 1001, 1002, ... in the source language
        QTest::newRow("hostpatrol")
            << "hostpatrol" << QList<QRect>{{133, kH - 23, 90, 21},  {80, kH - 23, 50, 21},
                                            {2, kH - 18, 75, 21},    {kW - 77, kH - 23, 75, 21},
                                            {225, kH - 18, 160, 21}, {kW - 154, kH - 23, 75, 21}};
        QTest::newRow("hosthistory") << "hosthistory" << QList<QRect>{};
        QTest::newRow("sharesetter")
            << "sharesetter"
            << QList<QRect>{{55, kH - 23, 160, 21}, {215, kH - 23, 35, 21}, {308, kH - 23, 90, 21},
                            {410, kH - 23, 75, 21}, {2, kH - 17, 50, 15},   {255, kH - 17, 50, 15},
                            {488, kH - 23, 75, 21}};
    }
    // English: no text cut, the bottom line's controls side by side. The
    // source language: every control where the page's geometry puts it.
    void layout() {
        QFETCH(QString, page);
        QFETCH(QList<QRect>, designed);
        QList<QRect> line;
        for (int i = 0; i < designed.size(); ++i)
            line << Page(page)->findChild<QWidget*>(QString::number(1001 + i))->geometry();
        if (!kEnglish) {
            QCOMPARE(line, designed);
            return;
        }
        const QString dir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
        if (!dir.isEmpty()) QVERIFY(Page(page)->grab().save(dir + "/plugin-" + page + ".png"));
        const QStringList cut = CutTexts(Page(page));
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        std::sort(line.begin(), line.end(), [](QRect a, QRect b) { return a.left() < b.left(); });
        for (qsizetype i = 1; i < line.size(); ++i) QVERIFY(line[i - 1].right() < line[i].left());
    }

    // Names and what is stored stay as they are; rows, alerts, log lines and
    // the host's view of the tool names follow the language.
    void keysStayShownTextsFollow() {
        QCOMPARE(m_patrol->GetToolInfo().name, QStringLiteral("搜索工具_主机巡测"));
        QCOMPARE(m_share->GetToolInfo().name, QStringLiteral("搜索工具_设置共享资源"));
        const QString ini = m_dir.ReadIni();
        for (const char* stored : {"共享资源数=3", "共享资源0=music*未知"})
            QVERIFY2(ini.contains(QString::fromUtf8(stored)), qPrintable(ini));
        const auto shown = [](const char* source, const char* english) {
            return kEnglish ? QString::fromUtf8(english) : QString::fromUtf8(source);
        };
        QCOMPARE(QCoreApplication::translate("ToolName", "主机巡测"),
                 shown("主机巡测", "Host Patrol"));
        QCOMPARE(m_patrol->Page()->List()->CellText(0, kColMaker),
                 shown("随机MAC地址", "Random MAC address"));
        QCOMPARE(m_historyTool->Page()->Devices()->model()->index(0, 3).data().toString(),
                 shown("随机MAC地址", "Random MAC address"));
        const CSortListCtrl* shares = m_share->Page()->List();
        QCOMPARE(shares->CellText(0, 1), shown("未知", "Unknown"));
        QCOMPARE(shares->CellText(2, 2), shown("30分0秒", "30 min 0 s"));
        QCOMPARE(m_output.logged.last(),
                 shown("共享文件夹%1成功,共享名为%2", "Shared folder %1 as %2")
                     .arg(m_data.path(), shares->CellText(2, 0)));
        HistoryState state;
        state.sweeps = 1;
        QCOMPARE(ApplySweep(state, {{"10.0.0.9", "AA", {"BB"}, {}, true}}, 100).alerts.last(),
                 shown("10.0.0.9地址冲突:AA,BB", "Address conflict at 10.0.0.9: AA, BB"));
    }
};

QTEST_MAIN(PluginPagesTextTest)
#include "PluginPagesTextTest.moc"
