#include "IdentityBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QThread>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "host/tasks/TaskManager.h"
#include "lab/LabSupport.h"
#include "platform/MacVendors.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolFakes.h"

namespace vx::bench {

namespace {

namespace hp = vx::hostpatrol;
using vx::lab::Lab;

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long ResidentKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void Registry() {
    const long before = ResidentKb();
    QElapsedTimer wall;
    wall.start();
    const double cpu = ThreadCpuMs();
    auto vendors = std::make_unique<vx::platform::MacVendors>();
    const bool loaded = vendors->Load();
    const double cpuMs = ThreadCpuMs() - cpu;
    const double wallMs = wall.nsecsElapsed() / 1e6;
    const long after = ResidentKb();
    if (!loaded) {
        std::printf("registry: not installed (ieee-data)\n");
        return;
    }
    std::mt19937_64 random(7);
    std::vector<std::array<uint8_t, 6>> macs(1 << 16);
    for (auto& mac : macs)
        for (auto& b : mac) b = uint8_t(random() & 0xFE);  // unicast, registered or not
    size_t hits = 0;
    constexpr int kRounds = 16;
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < kRounds; ++r)
        for (const auto& mac : macs) hits += !vendors->Lookup(mac).empty();
    const double ns = double(t.nsecsElapsed()) / (kRounds * macs.size());
    std::printf("registry: %zu blocks loaded in %.1f ms (%.1f ms CPU); index %.2f MB, resident "
                "+%.2f MB; lookup %.0f ns (%zu of %zu random MACs registered)\n",
                vendors->Blocks(), wallMs, cpuMs, vendors->MemoryBytes() / 1048576.0,
                (after - before) / 1024.0, ns, hits / kRounds, macs.size());
}

struct Seen {
    QMap<QString, qint64> answered;  // ms from the sweep's start
    QMap<QString, qint64> named;
    double sweepS = 0;
};

class Bench {
public:
    Bench() : m_tasks(&m_status) {
        m_tasks.SetMaxThreads(256);
        m_tasks.StartScheduler();
        m_context = {&m_host, &m_tasks, &m_output, nullptr};
    }
    ~Bench() { m_tasks.CancelAllTasks(); }

    // A fresh page (every host looked up), the registry read; one sweep, then
    // up to `settleMs` for the names.
    Seen Sweep(bool names, int settleMs, std::unique_ptr<hp::CHostPatrolTool>* keep = nullptr) {
        auto tool = std::make_unique<hp::CHostPatrolTool>(
            &m_context, nullptr, nullptr, names ? std::make_shared<hp::CNetworkNamer>() : nullptr);
        tool->Identity()->LoadRegistry();
        QElapsedTimer wait;
        wait.start();
        while (!tool->Identity()->RegistryReady() && wait.elapsed() < 5000) Spin();
        Seen seen;
        CSortListCtrl* list = tool->Page()->List();
        QElapsedTimer clock;
        clock.start();
        auto look = [&] {
            for (int row = 0; row < list->RowCount(); ++row) {
                const QString address = list->CellText(row, hp::kColAddress);
                if (!seen.answered.contains(address)) seen.answered[address] = clock.elapsed();
                if (!list->CellText(row, hp::kColName).isEmpty() && !seen.named.contains(address))
                    seen.named[address] = clock.elapsed();
            }
        };
        tool->Page()->StartSweep(false);
        while (m_tasks.GetTaskCount(hp::kProbeTypeName) > 0) {
            Spin();
            look();
        }
        QCoreApplication::processEvents();
        look();
        seen.sweepS = clock.nsecsElapsed() / 1e9;
        const qint64 end = clock.elapsed() + settleMs;
        while (clock.elapsed() < end) {
            Spin();
            look();
        }
        if (keep) *keep = std::move(tool);
        return seen;
    }

private:
    static void Spin() {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::msleep(2);
    }
    FakeToolHost m_host;
    FakeHostOutput m_output;
    FakeHostOutput m_status;
    vx::CTaskManager m_tasks;
    ToolHostContext m_context;
};

}  // namespace

bool RunIdentityBench(int runs) {
    std::printf("\nhost identity\n");
    Registry();
    bool ok = true;
    Bench bench;
    vx::lab::RunLabScript("link.sh", {"dnsdrop", "off"});

    // Names and makers after one sweep.
    std::unique_ptr<hp::CHostPatrolTool> tool;
    const Seen seen = bench.Sweep(true, 3000, &tool);
    CSortListCtrl* list = tool->Page()->List();
    int names = 0, namesOffered = 0, makers = 0, makersOffered = 0;
    std::vector<qint64> delays;
    for (int row = 0; row < list->RowCount(); ++row) {
        const QString address = list->CellText(row, hp::kColAddress);
        const int n = address.section('.', 3).toInt();
        const QString name = list->CellText(row, hp::kColName);
        const QString maker = list->CellText(row, hp::kColMaker);
        const QString wantName = Lab().HostValue(n, "NAME");
        const QString wantMaker = n == 1 ? Lab().Value("VXLAB_WS_MAKER") : Lab().HostValue(n, "MAKER");
        namesOffered += !wantName.isEmpty();
        names += !wantName.isEmpty() && name == wantName;
        makersOffered += !wantMaker.isEmpty();
        makers += !wantMaker.isEmpty() && maker == wantMaker;
        if (seen.named.contains(address)) delays.push_back(seen.named[address] - seen.answered[address]);
        std::printf("  %-12s %-17s %-16s %s\n", qPrintable(address),
                    qPrintable(list->CellText(row, hp::kColMac)), qPrintable(name), qPrintable(maker));
    }
    tool.reset();
    std::sort(delays.begin(), delays.end());
    std::printf("names %d of %d offered, makers %d of %d (\"随机MAC地址\" included); first answer to "
                "name: median %lld ms, worst %lld ms\n",
                names, namesOffered, makers, makersOffered,
                delays.empty() ? -1LL : (long long)delays[delays.size() / 2],
                delays.empty() ? -1LL : (long long)delays.back());
    ok &= names == namesOffered && makers == makersOffered && !delays.empty() && delays.back() <= 2000;

    // Sweep time, names off and on alternately, first sweep of a fresh page;
    // medians, as other work on the machine makes single sweeps jitter.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (const char* dns : {"off", "on"}) {
        vx::lab::RunLabScript("link.sh", {"dnsdrop", dns});
        std::vector<double> off, on;
        for (int r = 0; r < std::max(runs, 7); ++r) {
            off.push_back(bench.Sweep(false, 0).sweepS);
            on.push_back(bench.Sweep(true, 0).sweepS);
        }
        const double offS = median(off), onS = median(on);
        std::printf("sweeps, resolver %s (median of %zu each): names off %.3f s, names on %.3f s "
                    "(%+.1f %%)\n",
                    dns[1] == 'n' ? "silent" : "answering", off.size(), offS, onS,
                    (onS / offS - 1) * 100);
        ok &= onS <= offS * 1.05;
    }
    vx::lab::RunLabScript("link.sh", {"dnsdrop", "off"});
    std::printf("every name and maker shown, names within 2 s, sweeps within 5 %%: %s\n",
                ok ? "yes" : "NO");
    std::fflush(stdout);
    return ok;
}

}  // namespace vx::bench
