// Task engine figures, with the scheduler polling only and with it also woken
// when a task is added or removes itself, side by side:
//  - time from AddTask to Start: one task at a time into an idle manager, and
//    a burst of tasks that must queue for a slot, at maxima 32 and 256;
//  - throughput of short tasks (each on a thread of its own, as tools do);
//  - CPU the scheduler thread uses while there is nothing to do.
//
// Usage: TaskEngineBench [short-task count, default 10000]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "contract/ToolContract.h"
#include "host/tasks/TaskManager.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Counts status reports without touching any window.
class CountingOutput : public CHostOutput {
public:
    void OutputMsg(const QString&) override {}
    void SetStatusText(int, const QString&) override { reports.fetch_add(1); }
    void ShowMsg(const QString&) override {}
    std::atomic<long> reports{0};
};

struct Batch {
    std::vector<Clock::time_point> added;
    std::vector<Clock::time_point> started;
    std::atomic<int> finished{0};
    std::mutex lock;
    std::vector<std::thread> threads;  // guarded by lock
};

// Records its start time, runs `work` on its own thread, removes itself.
class BenchTask : public CTask {
public:
    BenchTask(::CTaskManager* m, Batch* b, int index, std::chrono::microseconds work)
        : m_manager(m), m_batch(b), m_index(index), m_work(work) {}
    int Start() override {
        m_batch->started[m_index] = Clock::now();
        std::lock_guard lock(m_batch->lock);
        m_batch->threads.emplace_back([this] {
            if (m_work.count() > 0) std::this_thread::sleep_for(m_work);
            Batch* batch = m_batch;
            m_manager->RemoveTask(this);
            delete this;
            batch->finished.fetch_add(1);
        });
        return 0;
    }
    int Stop() override { return 0; }
    QString GetTypeName() override { return QStringLiteral("bench"); }

private:
    ::CTaskManager* m_manager;
    Batch* m_batch;
    int m_index;
    std::chrono::microseconds m_work;
};

void JoinAll(Batch& b) {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(b.lock);
        threads.swap(b.threads);
    }
    for (auto& t : threads) t.join();
}

void WaitFinished(Batch& b, int n) {
    while (b.finished.load() < n) std::this_thread::sleep_for(200us);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Percentiles {
    double median, p99;
};

Percentiles Latencies(const Batch& b, int n) {
    std::vector<double> ms;
    ms.reserve(n);
    for (int i = 0; i < n; ++i) ms.push_back(Ms(b.started[i] - b.added[i]));
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

vx::SchedulerOptions Mode(bool wake) {
    vx::SchedulerOptions o;
    o.wakeOnChange = wake;
    return o;
}

const char* ModeName(bool wake) { return wake ? "wake" : "poll"; }

// One task at a time into an idle manager, at a random phase of the tick.
Percentiles SingleLatency(bool wake, int maximum, int samples) {
    CountingOutput out;
    Batch b;
    b.added.resize(samples);
    b.started.resize(samples);
    vx::CTaskManager m(&out, Mode(wake));
    m.SetMaxThreads(maximum);
    m.StartScheduler();
    std::srand(7);
    for (int i = 0; i < samples; ++i) {
        // A random phase of the 100 ms tick, or the previous task's own
        // timing would lock every sample to the same point of the period.
        std::this_thread::sleep_for(std::chrono::microseconds(std::rand() % 100000));
        b.added[i] = Clock::now();
        m.AddTask(new BenchTask(&m, &b, i, 0us));
        WaitFinished(b, i + 1);
    }
    JoinAll(b);
    return Latencies(b, samples);
}

struct BurstResult {
    Percentiles latency;
    double seconds;
    long reports;
};

// `n` tasks added at once, each working for `work`.
BurstResult Burst(bool wake, int maximum, int n, std::chrono::microseconds work) {
    CountingOutput out;
    Batch b;
    b.added.resize(n);
    b.started.resize(n);
    BurstResult r{};
    {
        vx::CTaskManager m(&out, Mode(wake));
        m.SetMaxThreads(maximum);
        m.StartScheduler();
        const auto begin = Clock::now();
        for (int i = 0; i < n; ++i) {
            b.added[i] = Clock::now();
            m.AddTask(new BenchTask(&m, &b, i, work));
        }
        WaitFinished(b, n);
        r.seconds = Ms(Clock::now() - begin) / 1000.0;
    }
    JoinAll(b);
    r.latency = Latencies(b, n);
    r.reports = out.reports.load();
    return r;
}

double ThreadCpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU of the whole process over `span` while only the scheduler runs.
double IdleCpuPercent(bool wake, std::chrono::seconds span) {
    CountingOutput out;
    vx::CTaskManager m(&out, Mode(wake));
    m.StartScheduler();
    std::this_thread::sleep_for(200ms);
    const double cpu0 = ThreadCpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(span);
    const double cpu = ThreadCpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    return 100.0 * cpu / Ms(Clock::now() - t0);
}

}  // namespace

int main(int argc, char** argv) {
    const int shortTasks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    std::printf(
        "task engine benchmark (period 100 ms; poll = tick only, wake = tick + wake on "
        "add/remove)\n\n");

    std::printf("AddTask -> Start, one task at a time into an idle manager (100 samples)\n");
    std::printf("%-6s %8s %12s %12s\n", "mode", "maximum", "median ms", "p99 ms");
    for (int maximum : {32, 256})
        for (bool wake : {false, true}) {
            auto p = SingleLatency(wake, maximum, 100);
            std::printf("%-6s %8d %12.3f %12.3f\n", ModeName(wake), maximum, p.median, p.p99);
        }

    std::printf("\nAddTask -> Start, 1000 tasks added at once, each working 2 ms\n");
    std::printf("%-6s %8s %12s %12s %10s %9s\n", "mode", "maximum", "median ms", "p99 ms",
                "total s", "reports");
    for (int maximum : {32, 256})
        for (bool wake : {false, true}) {
            auto r = Burst(wake, maximum, 1000, 2000us);
            std::printf("%-6s %8d %12.3f %12.3f %10.3f %9ld\n", ModeName(wake), maximum,
                        r.latency.median, r.latency.p99, r.seconds, r.reports);
        }

    std::printf("\nThroughput, %d short tasks (no work) added at once\n", shortTasks);
    std::printf("%-6s %8s %10s %12s %9s\n", "mode", "maximum", "total s", "tasks/s", "reports");
    for (int maximum : {32, 256})
        for (bool wake : {false, true}) {
            auto r = Burst(wake, maximum, shortTasks, 0us);
            std::printf("%-6s %8d %10.3f %12.0f %9ld\n", ModeName(wake), maximum, r.seconds,
                        shortTasks / r.seconds, r.reports);
        }

    std::printf("\nScheduler CPU while idle (process CPU over 3 s / wall time)\n");
    for (bool wake : {false, true})
        std::printf("%-6s %8.4f %%\n", ModeName(wake), IdleCpuPercent(wake, 3s));
    return 0;
}
