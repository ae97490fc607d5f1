// The patrol and history pages in the language of this run (see
// support/PageTexts.h), filled from fake results (no network): their texts,
// no text cut in English, the designed geometry kept in the source language,
// and the names and stored texts that never change with the language.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "PatrolFakes.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/ToolSettings.h"
#include "plugins/hostpatrol/HistoryAlerts.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"
#include "plugins/hostpatrol/HostHistoryTool.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "support/PageTexts.h"

using namespace vx::hostpatrol;

namespace {

constexpr int kWidth = 760, kHeight = 420;

// Locally administered MACs: no maker in any registry.
struct FakeHost {
    int last;
    const char* mac;
    const char* shares;
    const char* name;
};
constexpr FakeHost kHosts[] = {
    {1, "02-00-00-00-00-01", "", "gateway"},
    {20, "02-00-00-00-00-14", "docs;music", "fileserver"},
    {35, "02-00-00-00-00-23", "", "printer-2f"},
};

class TableNamer final : public IHostNamer {
public:
    QString NameOf(const QString& address, const vx::platform::LookupCancel&) override {
        for (const FakeHost& h : kHosts)
            if (address.endsWith(QStringLiteral(".%1").arg(h.last))) return h.name;
        return {};
    }
};

}  // namespace

class PatrolPagesTextTest : public QObject {
    Q_OBJECT

    FakeProgramDir m_dir;
    QTemporaryDir m_data;
    FakeToolHost m_host;
    FakeTaskManager m_tasks;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, &m_tasks, &m_output, nullptr};
    std::shared_ptr<CHostHistory> m_history;
    std::unique_ptr<CHostPatrolTool> m_patrol;
    std::unique_ptr<CHostHistoryTool> m_tool;

    QWidget* PageNamed(const QString& page) const {
        if (page == QLatin1String("patrol")) return m_patrol->Page();
        return m_tool->Page();
    }

    // Two sweeps of the fake LAN through the patrol page, which feeds the history.
    void Sweep() {
        m_patrol->Page()->StartSweep(false);
        m_tasks.DeleteAll();
        for (int i = 1; i <= 254; ++i) {
            HostScanResult r;
            r.address = QStringLiteral("192.168.1.%1").arg(i);
            for (const FakeHost& h : kHosts) {
                if (h.last != i) continue;
                r.mac = QString::fromLatin1(h.mac);
                r.time = QStringLiteral("26-12-08 09:30:15");
                r.shares = QString::fromLatin1(h.shares).split(u';', Qt::SkipEmptyParts);
            }
            m_patrol->Page()->ApplyScanResult(r);
        }
        m_history->WaitIdle();
    }

