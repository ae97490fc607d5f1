// Times one sweep of the lab /24 (.1 - .254) the ways this program can run
// it, and arp-scan and nmap in the same namespace and the same run.
//   vx_bench_sweep [--threads 1,8,32,256] [--modes raw,helper,neigh] [--deadline ms]
//                  [--runs n] [--engines page[,pool,tasks]] [--peers yes|no]
//                  [--shares yes|no] [--vanish yes|no] [--interval s] [--patrol minutes]
//                  [--names yes|no] [--history yes|no]
// Routes: raw (the process's own socket, root), helper (vx-arp), neigh (the
// kernel's neighbour table). Run as nobody (VX_LAB_USER=nobody, run.sh does)
// for the unprivileged routes.
// Each row also gives the frames the workstation sent and received meanwhile
// (its link's counters: every frame crosses its port of the lab bridge).
// pool:  n plain threads call ResolveMac until the 254 addresses are done.
// tasks: one host patrol probe task per address through the host's task
//        manager at maximum n, as the plug-in sweeps (when built with it).
// page:  the host patrol tool itself: its page's start path queues the tasks
//        and applies every result on the UI thread, whose event-loop latency
//        (lateness of a 10 ms timer: median, p99, worst) is reported alongside.
// shares: page sweeps at limit 32 with shares off, on with no host dropping SMB, and on
//        with the lab's three smbdrop hosts dropping it.
// vanish: a patrol at the page's interval (default 15 s) in which the flap
//        host's link goes down between sweeps 1 and 2: the seconds until
//        "下线了", and the sweeps it took.
// names: who the hosts are (IdentityBench.h): registry, names, makers,
//        sweep time with names on and off.
// history: page sweeps at the default limit with the host history recording
//        them and without, in turns: the UI timer's lateness of each.
// patrol: a patrol of that many minutes, every live host staying live: any
//        "下线了" is a false report.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

#include "lab/LabSupport.h"
#include "platform/Neighbour.h"

#ifdef VX_BENCH_TASKS
#include "host/tasks/TaskManager.h"
#include "plugins/common/EnumHostShares.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "IdentityBench.h"
#endif

using namespace vx::platform;
using vx::lab::Lab;

