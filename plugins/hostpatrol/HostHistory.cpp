#include "plugins/hostpatrol/HostHistory.h"

#include <QDateTime>

#include "contract/ToolContract.h"
#include "platform/NetText.h"
#include "platform/ProgramDir.h"

namespace vx::hostpatrol {

SweepHost ToSweepHost(const HostScanResult& result) {
    SweepHost host{result.address, result.mac, result.otherMacs, {}, result.Answered()};
    for (const QString& share : result.shares)
        host.shares << vx::platform::CleanNetworkText(share);
    return host;
}

CHostHistory::CHostHistory(QString path, Limits limits)
    : m_path(std::move(path)), m_limits(limits) {}

CHostHistory::~CHostHistory() {
    FlushBatch();
    if (!m_thread.joinable()) return;
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CHostHistory::Post(std::function<void()> job) {
    {
        std::lock_guard guard(m_lock);
        m_jobs.push_back(std::move(job));
    }
    if (!m_thread.joinable()) m_thread = std::thread([this] { WorkerLoop(); });
    m_wake.notify_one();
}

void CHostHistory::WorkerLoop() {
    std::unique_lock guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty()) break;  // stopping, and everything is written
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        guard.unlock();
        job();
        guard.lock();
        m_busy = false;
        m_available = m_db && m_db->CurrentState() == CHistoryDb::State::Open;
        if (m_jobs.empty()) m_idle.notify_all();
    }
    guard.unlock();
    // Names still waiting for their device's first sweep have nowhere to go.
    if (m_db && m_db->CurrentState() == CHistoryDb::State::Open) {
        for (auto it = m_identities.cbegin(); it != m_identities.cend(); ++it)
            if (m_state.devices.contains(it.key()))
                m_db->WriteIdentity(it.key(), it->first, it->second);
    }
    // The connection belongs to this thread; it goes with it.
    m_db.reset();
}

void CHostHistory::WaitIdle() {
    std::unique_lock guard(m_lock);
    m_idle.wait(guard, [this] { return m_jobs.empty() && !m_busy; });
}

bool CHostHistory::Available() {
    std::lock_guard guard(m_lock);
    return m_available;
}

void CHostHistory::SweepQueued(int probes) {
    FlushBatch();
    m_expected = probes;
}

void CHostHistory::ResultApplied(const HostScanResult& result) {
    if (m_batchAddresses.contains(result.address)) FlushBatch();
    m_batchAddresses.insert(result.address);
    m_batch.push_back(ToSweepHost(result));
    if (m_expected > 0 && int(m_batch.size()) >= m_expected) FlushBatch();
}

void CHostHistory::FlushBatch() {
    if (m_batch.empty()) return;
    RecordSweep(std::move(m_batch), QDateTime::currentSecsSinceEpoch());
    m_batch.clear();
    m_batchAddresses.clear();
}

void CHostHistory::RecordSweep(std::vector<SweepHost> hosts, qint64 now) {
    Post([this, hosts = std::move(hosts), now] { WriteSweep(hosts, now); });
}

void CHostHistory::RecordIdentity(const QString& mac, const QString& name, const QString& maker) {
    Post([this, mac, name = vx::platform::CleanNetworkText(name),
          maker = vx::platform::CleanNetworkText(maker)] {
        auto it = m_state.devices.find(mac);
        if (it != m_state.devices.end() && it->name == name && it->maker == maker) return;
        m_identities.insert(mac, {name, maker});
    });
}

void CHostHistory::LoadDevices(QObject* receiver,
                               std::function<void(std::vector<DeviceRow>)> done) {
    QPointer<QObject> guard(receiver);
    Post([this, guard, done = std::move(done)] {
        std::vector<DeviceRow> rows;
        if (EnsureOpen()) rows = m_db->Devices();
        QMetaObject::invokeMethod(
            this, [guard, done, rows = std::move(rows)]() mutable {
                if (guard) done(std::move(rows));
            },
            Qt::QueuedConnection);
    });
}

