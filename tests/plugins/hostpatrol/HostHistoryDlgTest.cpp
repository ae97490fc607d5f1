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
#include "plugins/common/ListExport.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/SortListView.h"
#include "plugins/hostpatrol/HistoryDeviceModel.h"
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
    // The device list as the view shows it (the model's texts).
    QString Cell(int row, int column) const {
        return Page()->Devices()->model()->index(row, column).data().toString();
    }
    int DeviceCount() const { return Page()->Devices()->model()->rowCount(); }
    QStringList Devices(int column = 0) const {
        QStringList texts;
        for (int r = 0; r < DeviceCount(); ++r) texts << Cell(r, column);
        return texts;
    }
    void SelectDevice(int row) {
        Page()->Devices()->setCurrentIndex(Page()->Devices()->model()->index(row, 0));
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
        QStringList macs = Devices();
        macs.sort();
        QCOMPARE(macs, (QStringList{"AA", "BB", "CC", "DD", "EE"}));

        struct Case {
            const char* filter;
            QStringList macs;
        };
        for (const Case& c : {Case{"10.0.0.7", {"CC"}}, Case{"acme", {"CC"}}, Case{"PRINT", {"CC"}},
                              Case{"dd", {"DD"}}, Case{"nothing", {}}, Case{"", {"AA", "BB", "CC", "DD", "EE"}}}) {
            Page()->FilterBox()->setText(c.filter);
            QStringList shown = Devices();
            shown.sort();
            QCOMPARE(shown, c.macs);
        }

        Page()->FilterBox()->setText("CC");
        QCOMPARE(Cell(0, 2), "printer");
        QCOMPARE(Cell(0, 3), "Acme Corp");
        QCOMPARE(Cell(0, 6), "1");
        QSignalSpy events(Page(), &CHostHistoryDlg::EventsLoaded);
        SelectDevice(0);
        QVERIFY(events.wait(5000));
        QCOMPARE(Column(Page()->Events(), 1), QStringList{"新设备"});

        Page()->FilterBox()->setText("AA");
        SelectDevice(0);
        QVERIFY(events.wait(5000));
        QCOMPARE(Column(Page()->Events(), 1), (QStringList{"地址冲突", "新设备"}));
        QCOMPARE(Column(Page()->Events(), 3), (QStringList{"EE", ""}));
        // The selected device stays selected while it is listed; its events
        // go when it is filtered out.
        Page()->FilterBox()->setText("A");
        QCOMPARE(Cell(Page()->Devices()->currentIndex().row(), 0), "AA");
        QCOMPARE(Page()->Events()->RowCount(), 2);
        Page()->FilterBox()->setText("nothing");
        m_history->WaitIdle();
        QCoreApplication::processEvents();  // the reload the first filter asked for
        QCOMPARE(Page()->Events()->RowCount(), 0);
        Page()->FilterBox()->clear();
    }

    // The model alone: each column sorts by what it holds (times and counts
    // as numbers, addresses by their numbers, texts by the locale), the
    // filter keeps the order, the current device follows its row, the
    // header tells the direction, export lists the rows as shown.
    void deviceModelSortsAndFilters() {
        CHistoryDeviceModel model({"M", "A", "N", "K", "F", "L", "T"});
        model.SetDevices({{"0A", 300, 100, "10.0.0.10", "beta", "Zeta", 2},
                          {"0B", 100, 300, "10.0.0.9", "Alpha", "", 10},
                          {"0C", 200, 200, "10.0.0.100", "gamma", "Acme", 1}});
        CSortListView view;
        view.SetModel(&model, {});
        view.setCurrentIndex(model.index(model.RowOf("0C"), 0));
        auto macs = [&model] {
            QStringList order;
            for (int r = 0; r < model.rowCount(); ++r) order << model.Device(r).mac;
            return order;
        };
        struct Case {
            int column;
            bool ascending;
            QStringList macs;
        };
        using M = CHistoryDeviceModel;
        for (const Case& c : {Case{M::Address, true, {"0B", "0A", "0C"}},
                              Case{M::Address, false, {"0C", "0A", "0B"}},
                              Case{M::TimesOnline, true, {"0C", "0A", "0B"}},
                              Case{M::FirstSeen, false, {"0A", "0C", "0B"}},
                              Case{M::LastSeen, true, {"0A", "0C", "0B"}},
                              Case{M::Name, true, {"0B", "0A", "0C"}},
                              Case{M::Maker, true, {"0B", "0C", "0A"}},
                              Case{M::Mac, false, {"0C", "0B", "0A"}}}) {
            QVERIFY(view.SortColumn(c.column, c.ascending));
            QCOMPARE(macs(), c.macs);
            QCOMPARE(model.Device(view.currentIndex().row()).mac, "0C");
            QCOMPARE(model.headerData(c.column, Qt::Horizontal, Qt::AccessibleDescriptionRole),
                     QVariant(c.ascending ? "升序" : "降序"));
        }
        QCOMPARE(model.headerData(M::Address, Qt::Horizontal, Qt::AccessibleDescriptionRole),
                 QVariant());
        model.SetFilter("0.0.1");
        QCOMPARE(macs(), (QStringList{"0C", "0A"}));
        QCOMPARE(model.data(model.index(1, M::TimesOnline), Qt::DisplayRole), QVariant("2"));
        const vx::common::ListTable table = vx::common::TableOf(model);
        QCOMPARE(table.titles, (QStringList{"M", "A", "N", "K", "F", "L", "T"}));
        QCOMPARE(table.rows.size(), 2);
        QCOMPARE(table.rows[1].mid(0, 4), (QStringList{"0A", "10.0.0.10", "beta", "Zeta"}));
        QCOMPARE(table.rows[1][M::FirstSeen], HistoryTimeText(300));
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
        QCOMPARE(DeviceCount(), 5);
        answer = true;
        QSignalSpy loaded(Page(), &CHostHistoryDlg::DevicesLoaded);
        Page()->OnClear();
        QVERIFY(loaded.wait(5000));
        vx::platform::SetQuestionInterceptor({});
        QCOMPARE(asked.size(), 2);
        QCOMPARE(DeviceCount(), 0);
        QCOMPARE(Page()->Events()->RowCount(), 0);
        // A cleared history is a new one: its first sweep alerts nothing.
        Sweep({{5, "AA"}, {9, "FF"}});
        QVERIFY(m_output.shown.filter("发现新设备").isEmpty());
        QVERIFY(Reload());
        QCOMPARE(DeviceCount(), 2);
    }
};

QTEST_MAIN(HostHistoryDlgTest)
#include "HostHistoryDlgTest.moc"
