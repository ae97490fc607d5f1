// The host history watching the lab LAN with the real probe and the host's
// task manager, while lab/station.sh changes who is on it: a station joining
// mid-patrol (alerted once, not again after a restart), a host whose card
// changes its MAC, two hosts answering one address, and the history page
// listing them. Root only (raw ARP answers at once).
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "PatrolFakes.h"
#include "host/tasks/TaskManager.h"
#include "lab/LabSupport.h"
#include "plugins/common/SortListView.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostHistoryDlg.h"
#include "plugins/hostpatrol/HostHistoryTool.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"

using namespace vx::hostpatrol;

class HostHistoryLabTest : public QObject {
    Q_OBJECT

    vx::lab::LabFacts m_lab;
    QTemporaryDir m_dir;
    FakeToolHost m_host;
    FakeHostOutput m_output;
    FakeHostOutput m_status;
    std::unique_ptr<vx::CTaskManager> m_tasks;
    ToolHostContext m_context;
    std::shared_ptr<CHostHistory> m_history;
    std::unique_ptr<CHostPatrolTool> m_tool;

    QString Addr(int n) const { return m_lab.Value("VXLAB_SUBNET") + QStringLiteral(".%1").arg(n); }

    // The patrol as the program runs it, on a history file that survives it.
    void StartPatrol() {
        m_history = std::make_shared<CHostHistory>(m_dir.path() + "/HostHistory.db");
        m_tool = std::make_unique<CHostPatrolTool>(&m_context, nullptr, std::function<QString()>{},
                                                   nullptr, m_history);
    }
    void StopPatrol() {
        m_tool.reset();
        m_history.reset();
    }
    bool Sweep() {
        m_tool->Page()->StartSweep(false);
        QElapsedTimer clock;
        clock.start();
        while (m_tasks->GetTaskCount(kProbeTypeName) > 0) {
            if (clock.elapsed() > 60000) return false;
            QTest::qWait(20);
        }
        QCoreApplication::processEvents();  // every result, queued before its task left
        m_history->WaitIdle();
        QCoreApplication::processEvents();  // the alerts
        return true;
    }
    static QString Dotted(QString mac) { return mac.toUpper().replace(':', '.'); }
    // The history's lines: in the log and the popup alike; the page's own
    // notices (a late host's 上线了 on a loaded machine) only in the popup.
    QStringList Alerts() {
        QStringList lines = m_output.logged;
        for (const QString& line : lines)
            if (!m_output.shown.contains(line)) return {QStringLiteral("not in the popup: ") + line};
        m_output.logged.clear();
        m_output.shown.clear();
        return lines;
    }
    int Station(const QStringList& args) { return vx::lab::RunLabScript("station.sh", args); }
    void ResetLab() {
        Station({"remove"});
        Station({"mac", "9", "restore"});
        Station({"twin", "off"});
        vx::lab::RunLabScript("link.sh", {"up"});
    }

private slots:
    void initTestCase() {
        ResetLab();
        QVERIFY(m_lab.Load());
        m_tasks = std::make_unique<vx::CTaskManager>(&m_status);
        m_tasks->SetMaxThreads(256);
        m_tasks->StartScheduler();
        m_context = {&m_host, m_tasks.get(), &m_output, nullptr};
        StartPatrol();
    }
    void cleanupTestCase() {
        if (m_tasks) m_tasks->CancelAllTasks();
        StopPatrol();
        m_tasks.reset();
        ResetLab();
    }

    void newStationAlertsOnceAndNotAfterRestart() {
        QVERIFY(Sweep());
        QCOMPARE(Alerts(), QStringList{});  // a new history
        QCOMPARE(Station({"add"}), 0);
        QVERIFY(Sweep());
        QCOMPARE(Alerts(), QStringList{QStringLiteral("发现新设备%1(02.76.78.07.01.14)").arg(Addr(20))});

        StopPatrol();
        StartPatrol();
        QVERIFY(Sweep());
        QVERIFY(Sweep());
        QCOMPARE(Alerts(), QStringList{});
    }

    void changedMacAlerts() {
        QCOMPARE(Station({"mac", "9", "02:76:78:07:09:99"}), 0);
        QVERIFY(Sweep());
        QCOMPARE(Alerts(),
                 (QStringList{QStringLiteral("发现新设备%1(02.76.78.07.09.99)").arg(Addr(9)),
                              QStringLiteral("%1的MAC地址由%2变为02.76.78.07.09.99")
                                  .arg(Addr(9), Dotted(m_lab.HostValue(9, "MAC")))}));
        QCOMPARE(Station({"mac", "9", "restore"}), 0);
        QVERIFY(Sweep());
        QCOMPARE(Alerts(), QStringList{QStringLiteral("%1的MAC地址由02.76.78.07.09.99变为%2")
                                                 .arg(Addr(9), Dotted(m_lab.HostValue(9, "MAC")))});
    }

    // Needs a probe that reports every MAC answering one address
    // (HostScanResult::otherMacs, from the sweep-wide ARP table); until the
    // probe does, the case says so and skips.
    void twoHostsOnOneAddressAlert() {
        QCOMPARE(Station({"twin", "on"}), 0);
        QVERIFY(Sweep());
        Station({"twin", "off"});
        const QStringList conflicts = Alerts().filter("地址冲突");
        // Without further MACs the first answer wins, which at most reads as
        // an address change.
        if (conflicts.isEmpty())
            QSKIP("the probe does not report further MACs for one address yet");
        const QString six = Dotted(m_lab.HostValue(6, "MAC"));
        const QString seven = Dotted(m_lab.HostValue(7, "MAC"));
        QCOMPARE(conflicts.size(), 1);
        QVERIFY2(conflicts[0] == QStringLiteral("%1地址冲突:%2,%3").arg(Addr(6), six, seven) ||
                     conflicts[0] == QStringLiteral("%1地址冲突:%2,%3").arg(Addr(6), seven, six),
                 qPrintable(conflicts[0]));
    }

    void historyPageListsThem() {
        CHostHistoryTool tool(&m_context, m_history);
        QSignalSpy loaded(tool.Page(), &CHostHistoryDlg::DevicesLoaded);
        tool.Page()->Refresh();
        QVERIFY(loaded.wait(5000));
        QMap<QString, QString> addressOf;
        const QAbstractItemModel* devices = tool.Page()->Devices()->model();
        for (int r = 0; r < devices->rowCount(); ++r)
            addressOf[devices->index(r, 0).data().toString()] = devices->index(r, 1).data().toString();
        QCOMPARE(addressOf.value("02.76.78.07.01.14"), Addr(20));
        QCOMPARE(addressOf.value("02.76.78.07.09.99"), Addr(9));
        QCOMPARE(addressOf.value(Dotted(m_lab.HostValue(9, "MAC"))), Addr(9));
        // Every lab host (the twin may have left .7 listed at .6).
        for (int n : m_lab.Hosts()) {
            if (m_lab.HostValue(n, "LINK") != "up") continue;
            QVERIFY2(addressOf.contains(Dotted(m_lab.HostValue(n, "MAC"))), qPrintable(Addr(n)));
        }
    }
};

int main(int argc, char** argv) {
    return vx::lab::LabMain(argc, argv, [](int c, char** v) {
        QApplication app(c, v);
        HostHistoryLabTest test;
        return QTest::qExec(&test, c, v);
    });
}

#include "HostHistoryLabTest.moc"