private slots:
    void initTestCase() {
        QVERIFY(UseTestLanguage(m_dir, QStringLiteral(VX_PLUGIN_QM)));
        m_history = std::make_shared<CHostHistory>(m_data.path() + "/HostHistory.db");
        m_patrol = std::make_unique<CHostPatrolTool>(
            &m_context, std::make_shared<FakeProbe>(), [] { return QStringLiteral("192.168.1"); },
            std::make_shared<TableNamer>(), m_history);
        m_tool = std::make_unique<CHostHistoryTool>(&m_context, m_history);
        Sweep();
        // Names and makers come from threads and the registry, in any order.
        const auto identified = [this] {
            for (int row = 0; row < 3; ++row)
                for (int column : {kColName, kColMaker})
                    if (m_patrol->Page()->List()->CellText(row, column).isEmpty()) return false;
            return true;
        };
        QTRY_VERIFY(identified());
        Sweep();                      // the history writes the names with the next sweep
        m_patrol->Page()->OnTimer();  // the count line; far from the next sweep
        QCOMPARE(m_tasks.Waiting().size(), size_t(0));
        m_host.pageParent.resize(kWidth, kHeight);
        m_host.pageParent.show();
        for (QWidget* page : {PageNamed("patrol"), PageNamed("history")}) {
            page->setGeometry(0, 0, kWidth, kHeight);
            page->show();
        }
        QSignalSpy loaded(m_tool->Page(), &CHostHistoryDlg::DevicesLoaded);
        m_tool->Page()->Refresh();
        QVERIFY(loaded.wait(5000));
        QSignalSpy events(m_tool->Page(), &CHostHistoryDlg::EventsLoaded);
        m_tool->Page()->Devices()->setCurrentItem(m_tool->Page()->Devices()->topLevelItem(1));
        QVERIFY(events.wait(5000));
    }
    void cleanupTestCase() {
        m_tool.reset();
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
        row("patrol", "1003", "巡测间隔(秒)", "Interval (s)");
        row("patrol", "1001", "巡测共享资源", "Patrol shares");
        row("patrol", "1005", "在线主机数=3,最大时=3", "Online hosts=3, peak=3");
        row("patrol", "1006", "使用说明", "Help");
        row("patrol", "1004", "开始", "Start");
        row("patrol", "1000/2", "最近扫描时间", "Last scanned");
        row("patrol", "1000/5", "厂商", "Vendor");
        row("history", "filter", "IP地址、MAC地址、主机名或厂商",
            "IP address, MAC address, host name or vendor");
        row("history", "refresh", "刷新", "Refresh");
        row("history", "export", "导出列表...", "Export List...");
        row("history", "clear", "清除历史", "Clear History");
        row("history", "devices/6", "上线次数", "Times online");
        row("history", "events/1", "事件", "Event");
    }
    void showsTheLanguagesTexts() {
        QFETCH(QString, page);
        QFETCH(QString, control);
        QFETCH(QString, source);
        QFETCH(QString, english);
        QCOMPARE(TextAt(PageNamed(page), control), TestingEnglish() ? english : source);
    }

    void noTextIsCut_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("patrol") << "patrol";
        QTest::newRow("history") << "history";
    }
    void noTextIsCut() {
        QFETCH(QString, page);
        if (!TestingEnglish()) QSKIP("the source language keeps its designed geometry");
        QVERIFY(SaveScreenshot(PageNamed(page), QStringLiteral("plugin-host%1.png").arg(page)));
        const QStringList cut = CutTexts(PageNamed(page));
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        if (page != QLatin1String("patrol")) return;
        // The bottom line's controls, grown, still stand side by side.
        QVERIFY(SideBySide(m_patrol->Page(), 1001, 1006));
    }

    // Pixel for pixel what the page's geometry says.
    void sourceLayoutAsDesigned() {
        if (TestingEnglish()) QSKIP("English grows where its texts need it");
        const int w = kWidth, h = kHeight;
        const QList<QPair<int, QRect>> designed{
            {1003, {2, h - 18, 75, 21}},       {1002, {80, h - 23, 50, 21}},
            {1001, {133, h - 23, 90, 21}},     {1005, {225, h - 18, 160, 21}},
            {1006, {w - 154, h - 23, 75, 21}}, {1004, {w - 77, h - 23, 75, 21}},
        };
        for (const auto& [id, rect] : designed)
            QCOMPARE(m_patrol->Page()->findChild<QWidget*>(QString::number(id))->geometry(), rect);
    }

    // The names and what is stored stay as they are; the alerts, the event
    // kinds and the host's view of the tool names follow the language.
    void keysStayShownTextsFollow() {
        QCOMPARE(m_patrol->GetToolInfo().name, QStringLiteral("搜索工具_主机巡测"));
        QCOMPARE(m_tool->GetToolInfo().name, QStringLiteral("搜索工具_主机历史"));
        QCOMPARE(CToolSettings::Get()->GetSection(), QStringLiteral("主机巡测"));
        const bool en = TestingEnglish();
        QCOMPARE(m_patrol->Page()->List()->CellText(0, kColMaker),
                 en ? QStringLiteral("Random MAC address") : QStringLiteral("随机MAC地址"));
        QCOMPARE(m_tool->Page()->Devices()->CellText(0, 3),
                 m_patrol->Page()->List()->CellText(0, kColMaker));
        QCOMPARE(QCoreApplication::translate("ToolName", "主机巡测"),
                 en ? QStringLiteral("Host Patrol") : QStringLiteral("主机巡测"));
        QCOMPARE(QCoreApplication::translate("ToolName", "搜索工具"),
                 en ? QStringLiteral("Search Tools") : QStringLiteral("搜索工具"));
        QCOMPARE(EventKindText(HistoryEvent::NewDevice),
                 en ? QStringLiteral("New device") : QStringLiteral("新设备"));
        HistoryState state;
        state.sweeps = 1;
        const SweepChanges changes =
            ApplySweep(state, {{"192.168.1.9", "AA", {"BB"}, {}, true}}, 100);
        QCOMPARE(changes.alerts,
                 en ? QStringList({"New device 192.168.1.9 (AA)", "New device 192.168.1.9 (BB)",
                                   "Address conflict at 192.168.1.9: AA, BB"})
                    : QStringList({"发现新设备192.168.1.9(AA)", "发现新设备192.168.1.9(BB)",
                                   "192.168.1.9地址冲突:AA,BB"}));
    }
};

QTEST_MAIN(PatrolPagesTextTest)
#include "PatrolPagesTextTest.moc"
