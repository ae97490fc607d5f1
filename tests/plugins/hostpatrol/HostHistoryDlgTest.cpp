// The patrol page feeding the history (fake results, no network) and the
// history page reading it back: alerts after the page's own notices, the
// device list with name and maker, filtering, a device's events, CSV export
// and clearing behind a question.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "PatrolFakes.h"
#include "platform/MessageBox.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"
#include "plugins/hostpatrol/HostHistoryTool.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"

using namespace vx::hostpatrol;

class HostHistoryDlgTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeToolHost m_host;
    FakeTaskManager m_tasks;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, &m_tasks, &m_output, nullptr};
    std::shared_ptr<CHostHistory> m_history;
    std::unique_ptr<CHostPatrolTool> m_patrol;
    std::unique_ptr<CHostHistoryTool> m_tool;

    // One sweep as the page sees it: queued, then a result per address;
    // `live` maps the last part of an address to "MAC[,other MAC]".
    void Sweep(const QMap<int, QString>& live) {
        m_patrol->Page()->StartSweep(false);
        m_tasks.DeleteAll();
        for (int i = 1; i <= 254; ++i) {
            HostScanResult r;
            r.address = QStringLiteral("10.0.0.%1").arg(i);
            if (live.contains(i)) {
                const QStringList macs = live[i].split(',');
                r.mac = macs[0];
                r.otherMacs = macs.mid(1);
                r.time = QStringLiteral("26-12-08 07:00:00");
            }
            m_patrol->Page()->ApplyScanResult(r);
        }
        m_history->WaitIdle();
        QCoreApplication::processEvents();
    }
    CHostHistoryDlg* Page() const { return m_tool->Page(); }
    QStringList Column(CSortListCtrl* list, int column) const {
        QStringList texts;
        for (int r = 0; r < list->RowCount(); ++r) texts << list->CellText(r, column);
        return texts;
    }
    bool Reload() {
        QSignalSpy loaded(Page(), &CHostHistoryDlg::DevicesLoaded);
        Page()->Refresh();
        return loaded.wait(5000);
    }

