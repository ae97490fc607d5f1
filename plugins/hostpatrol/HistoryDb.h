// The host history file (SQLite through Qt SQL): its schema and migrations,
// opening it for this process alone, and reading and writing what
// HistoryAlerts.h computes. Used by one thread at a time: the store's worker.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <vector>

#include "plugins/hostpatrol/HistoryAlerts.h"

class QSqlDatabase;
class QSqlError;

namespace vx::hostpatrol {

// A device as the history page lists it.
struct DeviceRow {
    QString mac;
    qint64 firstSeen = 0;
    qint64 lastSeen = 0;
    QString lastAddress;
    QString name;
    QString maker;
    int timesOnline = 0;
};

class CHistoryDb {
    Q_DECLARE_TR_FUNCTIONS(CHistoryDb)

public:
    // The schema this build writes; files from 1 on are migrated up.
    static constexpr int kSchemaVersion = 2;
    // Marks the file as ours, so that a foreign SQLite file is not mistaken
    // for an empty history.
    static constexpr int kApplicationId = 0x56584848;

    enum class State {
        Closed,
        Open,
        // Not usable this run (in use by another process, read-only folder,
        // disk full, a newer schema): the patrol goes on without history.
        Unavailable,
    };

    explicit CHistoryDb(QString path);
    ~CHistoryDb();
    CHistoryDb(const CHistoryDb&) = delete;
    CHistoryDb& operator=(const CHistoryDb&) = delete;

    // Opens the file for this process alone, creating or migrating it. A
    // damaged or foreign file is moved aside (path + ".bad-<time>") and a new
    // one started. Every line for the output log goes to `notes`.
    State Open(QStringList& notes);
    State CurrentState() const { return m_state; }
    const QString& Path() const { return m_path; }

    // Everything the alerts need, from the file.
    bool Load(HistoryState& state);
    // One sweep in one transaction. On failure the file is moved aside when
    // damaged (then Open again) or given up for this run; `notes` says which.
    bool WriteSweep(const HistoryState& state, const SweepChanges& changes, QStringList& notes);
    // Drops at most `step` events that are older than `cutoff` or beyond
    // `maxEvents`, oldest first. The number dropped, or -1 on failure.
    int Prune(qint64 cutoff, qint64 maxEvents, int step);
    bool WriteIdentity(const QString& mac, const QString& name, const QString& maker);
    // Forgets every device and event: the next sweep starts a new history.
    bool Clear();

    std::vector<DeviceRow> Devices();
    // The device's events, newest first, at most `limit`.
    std::vector<EventRecord> Events(const QString& mac, int limit);
    qint64 EventCount();

    // Creates the schema of `version` (tests: a file as an older build left it).
    static bool CreateSchemaVersion(const QString& path, int version);

private:
    State OpenOnce(QStringList& notes, bool* damaged);
    State OpenSteps(QStringList& notes, bool* damaged);
    bool WriteSteps(const HistoryState& state, const SweepChanges& changes, QSqlError* error);
    void Close();
    bool Exec(const QString& sql);
    bool Migrate(int from);
    // Classifies the last error: damaged files are moved aside and reopened,
    // anything else gives the history up for this run. Always false.
    bool Fail(const QSqlError& error, QStringList& notes);
    void MoveAside(QStringList& notes);
    QSqlDatabase Db() const;

    const QString m_path;
    const QString m_connection;
    State m_state = State::Closed;
};

// SQLite's primary result code inside a Qt SQL error, 0 when there is none.
int SqliteCode(const QSqlError& error);

}  // namespace vx::hostpatrol
