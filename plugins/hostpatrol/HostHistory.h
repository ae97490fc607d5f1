// The host patrol's memory: gathers each sweep's results on the UI thread,
// hands every finished sweep to a worker thread that keeps HostHistory.db,
// and brings the alerts and the store's own notices back to the popup and
// the output log. Owned jointly by the patrol tool and the history tool.
#pragma once

#include <QHash>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "plugins/hostpatrol/HistoryAlerts.h"
#include "plugins/hostpatrol/HistoryDb.h"
#include "plugins/hostpatrol/HostProbe.h"

class CHostOutput;

namespace vx::hostpatrol {

// How much history is kept: older or further events are dropped, oldest
// first, a few per sweep so that pruning never stalls one.
struct HistoryLimits {
    qint64 maxAgeSecs = 180LL * 24 * 3600;
    qint64 maxEvents = 1'000'000;
    int pruneStep = 500;  // events dropped at most per sweep
};

class CHostHistory final : public QObject {
    Q_OBJECT
public:
    using Limits = HistoryLimits;

    // Nothing is opened and no thread started before the first use.
    explicit CHostHistory(QString path, Limits limits = {});
    // Writes what is queued (a sweep still being gathered included), then
    // joins the worker: no thread of the plug-in outlives this.
    ~CHostHistory() override;

    const QString& Path() const { return m_path; }
    // Where alerts (popup and log) and notices (log) go. UI thread.
    void SetOutput(::CHostOutput* output) { m_output = output; }

    // The patrol page's hook, UI thread. A sweep is over when as many
    // results as it queued probes have come, or when the next one is queued
    // (its tasks were ended early), or when an address repeats.
    void SweepQueued(int probes);
    void ResultApplied(const HostScanResult& result);

    // A host's name and its card's maker, as the identification found them
    // (UI thread; peer text is cleaned here). Stored with the next sweep.
    void RecordIdentity(const QString& mac, const QString& name, const QString& maker);

    // One whole sweep taken at `now` (seconds since the epoch).
    void RecordSweep(std::vector<SweepHost> hosts, qint64 now);

    // The page's reads, answered on the UI thread through `receiver`, and
    // dropped when it is gone by then.
    void LoadDevices(QObject* receiver, std::function<void(std::vector<DeviceRow>)> done);
    void LoadEvents(const QString& mac, QObject* receiver,
                    std::function<void(std::vector<EventRecord>)> done);
    // Forgets everything; the next sweep starts a new history.
    void Clear(QObject* receiver, std::function<void()> done);

    // Blocks until every job queued so far is done (tests and benches).
    void WaitIdle();
    // Whether the file is in use (after WaitIdle). Any thread.
    bool Available();

private:
    void Post(std::function<void()> job);
    void WorkerLoop();
    // Worker side.
    bool EnsureOpen();
    void WriteSweep(const std::vector<SweepHost>& hosts, qint64 now);
    void Notify(QStringList alerts, QStringList notes);
    void FlushBatch();

    const QString m_path;
    const Limits m_limits;

    // UI thread.
    ::CHostOutput* m_output = nullptr;  // not owned
    std::vector<SweepHost> m_batch;
    QSet<QString> m_batchAddresses;
    int m_expected = 0;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;  // guarded by m_lock
    bool m_busy = false;                       // guarded by m_lock
    bool m_stopping = false;                   // guarded by m_lock
    bool m_available = false;                  // guarded by m_lock
    std::thread m_thread;  // started by the first Post, on the UI thread

    // Worker thread only.
    std::unique_ptr<CHistoryDb> m_db;
    bool m_givenUp = false;
    HistoryState m_state;
    QHash<QString, QPair<QString, QString>> m_identities;  // not yet stored, by MAC
};

// The library's one history, at the data folder's HostHistory.db; made on
// first call and shared by the tools that hold it. UI thread.
std::shared_ptr<CHostHistory> SharedHostHistory();

// What the history takes from a probe result.
SweepHost ToSweepHost(const HostScanResult& result);

}  // namespace vx::hostpatrol