namespace {

struct Outcome {
    double seconds = 0;
    qint64 framesOut = -1;  // frames the workstation sent / received meanwhile
    qint64 framesIn = -1;
    QSet<QString> found;
    bool ok = true;           // the tool ran
    double uiLateMaxMs = -1;  // page runs: worst lateness of the UI timer
    double uiLateP99Ms = -1;
    double uiLateP50Ms = -1;
};

QString Address(int i) { return QStringLiteral("%1.%2").arg(Lab().Value("VXLAB_SUBNET")).arg(i); }

void ForgetNeighbours() { vx::lab::RunCommand({"ip", "neigh", "flush", "dev", "eth0"}); }

// The workstation link's frame counter: what crosses its port of the lab
// bridge (run.sh checks the sum against a capture on the bridge).
qint64 LinkFrames(const char* direction) {
    QFile f(QStringLiteral("/sys/class/net/eth0/statistics/%1_packets").arg(direction));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : -1;
}

// Counts the frames of whatever `run` does.
template <typename Run>
Outcome Counted(Run run) {
    const qint64 out0 = LinkFrames("tx"), in0 = LinkFrames("rx");
    Outcome o = run();
    o.framesOut = LinkFrames("tx") - out0;
    o.framesIn = LinkFrames("rx") - in0;
    return o;
}

Outcome PoolSweep(ResolveMode mode, int threads, int deadlineMs) {
    Outcome out;
    std::atomic<int> next{1};
    std::mutex lock;
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> pool;
    for (int n = 0; n < threads; ++n) {
        pool.emplace_back([&] {
            for (int i = next++; i <= 254; i = next++) {
                QString mac;
                if (ResolveMacWith(mode, Address(i), mac, deadlineMs)) {
                    std::lock_guard<std::mutex> g(lock);
                    out.found.insert(Address(i));
                }
            }
        });
    }
    for (auto& th : pool) th.join();
    out.seconds = t.nsecsElapsed() / 1e9;
    return out;
}

#ifdef VX_BENCH_TASKS
namespace hp = vx::hostpatrol;

// The real probe with its resolution mode pinned (the plug-in's own probe
// takes the process default, fixed once per process).
class BenchProbe final : public hp::IHostProbe {
public:
    BenchProbe(ResolveMode mode, int deadlineMs) : m_mode(mode), m_deadline(deadlineMs) {}
    bool ResolveMac(const QString& address, QString& mac) override {
        return ResolveMacWith(m_mode, address, mac, m_deadline);
    }
    std::shared_ptr<hp::ISweepTable> BeginSweep(const QStringList& addresses) override {
        return hp::MakeArpSweepTable(addresses, m_mode, m_deadline);
    }
    void EnumHostShares(const QString& host, QStringList& names) override {
        ::EnumHostShares(host, names);
    }

private:
    ResolveMode m_mode;
    int m_deadline;
};

// Collects results instead of showing them on a page.
class BenchEngine final : public hp::CProbeEngine {
public:
    BenchEngine(ResolveMode mode, int deadlineMs) : m_probe(mode, deadlineMs) {}
    ~BenchEngine() override { Threads().JoinAll(); }
    hp::IHostProbe& Probe() override { return m_probe; }
    void Deliver(std::shared_ptr<const hp::ProbeTicket>, hp::HostScanResult result) override {
        std::lock_guard<std::mutex> g(m_lock);
        if (result.Answered()) m_found.insert(result.address);
    }
    QSet<QString> Found() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_found;
    }

private:
    BenchProbe m_probe;
    std::mutex m_lock;
    QSet<QString> m_found;  // guarded by m_lock
};

class BenchHost final : public CToolHost {
public:
    QWidget* GetPageParent() override { return &m_parent; }
    QWidget* GetOptionParent() override { return nullptr; }
    void AddTool(const QString&, const QIcon&, QWidget*) override {}
    void AddOptionPage(const QString&, const QIcon&, COptionPage*) override {}

private:
    QWidget m_parent;
};

// Keeps the popup's lines with the moment they came.
class BenchOutput final : public CHostOutput {
public:
    QElapsedTimer clock;
    QList<QPair<qint64, QString>> shown;  // ms since clock start, text
    void OutputMsg(const QString&) override {}
    void SetStatusText(int, const QString&) override {}
    void ShowMsg(const QString& text) override { shown.append({clock.elapsed(), text}); }
};

// The host patrol tool as the host runs it: its page queues one task per
// address and applies every result on the UI thread, sweep after sweep.
class BenchPatrol {
public:
    BenchPatrol(ResolveMode mode, int threads, int deadlineMs,
                std::shared_ptr<hp::CHostHistory> history = nullptr)
        : m_manager(nullptr) {
        m_output.clock.start();
        m_manager.SetMaxThreads(threads);
        m_manager.StartScheduler();
        m_context = {&m_host, &m_manager, &m_output, nullptr};
        m_tool = std::make_unique<hp::CHostPatrolTool>(
            &m_context, std::make_shared<BenchProbe>(mode, deadlineMs),
            [] { return Lab().Value("VXLAB_SUBNET"); }, nullptr, std::move(history));
    }
    ~BenchPatrol() {
        m_manager.CancelAllTasks();
        m_tool.reset();
    }
    hp::CHostPatrolDlg* Page() const { return m_tool->Page(); }
    BenchOutput& Output() { return m_output; }

