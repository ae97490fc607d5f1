// Whole sweeps with real threads: the host's task manager (or the queueing
// fake) runs probe tasks against a fake probe, results cross to the UI
// thread, and cancellation, page destruction and exit happen mid-sweep.
#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include <memory>
#include <thread>

#include "PatrolFakes.h"
#include "host/tasks/TaskManager.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolEngine.h"

using namespace vx::hostpatrol;

namespace {
const QString kPrefix = QStringLiteral("10.213.7");

QString Address(int i) { return QStringLiteral("%1.%2").arg(kPrefix).arg(i); }
}  // namespace

class HostPatrolSweepTest : public QObject {
    Q_OBJECT

private:
    FakeToolHost m_host;
    FakeHostOutput m_output;

    std::unique_ptr<CHostPatrolTool> MakeTool(ToolHostContext& context,
                                              std::shared_ptr<FakeProbe> probe) {
        PatrolTickCounter() = 0;
        return std::make_unique<CHostPatrolTool>(&context, std::move(probe),
                                                 [] { return kPrefix; });
    }

private slots:
    void init() { m_output.shown.clear(); }

    void sweepFillsTheList_data() {
        QTest::addColumn<bool>("shareOption");
        QTest::newRow("shares on") << true;
        QTest::newRow("shares off") << false;
    }
    void sweepFillsTheList() {
        QFETCH(bool, shareOption);
        auto probe = std::make_shared<FakeProbe>();
        probe->SetHost(Address(5), "02.00.0A.D5.07.05", {"docs", "music"});
        probe->SetHost(Address(9), "02.00.0A.D5.07.09");
        FakeTaskManager tasks;
        ToolHostContext context{&m_host, &tasks, &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        CHostPatrolDlg* page = tool->Page();
        page->findChild<QCheckBox*>("1001")->setChecked(shareOption);
        page->OnStartStop();
        tasks.StartWaiting();
        QVERIFY(tasks.WaitForRemovals(254));
        QTRY_COMPARE(page->List()->RowCount() + page->OfflineList().size(), 254);
        QCOMPARE(page->List()->RowCount(), 2);
        QStringList addresses{page->List()->CellText(0, 0), page->List()->CellText(1, 0)};
        addresses.sort();
        QCOMPARE(addresses, (QStringList{Address(5), Address(9)}));
        const int row5 = page->List()->CellText(0, 0) == Address(5) ? 0 : 1;
        QCOMPARE(page->List()->CellText(row5, 1), QStringLiteral("02.00.0A.D5.07.05"));
        QCOMPARE(page->List()->CellText(row5, 3),
                 shareOption ? QStringLiteral("docs;music;") : QString());
        QCOMPARE(probe->ShareCalls(), shareOption ? 2 : 0);
        QVERIFY(m_output.shown.isEmpty());
        QCOMPARE(tasks.GetTaskCount(kProbeTypeName), 0);
    }

    // A probe route that is less exact than it could be is said once in the
    // output log, not once per result or sweep.
    void routeNoticeLoggedOnce() {
        auto probe = std::make_shared<FakeProbe>();
        probe->notice = QStringLiteral("route notice");
        FakeTaskManager tasks;
        FakeHostOutput output;
        ToolHostContext context{&m_host, &tasks, &output, nullptr};
        auto tool = MakeTool(context, probe);
        for (int sweep = 1; sweep <= 2; ++sweep) {
            tool->Page()->StartSweep(false);
            tasks.StartWaiting();
            QVERIFY(tasks.WaitForRemovals(254 * sweep));
            QTRY_COMPARE(tool->Page()->OfflineList().size(), 254);
        }
        QCoreApplication::processEvents();
        QCOMPARE(output.logged.count(QStringLiteral("route notice")), 1);
    }

    // A probe that sweeps starts one table per sweep, over the whole /24, and
    // every task of that sweep reads its answer (and a second station's
    // MAC) from it instead of asking the network itself.
    void everyTaskReadsTheSweepsTable() {
        auto probe = std::make_shared<FakeProbe>();
        probe->sweepTable = std::make_shared<FakeSweepTable>();
        probe->sweepTable->macs[Address(7)] = QStringList{"02.00.0A.D5.07.07", "02.00.0A.D5.07.77"};
        FakeTaskManager tasks;
        ToolHostContext context{&m_host, &tasks, &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        for (int sweep = 1; sweep <= 2; ++sweep) {
            tool->Page()->StartSweep(false);
            tasks.StartWaiting();
            QVERIFY(tasks.WaitForRemovals(254 * sweep));
            QTRY_COMPARE(tool->Page()->OfflineList().size(), 253);
            QCOMPARE(probe->sweepsBegun.load(), sweep);
            QCOMPARE(probe->sweepTable->asked.load(), 254 * sweep);
        }
        QCOMPARE(probe->sweepAddresses.load(), 254);
        QCOMPARE(probe->Exited(), 0);
        QCOMPARE(tool->Page()->List()->CellText(0, 1), QStringLiteral("02.00.0A.D5.07.07"));
    }

    // Stopping the patrol stops the clock only: the probes already queued
    // still run, and their results still fill the list.
    void resultsArriveAfterStop() {
        auto probe = std::make_shared<FakeProbe>();
        probe->SetHost(Address(5), "02.00.0A.D5.07.05");
        probe->SetHost(Address(9), "02.00.0A.D5.07.09");
        FakeTaskManager tasks;
        ToolHostContext context{&m_host, &tasks, &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        CHostPatrolDlg* page = tool->Page();
        auto* countLine = page->findChild<QLabel*>("1005");
        page->OnStartStop();
        page->OnStartStop();
        QVERIFY(!page->IsPatrolling());
        QCOMPARE(int(tasks.Waiting().size()), 254);
        tasks.StartWaiting();
        QVERIFY(tasks.WaitForRemovals(254));
        QTRY_COMPARE(page->List()->RowCount(), 2);
        QCOMPARE(page->OfflineList().size(), 252);
        QCOMPARE(countLine->text(), QStringLiteral("在线主机数=0,最大时=0"));
    }

    // "结束任务" while 32 probes hang on their answers and 222 wait.
    void cancelledSweepDeliversNothing() {
        auto probe = std::make_shared<FakeProbe>();
        for (int i = 1; i <= 254; ++i) probe->SetHost(Address(i), "02.00.00.00.00.01");
        probe->Hold();
        FakeHostOutput status;
        vx::CTaskManager tasks(&status);
        tasks.StartScheduler();
        ToolHostContext context{&m_host, &tasks, &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        tool->Page()->OnStartStop();
        QVERIFY(probe->WaitForEntered(32));
        QCOMPARE(tasks.CancelAllTasks(), 254);
        QCOMPARE(tasks.GetTaskCount(kProbeTypeName), 0);
        probe->Release();
        tool->Engine()->Threads().JoinAll();
        QCOMPARE(probe->Exited(), 32);  // nothing started after the cancel
        QTest::qWait(100);
        QCOMPARE(tool->Page()->List()->RowCount(), 0);
        QVERIFY(tool->Page()->OfflineList().isEmpty());
        QVERIFY(m_output.shown.isEmpty());
    }

    // The host's exit order while a sweep runs: cancel all tasks, destroy the
    // frame (and with it the page), delete the task manager, delete the tool.
    // The tool's destructor returns only after every probe thread is done.
    void exitDuringSweep() {
        auto probe = std::make_shared<FakeProbe>();
        probe->SetHost(Address(3), "02.00.00.00.00.03", {"docs"});
        probe->Hold();
        FakeHostOutput status;
        auto tasks = std::make_unique<vx::CTaskManager>(&status);
        tasks->StartScheduler();
        auto pageParent = std::make_unique<QWidget>();
        FakeToolHost host;
        host.parent = pageParent.get();
        ToolHostContext context{&host, tasks.get(), &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        tool->Page()->findChild<QCheckBox*>("1001")->setChecked(true);
        tool->Page()->OnStartStop();
        QVERIFY(probe->WaitForEntered(32));

        tasks->CancelAllTasks();
        pageParent.reset();
        QVERIFY(!tool->Page());
        tasks.reset();
        std::thread releaser([probe] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            probe->Release();
        });
        tool.reset();
        const int exited = probe->Exited();
        releaser.join();
        QCOMPARE(exited, 32);
        QVERIFY(m_output.shown.isEmpty());
    }

    void lateResultsAreDropped() {
        auto probe = std::make_shared<FakeProbe>();
        FakeTaskManager tasks;
        ToolHostContext context{&m_host, &tasks, &m_output, nullptr};
        auto tool = MakeTool(context, probe);
        auto withdrawn = std::make_shared<ProbeTicket>();
        withdrawn->withdrawn = true;
        tool->Engine()->Deliver(withdrawn,
                                {Address(4), "02.00.00.00.00.04", "26-12-06 18:15:02", {}});
        tool->Engine()->Deliver(std::make_shared<ProbeTicket>(),
                                {Address(6), "02.00.00.00.00.06", "26-12-06 18:15:02", {}});
        QTRY_COMPARE(tool->Page()->List()->RowCount(), 1);
        QCOMPARE(tool->Page()->List()->CellText(0, 0), Address(6));

        // After the page is gone results still arrive and are dropped.
        delete tool->Page();
        tool->Engine()->Deliver(std::make_shared<ProbeTicket>(),
                                {Address(7), "02.00.00.00.00.07", "26-12-06 18:15:02", {}});
        QTest::qWait(50);
        QVERIFY(m_output.shown.isEmpty());
    }
};

QTEST_MAIN(HostPatrolSweepTest)
#include "HostPatrolSweepTest.moc"
