// The host patrol sweeping the lab LAN from its workstation namespace, with
// the real probe and the host's task manager: which hosts it finds, their
// MACs and shares, and a host whose link goes down and comes back. Run as
// root (its own raw socket) and as nobody (the ARP helper, or the neighbour
// table when the helper is missing): the same answers in every route. The
// task manager's thread limit comes from VX_PATROL_LIMIT (default 256); a
// sweep costs one deadline at any limit, and the late host is found in
// every sweep.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QtTest>

#include <dlfcn.h>

#include <memory>

#include "PatrolFakes.h"
#include "host/tasks/TaskManager.h"
#include "lab/LabSupport.h"
#include "platform/Neighbour.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolEngine.h"

using namespace vx::hostpatrol;

class HostPatrolLabTest : public QObject {
    Q_OBJECT

private:
    vx::lab::LabFacts m_lab;
    FakeToolHost m_host;
    FakeHostOutput m_output;
    FakeHostOutput m_status;
    std::unique_ptr<vx::CTaskManager> m_tasks;
    ToolHostContext m_context;
    std::unique_ptr<CHostPatrolTool> m_tool;

    vx::platform::ResolveMode m_route = vx::platform::ResolveMode::Automatic;
    int m_limit = 256;

    CHostPatrolDlg* Page() const { return m_tool->Page(); }
    bool NeighbourRoute() const { return m_route == vx::platform::ResolveMode::NeighbourTable; }

    // The kernel's neighbour timers, short while this test runs in the
    // neighbour-table route so that its extra delay takes seconds, not a
    // minute; the defaults again after it. The kernel repeats its broadcast
    // to every silent address each retransmit time; the lab's virtual bridge
    // drops frames in such a burst, so the re-check of a known host, one
    // first-probe delay after a sweep, must not fall on one (1 s and 1 s would).
    static void SetNeighbourTimers(int baseReachableMs, int delayFirstProbeS, int retransMs) {
        vx::lab::RunCommand(
            {"sysctl", "-qw",
             QStringLiteral("net.ipv4.neigh.eth0.base_reachable_time_ms=%1").arg(baseReachableMs),
             QStringLiteral("net.ipv4.neigh.eth0.delay_first_probe_time=%1").arg(delayFirstProbeS),
             QStringLiteral("net.ipv4.neigh.eth0.retrans_time_ms=%1").arg(retransMs)});
        vx::lab::RunCommand({"ip", "neigh", "flush", "dev", "eth0"});
    }

    void SetShareOption(bool on) { Page()->findChild<QCheckBox*>("1001")->setChecked(on); }

    // One sweep from the start button's path; true once every probe is done
    // and its result applied.
    bool Sweep() {
        Page()->StartSweep(false);
        QElapsedTimer clock;
        clock.start();
        while (m_tasks->GetTaskCount(kProbeTypeName) > 0) {
            if (clock.elapsed() > 60000) return false;
            QTest::qWait(20);
        }
        // Every result was queued before its task left the manager.
        QCoreApplication::processEvents();
        // The late host answers 300 ms after each request, within the
        // sweep's deadline: it must have answered this sweep.
        const QString late = m_lab.Value("VXLAB_LATE_ADDR");
        const int row = RowOf(late);
        if (row < 0 || Page()->Entry(row)->remainingMisses != 3 ||
            Page()->OfflineList().contains(late)) {
            qWarning("the late host %s missed a sweep", qPrintable(late));
            return false;
        }
        return true;
    }