private slots:
    void initTestCase() {
        m_history = std::make_shared<CHostHistory>(m_dir.path() + "/HostHistory.db");
        m_patrol = std::make_unique<CHostPatrolTool>(
            &m_context, std::make_shared<FakeProbe>(), [] { return QStringLiteral("10.0.0"); },
            nullptr, m_history);
        m_tool = std::make_unique<CHostHistoryTool>(&m_context, m_history);
    }
    void cleanupTestCase() {
        m_tool.reset();
        m_patrol.reset();
        m_history.reset();
    }

    void alertsFollowThePagesNotices() {
        Sweep({{5, "AA"}, {9, "BB"}});
        QVERIFY(m_output.shown.isEmpty());
        Sweep({{5, "AA"}, {9, "BB"}, {7, "CC"}});
        QCOMPARE(m_output.shown, (QStringList{"10.0.0.7上线了", "发现新设备10.0.0.7(CC)"}));
        QCOMPARE(m_output.logged, QStringList{"发现新设备10.0.0.7(CC)"});
        m_output.shown.clear();
        m_output.logged.clear();
        Sweep({{5, "AA,EE"}, {9, "DD"}, {7, "CC"}});
        QCOMPARE(m_output.shown, (QStringList{"发现新设备10.0.0.5(EE)", "10.0.0.5地址冲突:AA,EE",
                                              "发现新设备10.0.0.9(DD)", "10.0.0.9的MAC地址由BB变为DD"}));
        // The same lines in the output log, each on its own.
        QCOMPARE(m_output.logged, m_output.shown);
        m_output.shown.clear();
        m_output.logged.clear();
    }

    void pageListsFiltersAndShowsEvents() {
        m_history->RecordIdentity("CC", "printer", "Acme Corp");
        Sweep({{5, "AA"}, {9, "DD"}, {7, "CC"}});
        QSignalSpy loaded(Page(), &CHostHistoryDlg::DevicesLoaded);
        m_host.pageParent.show();
        Page()->show();  // showing the page reads the devices
        QVERIFY(loaded.wait(5000));
        QStringList macs = Column(Page()->Devices(), 0);
        macs.sort();
        QCOMPARE(macs, (QStringList{"AA", "BB", "CC", "DD", "EE"}));

        struct Case {
            const char* filter;
            QStringList macs;
        };
        for (const Case& c : {Case{"10.0.0.7", {"CC"}}, Case{"acme", {"CC"}}, Case{"PRINT", {"CC"}},
                              Case{"dd", {"DD"}}, Case{"nothing", {}}, Case{"", {"AA", "BB", "CC", "DD", "EE"}}}) {
            Page()->FilterBox()->setText(c.filter);
            QStringList shown = Column(Page()->Devices(), 0);
            shown.sort();
            QCOMPARE(shown, c.macs);
        }

        Page()->FilterBox()->setText("CC");
        QCOMPARE(Page()->Devices()->CellText(0, 2), "printer");
        QCOMPARE(Page()->Devices()->CellText(0, 3), "Acme Corp");
        QCOMPARE(Page()->Devices()->CellText(0, 6), "1");
        QSignalSpy events(Page(), &CHostHistoryDlg::EventsLoaded);
        Page()->Devices()->setCurrentItem(Page()->Devices()->topLevelItem(0));
        QVERIFY(events.wait(5000));
        QCOMPARE(Column(Page()->Events(), 1), QStringList{"新设备"});

        Page()->FilterBox()->setText("AA");
        Page()->Devices()->setCurrentItem(Page()->Devices()->topLevelItem(0));
        QVERIFY(events.wait(5000));
        QCOMPARE(Column(Page()->Events(), 1), (QStringList{"地址冲突", "新设备"}));
        QCOMPARE(Column(Page()->Events(), 3), (QStringList{"EE", ""}));
        Page()->FilterBox()->clear();
    }

    void exportsTheListedDevices() {
        Page()->FilterBox()->setText("acme");
        const QString path = m_dir.path() + "/list.csv";
        QVERIFY(Page()->ExportTo(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QVERIFY(lines[0].startsWith("\xEF\xBB\xBF" "MAC地址,最近IP地址,主机名,厂商,首次发现,最近发现,上线次数"));
        QVERIFY(lines[1].startsWith("CC,10.0.0.7,printer,Acme Corp,"));
        QCOMPARE(lines.size(), 3);  // titles, one row, the empty rest after the last CRLF

        QStringList boxes;
        vx::platform::SetMessageBoxInterceptor([&](const QString& t) { boxes << t; });
        QVERIFY(!Page()->ExportTo(m_dir.path() + "/no/such/folder/list.csv"));
        vx::platform::SetMessageBoxInterceptor({});
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith("导出失败"));
        Page()->FilterBox()->clear();
    }

    void clearsOnlyWhenConfirmed() {
        QStringList asked;
        bool answer = false;
        vx::platform::SetQuestionInterceptor([&](const QString& text) {
            asked << text;
            return answer;
        });
        Page()->OnClear();
        QVERIFY(Reload());
        QCOMPARE(Page()->Devices()->RowCount(), 5);
        answer = true;
        QSignalSpy loaded(Page(), &CHostHistoryDlg::DevicesLoaded);
        Page()->OnClear();
        QVERIFY(loaded.wait(5000));
        vx::platform::SetQuestionInterceptor({});
        QCOMPARE(asked.size(), 2);
        QCOMPARE(Page()->Devices()->RowCount(), 0);
        QCOMPARE(Page()->Events()->RowCount(), 0);
        // A cleared history is a new one: its first sweep alerts nothing.
        Sweep({{5, "AA"}, {9, "FF"}});
        QVERIFY(m_output.shown.filter("发现新设备").isEmpty());
        QVERIFY(Reload());
        QCOMPARE(Page()->Devices()->RowCount(), 2);
    }
};

QTEST_MAIN(HostHistoryDlgTest)
#include "HostHistoryDlgTest.moc"