    // One sweep from the start button's path, with the UI thread's
    // event-loop latency (lateness of a 10 ms timer) measured meanwhile.
    // `samples`, when given, also gets every lateness.
    Outcome Sweep(bool shares, std::vector<double>* samples = nullptr) {
        Outcome out;
        Page()->findChild<QCheckBox*>("1001")->setChecked(shares);
        std::vector<double> late;
        QElapsedTimer clock;
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(10);
        qint64 last = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            late.push_back(std::max(0.0, (now - last) / 1e6 - 10.0));
            last = now;
            if (m_manager.GetTaskCount(hp::kProbeTypeName) == 0) loop.quit();
        });
        clock.start();
        Page()->StartSweep(false);
        last = clock.nsecsElapsed();
        tick.start();
        loop.exec();
        tick.stop();
        // Results are queued before their task leaves the manager.
        QCoreApplication::processEvents();
        out.seconds = clock.nsecsElapsed() / 1e9;
        for (int row = 0; row < Page()->List()->RowCount(); ++row)
            if (Page()->RowImage(row) == 0) out.found.insert(Page()->List()->CellText(row, 0));
        if (samples) samples->insert(samples->end(), late.begin(), late.end());
        std::sort(late.begin(), late.end());
        if (!late.empty()) {
            out.uiLateMaxMs = late.back();
            out.uiLateP99Ms = late[std::min(late.size() - 1, late.size() * 99 / 100)];
            out.uiLateP50Ms = late[late.size() / 2];
        }
        return out;
    }

private:
    BenchHost m_host;
    BenchOutput m_output;
    vx::CTaskManager m_manager;
    ToolHostContext m_context;
    std::unique_ptr<hp::CHostPatrolTool> m_tool;
};

Outcome PageSweep(ResolveMode mode, int threads, int deadlineMs) {
    BenchPatrol patrol(mode, threads, deadlineMs);
    return patrol.Sweep(false);
}

void Idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct PatrolOutcome {
    double vanishToOffline = -1;  // seconds from the link going down to "下线了"
    int sweepsToOffline = 0;      // sweeps that started after the link went down
    QStringList liveReportedOffline;
    int sweeps = 0;
    double minutes = 0;
};

// A patrol at `intervalS` idle seconds between sweeps (the page's ticks,
// waited out in real time), shares on. With `vanish`, the flap host's link
// goes down halfway through the idle time after the first sweep and the
// patrol ends when it is reported offline (or after `minutes`); any other
// "下线了" is a live host reported offline.
PatrolOutcome Patrol(ResolveMode mode, int threads, int deadlineMs, int intervalS, double minutes,
                     bool vanish) {
    PatrolOutcome out;
    const QString flap = Lab().Value("VXLAB_FLAP_ADDR");
    const QString offline = QStringLiteral("下线了");
    vx::lab::RunLabScript("link.sh", {"up"});
    BenchPatrol patrol(mode, threads, deadlineMs);
    QElapsedTimer clock;
    clock.start();
    qint64 downAt = -1;  // on the output's clock
    while (clock.elapsed() < minutes * 60000) {
        patrol.Sweep(true);
        ++out.sweeps;
        if (downAt >= 0) ++out.sweepsToOffline;
        bool flapOffline = false;
        for (const auto& [at, text] : patrol.Output().shown) {
            if (!text.endsWith(offline)) continue;
            const QString address = text.chopped(offline.size());
            if (vanish && address == flap && downAt >= 0) {
                flapOffline = true;
                out.vanishToOffline = (at - downAt) / 1000.0;
            } else if (!out.liveReportedOffline.contains(address)) {
                out.liveReportedOffline << address;
            }
        }
        if (flapOffline) break;
        if (vanish && downAt < 0) {
            Idle(intervalS * 500);
            vx::lab::RunLabScript("link.sh", {"down"});
            downAt = patrol.Output().clock.elapsed();
            Idle(intervalS * 500);
        } else {
            Idle(intervalS * 1000);
        }
    }
    vx::lab::RunLabScript("link.sh", {"up"});
    out.minutes = clock.elapsed() / 60000.0;
    return out;
}