void CHostHistory::LoadEvents(const QString& mac, QObject* receiver,
                              std::function<void(std::vector<EventRecord>)> done) {
    QPointer<QObject> guard(receiver);
    Post([this, mac, guard, done = std::move(done)] {
        std::vector<EventRecord> events;
        if (EnsureOpen()) events = m_db->Events(mac, 1000);
        QMetaObject::invokeMethod(
            this, [guard, done, events = std::move(events)]() mutable {
                if (guard) done(std::move(events));
            },
            Qt::QueuedConnection);
    });
}

void CHostHistory::Clear(QObject* receiver, std::function<void()> done) {
    QPointer<QObject> guard(receiver);
    Post([this, guard, done = std::move(done)] {
        if (EnsureOpen() && m_db->Clear()) {
            m_state = HistoryState{};
            m_identities.clear();
        }
        QMetaObject::invokeMethod(
            this, [guard, done] {
                if (guard) done();
            },
            Qt::QueuedConnection);
    });
}

bool CHostHistory::EnsureOpen() {
    if (m_givenUp) return false;
    if (m_db && m_db->CurrentState() == CHistoryDb::State::Open) return true;
    QStringList notes;
    m_db = std::make_unique<CHistoryDb>(m_path);
    if (m_db->Open(notes) != CHistoryDb::State::Open || !m_db->Load(m_state)) {
        if (m_db->CurrentState() == CHistoryDb::State::Open)
            notes << tr("主机历史文件 %1 无法读取。巡测照常进行, 但不记录历史。").arg(m_path);
        m_db.reset();
        m_state = HistoryState{};
        m_givenUp = true;
    }
    Notify({}, notes);
    return !m_givenUp;
}

void CHostHistory::WriteSweep(const std::vector<SweepHost>& hosts, qint64 now) {
    if (!EnsureOpen()) return;
    SweepChanges changes = ApplySweep(m_state, hosts, now);
    for (auto it = m_identities.begin(); it != m_identities.end();) {
        auto device = m_state.devices.find(it.key());
        if (device == m_state.devices.end()) {
            ++it;
            continue;
        }
        device->name = it->first;
        device->maker = it->second;
        if (!changes.dirtyDevices.contains(it.key())) changes.dirtyDevices << it.key();
        it = m_identities.erase(it);
    }
    QStringList notes;
    if (!m_db->WriteSweep(m_state, changes, notes)) {
        // A damaged file was moved aside and a new one begun, or the file is
        // given up; either way what memory holds no longer matches it.
        m_state = HistoryState{};
        if (m_db->CurrentState() != CHistoryDb::State::Open) {
            m_db.reset();
            m_givenUp = true;
        }
        Notify({}, notes);
        return;
    }
    // Alerts only for what is stored.
    Notify(changes.alerts, notes);
    m_db->Prune(now - m_limits.maxAgeSecs, m_limits.maxEvents, m_limits.pruneStep);
}

void CHostHistory::Notify(QStringList alerts, QStringList notes) {
    if (alerts.isEmpty() && notes.isEmpty()) return;
    QMetaObject::invokeMethod(
        this,
        [this, alerts = std::move(alerts), notes = std::move(notes)] {
            if (!m_output) return;
            for (const QString& note : notes) m_output->OutputMsg(note);
            for (const QString& alert : alerts) {
                m_output->ShowMsg(alert);
                m_output->OutputMsg(alert);
            }
        },
        Qt::QueuedConnection);
}

std::shared_ptr<CHostHistory> SharedHostHistory() {
    static std::weak_ptr<CHostHistory> shared;
    std::shared_ptr<CHostHistory> history = shared.lock();
    if (!history) {
        history = std::make_shared<CHostHistory>(vx::platform::GetDataDir() +
                                                 QStringLiteral("HostHistory.db"));
        shared = history;
    }
    return history;
}

}  // namespace vx::hostpatrol
