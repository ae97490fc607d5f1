// Times one sweep of the lab /24 (.1 - .254) the ways this program can run
// it, and arp-scan and nmap in the same namespace and the same run.
//   vx_bench_sweep [--threads 32,256] [--modes raw,neigh] [--deadline ms (ResolveMac's)]
//                  [--runs n] [--engines pool,tasks]
// pool:  n plain threads call ResolveMac until the 254 addresses are done.
// tasks: one host patrol probe task per address through the host's task
//        manager at maximum n, as the plug-in sweeps (when built with it).
// page:  the host patrol tool itself: its page's start path queues the tasks
//        and applies every result on the UI thread, whose event-loop latency
//        (lateness of a 10 ms timer) is reported alongside.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "lab/LabSupport.h"
#include "platform/Neighbour.h"

#ifdef VX_BENCH_TASKS
#include "host/tasks/TaskManager.h"
#include "plugins/common/EnumHostShares.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#endif

using namespace vx::platform;
using vx::lab::Lab;

namespace {

struct Outcome {
    double seconds = 0;
    QSet<QString> found;
    bool ok = true;           // the tool ran
    double uiLateMaxMs = -1;  // page runs: worst lateness of the UI timer
    double uiLateP99Ms = -1;
};

QString Address(int i) { return QStringLiteral("%1.%2").arg(Lab().Value("VXLAB_SUBNET")).arg(i); }

void ForgetNeighbours() { vx::lab::RunCommand({"ip", "neigh", "flush", "dev", "eth0"}); }

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

class BenchOutput final : public CHostOutput {
public:
    void OutputMsg(const QString&) override {}
    void SetStatusText(int, const QString&) override {}
    void ShowMsg(const QString&) override {}
};

Outcome PageSweep(ResolveMode mode, int threads, int deadlineMs) {
    Outcome out;
    BenchHost host;
    BenchOutput output;
    vx::CTaskManager manager(nullptr);
    manager.SetMaxThreads(threads);
    manager.StartScheduler();
    ToolHostContext context{&host, &manager, &output, nullptr};
    auto tool = std::make_unique<hp::CHostPatrolTool>(
        &context, std::make_shared<BenchProbe>(mode, deadlineMs),
        [] { return Lab().Value("VXLAB_SUBNET"); });
    hp::CHostPatrolDlg* page = tool->Page();

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
        if (manager.GetTaskCount(hp::kProbeTypeName) == 0) loop.quit();
    });
    clock.start();
    page->StartSweep(false);
    last = clock.nsecsElapsed();
    tick.start();
    loop.exec();
    tick.stop();
    // Results are queued before their task leaves the manager.
    QCoreApplication::processEvents();
    out.seconds = clock.nsecsElapsed() / 1e9;
    for (int row = 0; row < page->List()->RowCount(); ++row)
        if (page->RowImage(row) == 0) out.found.insert(page->List()->CellText(row, 0));
    std::sort(late.begin(), late.end());
    if (!late.empty()) {
        out.uiLateMaxMs = late.back();
        out.uiLateP99Ms = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    }
    tool.reset();
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
    for (int i = 1; i <= 254; ++i)
        manager.AddTask(new hp::CHostProbeTask(&manager, &engine, Address(i), false));
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
    const QList<int> threadCounts = IntList(option("--threads", "32,256"));
    const QStringList modes = option("--modes", "raw,neigh").split(',');
    const int deadline = option("--deadline", QString::number(kDefaultResolveDeadlineMs)).toInt();
    const int runs = option("--runs", "1").toInt();
#ifdef VX_BENCH_TASKS
    const QStringList engines = option("--engines", "pool,tasks,page").split(',');
#else
    const QStringList engines = {"pool"};
#endif
    const QStringList liveList = Lab().LiveAddresses();
    const QSet<QString> live(liveList.begin(), liveList.end());
    const QString self = Lab().Value("VXLAB_WS_ADDR");

    std::printf("sweep of %s.0/24 from %s; live in the lab: %lld (this workstation included)\n",
                qPrintable(Lab().Value("VXLAB_SUBNET")), qPrintable(self),
                static_cast<long long>(live.size()));
    std::printf("ResolveMac deadline %d ms; raw ARP available: %s\n\n", deadline,
                CanUseRawArp() ? "yes" : "no");
    std::printf("%-34s %8s %6s %9s %13s  %s\n", "run", "seconds", "found", "÷arp-scan",
                "UI late ms", "missing");
    std::printf("%-34s %8s %6s %9s %13s\n", "", "", "", "", "p99 / max");

    const QRegularExpression arpScanLine(QStringLiteral("^(\\d+\\.\\d+\\.\\d+\\.\\d+)\\s"));
    const QRegularExpression nmapLine(QStringLiteral("^Nmap scan report for (\\S+)"));
    bool allFound = true;
    for (int run = 1; run <= runs; ++run) {
        const Outcome arpScan =
            RunPeer({"arp-scan", "--localnet", "-I", "eth0", "-q"}, arpScanLine);
        const Outcome nmap =
            RunPeer({"nmap", "-sn", "-n", Lab().Value("VXLAB_SUBNET") + ".0/24"}, nmapLine);
        auto print = [&](const QString& name, const Outcome& o, bool ownCounts) {
            QStringList missing;
            for (const QString& a : live)
                if (!o.found.contains(a) && (ownCounts || a != self)) missing << a;
            missing.sort();
            if (!o.ok) missing = QStringList{"(did not run)"};
            if (!missing.isEmpty() && ownCounts) allFound = false;
            const QString ui = o.uiLateMaxMs < 0 ? QStringLiteral("-")
                                                 : QStringLiteral("%1 / %2")
                                                       .arg(o.uiLateP99Ms, 0, 'f', 1)
                                                       .arg(o.uiLateMaxMs, 0, 'f', 1);
            std::printf("%-34s %8.3f %6lld %9.2f %13s  %s\n", qPrintable(name), o.seconds,
                        static_cast<long long>(o.found.size()),
                        arpScan.seconds > 0 ? o.seconds / arpScan.seconds : 0.0, qPrintable(ui),
                        qPrintable(missing.join(' ')));
            std::fflush(stdout);
        };
        // arp-scan never lists the machine it runs on; nmap does.
        print(QStringLiteral("#%1 arp-scan --localnet").arg(run), arpScan, false);
        print(QStringLiteral("#%1 nmap -sn -n").arg(run), nmap, true);
        for (const QString& engine : engines) {
            for (const QString& modeName : modes) {
                const ResolveMode mode =
                    modeName == "raw" ? ResolveMode::RawArp : ResolveMode::NeighbourTable;
                for (int threads : threadCounts) {
                    ForgetNeighbours();
                    Outcome o;
#ifdef VX_BENCH_TASKS
                    if (engine == "tasks") o = TaskSweep(mode, threads, deadline);
                    if (engine == "page") o = PageSweep(mode, threads, deadline);
#endif
                    if (engine == "pool") o = PoolSweep(mode, threads, deadline);
                    print(QStringLiteral("#%1 %2 %3 limit %4")
                              .arg(run)
                              .arg(engine, modeName)
                              .arg(threads),
                          o, true);
                }
            }
        }
        std::printf("\n");
    }
    std::printf("every live host found by every sweep of ours: %s\n", allFound ? "yes" : "NO");
    return allFound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return vx::lab::LabMain(argc, argv, Bench); }