Outcome TaskSweep(ResolveMode mode, int threads, int deadlineMs) {
    Outcome out;
    BenchEngine engine(mode, deadlineMs);
    vx::CTaskManager manager(nullptr);
    manager.SetMaxThreads(threads);
    manager.StartScheduler();
    QElapsedTimer t;
    t.start();
    QStringList addresses;
    for (int i = 1; i <= 254; ++i) addresses << Address(i);
    const auto sweep = engine.Probe().BeginSweep(addresses);
    for (const QString& address : addresses)
        manager.AddTask(new hp::CHostProbeTask(&manager, &engine, address, false, sweep));
    // The plug-in's sweep gate asks exactly this.
    while (manager.GetTaskCount(hp::kProbeTypeName) > 0) QThread::usleep(500);
    out.seconds = t.nsecsElapsed() / 1e9;
    engine.Threads().JoinAll();
    out.found = engine.Found();
    return out;
}
#endif

Outcome RunPeer(const QStringList& command, const QRegularExpression& hostLine) {
    Outcome out;
    QString text;
    QElapsedTimer t;
    t.start();
    const int rc = vx::lab::RunCommand(command, &text);
    out.seconds = t.nsecsElapsed() / 1e9;
    out.ok = rc == 0;
    for (const QString& line : text.split('\n')) {
        const auto m = hostLine.match(line);
        if (m.hasMatch()) out.found.insert(m.captured(1));
    }
    return out;
}

QList<int> IntList(const QString& text) {
    QList<int> out;
    for (const QString& s : text.split(',', Qt::SkipEmptyParts)) out << s.toInt();
    return out;
}