    int RowOf(const QString& address) const {
        for (int row = 0; row < Page()->List()->RowCount(); ++row)
            if (Page()->List()->CellText(row, 0) == address) return row;
        return -1;
    }

private slots:
    void initTestCase() {
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"up"}), 0);
        QVERIFY(m_lab.Load());  // after the link is surely up
        // The sweep takes this machine's first address; inside the lab that
        // must be the workstation's.
        QCOMPARE(GetLocalSubnetPrefix(), m_lab.Value("VXLAB_SUBNET"));
        m_tasks = std::make_unique<vx::CTaskManager>(&m_status);
        if (qEnvironmentVariableIsSet("VX_PATROL_LIMIT"))
            m_limit = qEnvironmentVariableIntValue("VX_PATROL_LIMIT");
        m_tasks->SetMaxThreads(m_limit);
        m_tasks->StartScheduler();
        m_context = {&m_host, m_tasks.get(), &m_output, nullptr};
        PatrolTickCounter() = 0;
        m_route = vx::platform::ActiveRoute();
        if (NeighbourRoute()) SetNeighbourTimers(1000, 1, 700);
        m_tool = std::make_unique<CHostPatrolTool>(&m_context);
        SetShareOption(true);
    }
    void cleanupTestCase() {
        if (m_tasks) m_tasks->CancelAllTasks();
        m_tool.reset();
        m_tasks.reset();
        vx::lab::RunLabScript("link.sh", {"up"});
        if (NeighbourRoute()) SetNeighbourTimers(30000, 5, 1000);
    }

    void oneSweepFindsTheLiveHosts() {
        QVERIFY(Sweep());
        QStringList found;
        for (int row = 0; row < Page()->List()->RowCount(); ++row)
            found << Page()->List()->CellText(row, 0);
        found.sort();
        QStringList live = m_lab.LiveAddresses();
        live.sort();
        QCOMPARE(found, live);
        QCOMPARE(Page()->OfflineList().size(), 254 - live.size());
        QVERIFY(m_output.shown.isEmpty());

        QCOMPARE(Page()->List()->CellText(RowOf(m_lab.Value("VXLAB_WS_ADDR")), 1),
                 m_lab.Value("VXLAB_WS_MAC"));
        for (int n : m_lab.Hosts()) {
            const int row = RowOf(m_lab.HostValue(n, "ADDR"));
            QVERIFY2(row >= 0, qPrintable(m_lab.HostValue(n, "ADDR")));
            QCOMPARE(Page()->List()->CellText(row, 1), m_lab.HostValue(n, "MAC"));
            QCOMPARE(Page()->RowImage(row), 0);
        }
        QCOMPARE(Page()->List()->CellText(RowOf(m_lab.Value("VXLAB_SMB_ADDR")), 3),
                 QStringLiteral("docs;music;"));
        QCOMPARE(Page()->List()->CellText(RowOf(m_lab.Value("VXLAB_ARPONLY_ADDR")), 3), QString());
        QVERIFY(RowOf(m_lab.Value("VXLAB_LATE_ADDR")) >= 0);
        // The output log says once, and only in the neighbour-table route,
        // how to have exact answers.
        QCOMPARE(m_output.logged.filter(vx::platform::ExactModeCommand()).size(),
                 NeighbourRoute() ? 1 : 0);
    }

    // Without shares a sweep costs one deadline (500 ms) and the tasks' own
    // cost, at any thread limit.
    void sweepCostsOneDeadline() {
        SetShareOption(false);
        QElapsedTimer t;
        t.start();
        QVERIFY(Sweep());
        // A deadline per round of tasks would cost 4 s at limit 32 and two
        // minutes at limit 1; sanitizer builds start each task's thread
        // several times slower, so they get a wider margin below that.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        constexpr qint64 kBoundMs = 3000;
#else
        constexpr qint64 kBoundMs = 1200;
#endif
        QVERIFY2(t.elapsed() < kBoundMs, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(Page()->List()->RowCount(), m_lab.LiveAddresses().size());
        QVERIFY(m_output.shown.isEmpty());
        SetShareOption(true);
    }

    // Hosts that drop SMB add one listing bound to a sweep, not one each.
    void sharesOnSweepIsBounded() {
        SetShareOption(false);
        QElapsedTimer t;
        t.start();
        QVERIFY(Sweep());
        const qint64 off = t.elapsed();
        SetShareOption(true);
        t.restart();
        QVERIFY(Sweep());
        const qint64 on = t.elapsed();
        // One bounded listing per round of probes: three rounds at limit 1.
        const int rounds = (3 + m_limit - 1) / m_limit;
        QVERIFY2(on <= off + 4500 * rounds,
                 qPrintable(QStringLiteral("%1 ms vs %2 ms").arg(on).arg(off)));
        for (const QString& host : m_lab.Value("VXLAB_SMBDROP_ADDRS").split(' ')) {
            QVERIFY(RowOf(host) >= 0);
            QCOMPARE(Page()->List()->CellText(RowOf(host), 3), QString());
        }
        // A listing that fails shows no shares for that sweep and is asked
        // again the next; in the neighbour-table route, at times, the first
        // listing after a sweep without shares comes back empty.
        const int smbRow = RowOf(m_lab.Value("VXLAB_SMB_ADDR"));
        if (NeighbourRoute() && Page()->List()->CellText(smbRow, 3).isEmpty()) {
            qWarning("the SMB host's listing came back empty; sweeping again");
            QVERIFY(Sweep());
        }
        QCOMPARE(Page()->List()->CellText(RowOf(m_lab.Value("VXLAB_SMB_ADDR")), 3),
                 QStringLiteral("docs;music;"));
    }

    // After its link goes down the host is silent: three sweeps are absorbed,
    // the fourth reports it; one sweep after the link is back it is online.
    // The neighbour table hears of the silence only when the kernel has
    // re-checked the entry, its declared extra delay after the host went
    // while the entry was in use; the sweeps are counted from then.
    void hostGoesDownAndComesBack() {
        const QString flap = m_lab.Value("VXLAB_FLAP_ADDR");
        const int row = RowOf(flap);
        QVERIFY(row >= 0);
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"down"}), 0);
        if (NeighbourRoute()) {
            QElapsedTimer t;
            t.start();
            const int extra = vx::platform::NeighbourExtraDelayMs(flap);
            QVERIFY(extra > 0 && extra < 10000);
            QString mac;
            while (t.elapsed() < extra + 1000) vx::platform::ResolveMac(flap, mac, 200);
        }
        for (int sweep = 1; sweep <= 3; ++sweep) {
            QVERIFY(Sweep());
            QVERIFY2(m_output.shown.isEmpty(), qPrintable(m_output.shown.join('|')));
        }
        QVERIFY(Sweep());
        QCOMPARE(m_output.shown, QStringList{flap + QStringLiteral("下线了")});
        QCOMPARE(Page()->RowImage(row), 1);
        QVERIFY(Sweep());
        QCOMPARE(m_output.shown.size(), 1);

        QCOMPARE(vx::lab::RunLabScript("link.sh", {"up"}), 0);
        QTest::qWait(200);
        QVERIFY(Sweep());
        QCOMPARE(m_output.shown,
                 (QStringList{flap + QStringLiteral("下线了"), flap + QStringLiteral("上线了")}));
        QCOMPARE(Page()->RowImage(row), 0);
        QCOMPARE(Page()->List()->CellText(row, 1),
                 m_lab.HostValue(flap.section(QLatin1Char('.'), 3).toInt(), "MAC"));
    }

    // "结束任务" while the sweep's silent addresses are still waiting: every
    // probe thread is gone within half a second, and the next sweep is whole.
    void stopMidSweep() {
        SetShareOption(false);
        Page()->StartSweep(false);
        QTest::qWait(150);
        QVERIFY(m_tasks->GetTaskCount(kProbeTypeName) > 0);
        QElapsedTimer t;
        t.start();
        m_tasks->CancelAllTasks();
        m_tool->Engine()->Threads().JoinAll();
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
        QTRY_COMPARE(m_tasks->GetTaskCount(kProbeTypeName), 0);
        const int shown = m_output.shown.size();
        QVERIFY(Sweep());
        QCOMPARE(m_output.shown.size(), shown);
        SetShareOption(true);
    }

    // The host's exit with a sweep under way, then the library unloaded:
    // every probe thread must be gone by the time the tool is deleted.
    void unloadDuringSweep() {
        void* library = dlopen(VX_HOSTPATROL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto create = reinterpret_cast<CreateObjFunc>(dlsym(library, "CreateObj"));
        QVERIFY(create);
        FakeHostOutput status, output;
        auto tasks = std::make_unique<vx::CTaskManager>(&status);
        tasks->SetMaxThreads(m_limit);
        tasks->StartScheduler();
        auto frame = std::make_unique<QWidget>();
        FakeToolHost host;
        host.parent = frame.get();
        ToolHostContext context{&host, tasks.get(), &output, nullptr};
        CToolBase* tool = create(0, &context);
        QVERIFY(tool);
        frame->findChild<QCheckBox*>("1001")->setChecked(true);
        QTest::mouseClick(frame->findChild<QPushButton*>("1004"), Qt::LeftButton);
        // Silent addresses keep their probes waiting for the deadline, and
        // the hosts that drop SMB keep their listings waiting.
        QTest::qWait(800);
        QVERIFY(tasks->GetTaskCount(kProbeTypeName) > 0);

        QElapsedTimer exit;
        exit.start();
        tasks->CancelAllTasks();
        frame.reset();
        tasks.reset();
        delete tool;
        QVERIFY2(exit.elapsed() < 500, qPrintable(QString::number(exit.elapsed())));
        QCOMPARE(dlclose(library), 0);
        QVERIFY(!dlopen(VX_HOSTPATROL_PLUGIN, RTLD_NOW | RTLD_NOLOAD));
        // A probe thread still running would now execute unmapped code.
        QTest::qWait(1500);
    }
};

int main(int argc, char** argv) {
    return vx::lab::LabMain(argc, argv, [](int c, char** v) {
        QApplication app(c, v);
        HostPatrolLabTest test;
        return QTest::qExec(&test, c, v);
    });
}

#include "HostPatrolLabTest.moc"