int Bench(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    auto option = [&](const QString& name, const QString& fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const QList<int> threadCounts = IntList(option("--threads", "1,8,32,256"));
    const int defaultLimit = threadCounts.contains(32) ? 32 : threadCounts.value(0, 32);
    const QStringList modes = option("--modes", "raw,helper,neigh").split(',');
    const bool peers = option("--peers", "yes") == "yes";
    const bool shares = option("--shares", "yes") == "yes";
    const bool vanish = option("--vanish", "yes") == "yes";
    const int intervalS = option("--interval", "15").toInt();
    const double patrolMinutes = option("--patrol", "0").toDouble();
    const auto modeOf = [](const QString& name) {
        return name == "raw"      ? ResolveMode::RawArp
               : name == "helper" ? ResolveMode::Helper
                                  : ResolveMode::NeighbourTable;
    };
    const int deadline = option("--deadline", QString::number(kDefaultResolveDeadlineMs)).toInt();
    const int runs = option("--runs", "1").toInt();
#ifdef VX_BENCH_TASKS
    const QStringList engines = option("--engines", "page").split(',');
#else
    const QStringList engines = {"pool"};
#endif
    const QStringList liveList = Lab().LiveAddresses();
    const QSet<QString> live(liveList.begin(), liveList.end());
    const QString self = Lab().Value("VXLAB_WS_ADDR");

    std::printf("sweep of %s.0/24 from %s; live in the lab: %lld (this workstation included)\n",
                qPrintable(Lab().Value("VXLAB_SUBNET")), qPrintable(self),
                static_cast<long long>(live.size()));
    std::printf("ResolveMac deadline %d ms; uid %d; own raw ARP: %s; ARP helper: %s\n\n", deadline,
                int(getuid()), CanUseRawArp() ? "yes" : "no", CanUseArpHelper() ? "yes" : "no");
    std::printf("%-34s %8s %6s %9s %18s %11s  %s\n", "run", "seconds", "found", "÷arp-scan",
                "UI late ms", "frames", "missing");
    std::printf("%-34s %8s %6s %9s %18s %11s\n", "", "", "", "", "p50 / p99 / max", "out / in");

    const QRegularExpression arpScanLine(QStringLiteral("^(\\d+\\.\\d+\\.\\d+\\.\\d+)\\s"));
    const QRegularExpression nmapLine(QStringLiteral("^Nmap scan report for (\\S+)"));
    bool allFound = true;
    for (int run = 1; run <= runs; ++run) {
        Outcome arpScan, nmap;
        if (peers) {
            ForgetNeighbours();
            arpScan = Counted(
                [&] { return RunPeer({"arp-scan", "--localnet", "-I", "eth0", "-q"}, arpScanLine); });
            ForgetNeighbours();
            nmap = Counted([&] {
                return RunPeer({"nmap", "-sn", "-n", Lab().Value("VXLAB_SUBNET") + ".0/24"},
                               nmapLine);
            });
        }
        auto print = [&](const QString& name, const Outcome& o, bool ownCounts) {
            QStringList missing;
            for (const QString& a : live)
                if (!o.found.contains(a) && (ownCounts || a != self)) missing << a;
            missing.sort();
            if (!o.ok) missing = QStringList{"(did not run)"};
            if (!missing.isEmpty() && ownCounts) allFound = false;
            const QString ui = o.uiLateMaxMs < 0 ? QStringLiteral("-")
                                                 : QStringLiteral("%1 / %2 / %3")
                                                       .arg(o.uiLateP50Ms, 0, 'f', 1)
                                                       .arg(o.uiLateP99Ms, 0, 'f', 1)
                                                       .arg(o.uiLateMaxMs, 0, 'f', 1);
            const QString frames = o.framesOut < 0 ? QStringLiteral("-")
                                                   : QStringLiteral("%1 / %2")
                                                         .arg(o.framesOut)
                                                         .arg(o.framesIn);
            std::printf("%-34s %8.3f %6lld %9.2f %18s %11s  %s\n", qPrintable(name), o.seconds,
                        static_cast<long long>(o.found.size()),
                        arpScan.seconds > 0 ? o.seconds / arpScan.seconds : 0.0, qPrintable(ui),
                        qPrintable(frames), qPrintable(missing.join(' ')));
            std::fflush(stdout);
        };
        // arp-scan never lists the machine it runs on; nmap does.
        if (peers) {
            print(QStringLiteral("#%1 arp-scan --localnet").arg(run), arpScan, false);
            print(QStringLiteral("#%1 nmap -sn -n").arg(run), nmap, true);
        }
        for (const QString& engine : engines) {
            for (const QString& modeName : modes) {
                const ResolveMode mode = modeOf(modeName);
                for (int threads : threadCounts) {
                    ForgetNeighbours();
                    Outcome o;
#ifdef VX_BENCH_TASKS
                    if (engine == "tasks") o = Counted([&] { return TaskSweep(mode, threads, deadline); });
                    if (engine == "page") o = Counted([&] { return PageSweep(mode, threads, deadline); });
#endif
                    if (engine == "pool") o = Counted([&] { return PoolSweep(mode, threads, deadline); });
                    print(QStringLiteral("#%1 %2 %3 limit %4")
                              .arg(run)
                              .arg(engine, modeName)
                              .arg(threads),
                          o, true);
                }
            }
        }
#ifdef VX_BENCH_TASKS
        // Shares on: the listings run beside the probes, each bounded.
        for (const QString& modeName : shares ? modes : QStringList{}) {
            // The default limit, which is what every user sweeps at.
            const int threads = defaultLimit;
            struct Case {
                const char* name;
                bool shares;
                const char* drop;
            };
            for (const Case& c : {Case{"shares off", false, "on"}, Case{"shares on, 0 drop SMB", true, "off"},
                                  Case{"shares on, 3 drop SMB", true, "on"}}) {
                vx::lab::RunLabScript("link.sh", {"smbdrop", c.drop});
                ForgetNeighbours();
                BenchPatrol patrol(modeOf(modeName), threads, deadline);
                print(QStringLiteral("#%1 page %2 limit %3 %4")
                          .arg(run)
                          .arg(modeName)
                          .arg(threads)
                          .arg(c.name),
                      Counted([&] { return patrol.Sweep(c.shares); }), true);
            }
            vx::lab::RunLabScript("link.sh", {"smbdrop", "on"});
        }
#endif
        std::printf("\n");
    }
#ifdef VX_BENCH_TASKS
    // A host vanishing at the page's interval: "下线了" is due on the fourth
    // silent sweep (three misses absorbed).
    for (const QString& modeName : vanish ? modes : QStringList{}) {
        ForgetNeighbours();
        const PatrolOutcome o =
            Patrol(modeOf(modeName), defaultLimit, deadline, intervalS, 6, true);
        std::printf("vanish %-6s interval %d s: \"下线了\" %.1f s after the link went down, on "
                    "sweep %d after it (4 due)%s%s\n",
                    qPrintable(modeName), intervalS, o.vanishToOffline, o.sweepsToOffline,
                    o.liveReportedOffline.isEmpty() ? "" : "; live reported offline: ",
                    qPrintable(o.liveReportedOffline.join(' ')));
        std::fflush(stdout);
        if (!o.liveReportedOffline.isEmpty() || o.vanishToOffline < 0) allFound = false;
    }
    for (const QString& modeName : patrolMinutes > 0 ? modes : QStringList{}) {
        const PatrolOutcome o = Patrol(modeOf(modeName), defaultLimit, deadline,
                                       intervalS, patrolMinutes, false);
        std::printf("patrol %-6s interval %d s: %.1f min, %d sweeps, live hosts reported offline: "
                    "%s\n",
                    qPrintable(modeName), intervalS, o.minutes, o.sweeps,
                    o.liveReportedOffline.isEmpty() ? "none"
                                                    : qPrintable(o.liveReportedOffline.join(' ')));
        std::fflush(stdout);
        if (!o.liveReportedOffline.isEmpty()) allFound = false;
    }
#endif
#ifdef VX_BENCH_TASKS
    // The host history recording every sweep (a file of its own) against no
    // history, sweeps taken in turns, the UI timer's lateness over all of them.
    for (const QString& modeName : option("--history", "yes") == "yes" ? modes : QStringList{}) {
        QTemporaryDir dir;
        auto store = std::make_shared<hp::CHostHistory>(dir.path() + "/HostHistory.db");
        BenchPatrol without(modeOf(modeName), defaultLimit, deadline);
        BenchPatrol with(modeOf(modeName), defaultLimit, deadline, store);
        std::vector<double> late[2];
        double seconds[2] = {0, 0};
        const int sweeps = 8;
        for (int s = 0; s < sweeps; ++s) {
            for (int on : {0, 1}) {
                ForgetNeighbours();
                const Outcome o = (on ? with : without).Sweep(false, &late[on]);
                seconds[on] += o.seconds;
                if (o.found.size() + 1 < live.size()) allFound = false;
            }
        }
        store->WaitIdle();
        for (int on : {0, 1}) {
            std::vector<double>& v = late[on];
            std::sort(v.begin(), v.end());
            std::printf("history %-3s %-6s limit %d, %d sweeps: %.3f s each, UI late ms p50 / p99 / "
                        "max %.1f / %.1f / %.1f (%zu ticks)\n",
                        on ? "on" : "off", qPrintable(modeName), defaultLimit, sweeps,
                        seconds[on] / sweeps, v[v.size() / 2],
                        v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back(), v.size());
        }
        std::fflush(stdout);
    }
    if (option("--names", "yes") == "yes" && !vx::bench::RunIdentityBench(runs)) allFound = false;
#endif
    std::printf("every live host found by every sweep of ours, none reported offline: %s\n",
                allFound ? "yes" : "NO");
    return allFound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return vx::lab::LabMain(argc, argv, Bench); }
