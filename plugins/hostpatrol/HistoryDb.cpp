#include "plugins/hostpatrol/HistoryDb.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace vx::hostpatrol {
namespace {

// SQLite's primary result codes that decide what happens to the file.
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kCorrupt = 11;
constexpr int kNotADb = 26;

// Each schema version's steps, in order; a file at version N gets the steps
// after N. Never edit a published step: add one.
const char* const kMigrations[][6] = {
    // 1: devices, the address book, events and the sweep counters.
    {"CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
     "CREATE TABLE devices(mac TEXT PRIMARY KEY, first_seen INTEGER NOT NULL,"
     " last_seen INTEGER NOT NULL, last_address TEXT NOT NULL, times_online INTEGER NOT NULL,"
     " online INTEGER NOT NULL, misses INTEGER NOT NULL)",
     "CREATE TABLE addresses(address TEXT PRIMARY KEY, mac TEXT NOT NULL)",
     "CREATE TABLE events(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, kind INTEGER NOT NULL,"
     " mac TEXT NOT NULL, address TEXT NOT NULL, detail TEXT NOT NULL)",
     "CREATE INDEX events_by_mac ON events(mac, id)", nullptr},
    // 2: the host's name and its card's maker.
    {"ALTER TABLE devices ADD COLUMN name TEXT NOT NULL DEFAULT ''",
     "ALTER TABLE devices ADD COLUMN maker TEXT NOT NULL DEFAULT ''", nullptr},
};
static_assert(std::size(kMigrations) == CHistoryDb::kSchemaVersion);

// Qt keeps connection names in one table per process, while every loaded
// copy of this code (the plug-in, a test or bench linking it as well) counts
// on its own: the counter's address tells the copies apart. A name taken by
// another copy would hand our connection to its thread and drop it on close.
QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("vx-hosthistory-%1-%2")
        .arg(quintptr(&counter), 0, 16)
        .arg(++counter);
}

bool ApplySteps(QSqlDatabase& db, int from, int to, QSqlError* error = nullptr) {
    QSqlQuery q(db);
    bool ok = true;
    for (int version = from; ok && version < to; ++version) {
        for (const char* const* step = kMigrations[version]; ok && *step; ++step)
            ok = q.exec(QString::fromLatin1(*step));
    }
    ok = ok &&
         q.exec(QStringLiteral("PRAGMA application_id=%1").arg(CHistoryDb::kApplicationId)) &&
         q.exec(QStringLiteral("PRAGMA user_version=%1").arg(to));
    if (!ok && error) *error = q.lastError();
    return ok;
}

// A null QString binds as SQL NULL; every text column is NOT NULL.
QString Text(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

qint64 ScalarInt(QSqlQuery& q, bool* ok) {
    *ok = q.next();
    return *ok ? q.value(0).toLongLong() : 0;
}

}  // namespace

int SqliteCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : 0;
}

CHistoryDb::CHistoryDb(QString path) : m_path(std::move(path)), m_connection(NextConnectionName()) {}

CHistoryDb::~CHistoryDb() { Close(); }

QSqlDatabase CHistoryDb::Db() const { return QSqlDatabase::database(m_connection, false); }

void CHistoryDb::Close() {
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = Db();
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    if (m_state == State::Open) m_state = State::Closed;
}

bool CHistoryDb::Exec(const QString& sql) {
    QSqlQuery q(Db());
    return q.exec(sql);
}

CHistoryDb::State CHistoryDb::Open(QStringList& notes) {
    bool damaged = false;
    m_state = OpenOnce(notes, &damaged);
    if (damaged) {
        MoveAside(notes);
        m_state = OpenOnce(notes, &damaged);
        if (damaged) m_state = State::Unavailable;
    }
    return m_state;
}

CHistoryDb::State CHistoryDb::OpenOnce(QStringList& notes, bool* damaged) {
    Close();
    *damaged = false;
    const State state = OpenSteps(notes, damaged);
    // Only now that no query or handle of the steps is left.
    if (state != State::Open) Close();
    return state;
}

CHistoryDb::State CHistoryDb::OpenSteps(QStringList& notes, bool* damaged) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid()) {
        notes << tr(
            "主机历史不可用: 缺少 Qt 的 SQLite 驱动 (libqt6sql6-sqlite)。"
            "巡测照常进行, 但不记录历史。");
        return State::Unavailable;
    }
    db.setDatabaseName(m_path);
    // Another process holding the file is an answer, not something to wait for.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    auto fail = [&](const QSqlError& error) {
        const int code = SqliteCode(error);
        if (code == kCorrupt || code == kNotADb) {
            *damaged = true;
        } else if (code == kBusy || code == kLocked) {
            notes << tr("主机历史文件 %1 正被另一个进程使用。巡测照常进行, 但不记录历史。")
                         .arg(m_path);
        } else {
            notes << tr("主机历史无法写入 %1 (%2)。巡测照常进行, 但不记录历史。")
                         .arg(m_path, error.text());
        }
        return State::Unavailable;
    };
    if (!db.open()) return fail(db.lastError());

    QSqlQuery q(db);
    // Exclusive before the first access: in WAL mode the lock is then taken
    // at the first transaction and kept, and no shared-memory index is made,
    // so a second process cannot open the file at all.
    if (!q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"))) return fail(q.lastError());
    // Look before changing anything: a file that is not ours is moved aside
    // as it was found.
    bool ok = false;
    q.exec(QStringLiteral("PRAGMA application_id"));
    const qint64 appId = ScalarInt(q, &ok);
    if (!ok) return fail(q.lastError());
    q.exec(QStringLiteral("PRAGMA user_version"));
    const qint64 version = ScalarInt(q, &ok);
    if (!ok) return fail(q.lastError());
    q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    const qint64 objects = ScalarInt(q, &ok);
    if (!ok) return fail(q.lastError());
    q.finish();
    if (appId != kApplicationId && (appId != 0 || objects != 0 || version != 0)) {
        *damaged = true;  // a SQLite file of some other program
        return State::Unavailable;
    }
    if (version > kSchemaVersion) {
        notes << tr("主机历史文件 %1 由更新的版本写入, 本版本不改动它。"
                    "巡测照常进行, 但不记录历史。")
                     .arg(m_path);
        return State::Unavailable;
    }

    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) return fail(q.lastError());
    if (!q.next() || q.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0) {
        notes << tr("主机历史无法写入 %1 (文件夹不可写)。巡测照常进行, 但不记录历史。").arg(m_path);
        return State::Unavailable;
    }
    q.finish();
    // A kill -9 loses at most the transaction being written; a power cut may
    // lose the last few, never the file. Full sync would cost each sweep a flush.
    if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) return fail(q.lastError());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail(q.lastError());
    QSqlError error;
    if (version < kSchemaVersion && !ApplySteps(db, int(version), kSchemaVersion, &error)) {
        Exec(QStringLiteral("ROLLBACK"));
        return fail(error);
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QSqlError commitError = q.lastError();
        Exec(QStringLiteral("ROLLBACK"));
        return fail(commitError);
    }
    return State::Open;
}

void CHistoryDb::MoveAside(QStringList& notes) {
    Close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = m_path + QStringLiteral(".bad-") + stamp;
    for (int n = 1; QFile::exists(target); ++n)
        target = m_path + QStringLiteral(".bad-%1-%2").arg(stamp).arg(n);
    const bool moved = QFile::rename(m_path, target);
    // The journal goes along under SQLite's own naming, so the copy stays
    // readable for whoever wants to look at it.
    for (const char* suffix : {"-wal", "-shm"})
        if (QFile::exists(m_path + QLatin1String(suffix)))
            QFile::rename(m_path + QLatin1String(suffix), target + QLatin1String(suffix));
    if (moved) {
        notes << tr("主机历史文件已损坏或不是本程序的文件, 已改名为 %1, 重新开始记录历史。")
                     .arg(QFileInfo(target).fileName());
    } else {
        notes << tr("主机历史文件 %1 已损坏, 且无法改名。巡测照常进行, 但不记录历史。").arg(m_path);
    }
}

bool CHistoryDb::Fail(const QSqlError& error, QStringList& notes) {
    const int code = SqliteCode(error);
    if (code == kCorrupt || code == kNotADb) {
        MoveAside(notes);
        bool damaged = false;
        m_state = OpenOnce(notes, &damaged);
        if (damaged) m_state = State::Unavailable;
        return false;
    }
    notes
        << tr("主机历史无法写入 %1 (%2)。巡测照常进行, 但不再记录历史。").arg(m_path, error.text());
    Close();
    m_state = State::Unavailable;
    return false;
}

bool CHistoryDb::Load(HistoryState& state) {
    state = HistoryState{};
    QSqlQuery q(Db());
    if (!q.exec(QStringLiteral("SELECT key, value FROM meta"))) return false;
    while (q.next()) {
        const QString key = q.value(0).toString();
        if (key == u"sweeps") state.sweeps = q.value(1).toLongLong();
        if (key == u"last_sweep") state.lastSweep = q.value(1).toLongLong();
    }
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT mac, first_seen, last_seen, last_address, name, maker,"
                               " times_online, online, misses FROM devices")))
        return false;
    state.devices.reserve(1024);
    while (q.next()) {
        DeviceRecord d;
        d.mac = q.value(0).toString();
        d.firstSeen = q.value(1).toLongLong();
        d.lastSeen = q.value(2).toLongLong();
        d.lastAddress = q.value(3).toString();
        d.name = q.value(4).toString();
        d.maker = q.value(5).toString();
        d.timesOnline = q.value(6).toInt();
        d.online = q.value(7).toInt() != 0;
        d.misses = q.value(8).toInt();
        // A device that answered the last sweep was seen then (see DeviceRecord).
        if (d.online && d.misses == 0) d.lastSeen = qMax(d.lastSeen, state.lastSweep);
        state.devices.insert(d.mac, d);
    }
    if (!q.exec(QStringLiteral("SELECT address, mac FROM addresses"))) return false;
    while (q.next()) state.addressMac.insert(q.value(0).toString(), q.value(1).toString());
    return true;
}

bool CHistoryDb::WriteSweep(const HistoryState& state, const SweepChanges& changes,
                            QStringList& notes) {
    QSqlError error;
    return WriteSteps(state, changes, &error) || Fail(error, notes);
}

bool CHistoryDb::WriteSteps(const HistoryState& state, const SweepChanges& changes,
                            QSqlError* error) {
    QSqlQuery q(Db());
    auto abort = [&](const QSqlError& why) {
        *error = why;
        q.finish();
        Exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return abort(q.lastError());
    if (!changes.dirtyDevices.isEmpty()) {
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO devices(mac, first_seen, last_seen, last_address, name, maker,"
            " times_online, online, misses) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QString& mac : changes.dirtyDevices) {
            const auto it = state.devices.constFind(mac);
            if (it == state.devices.constEnd()) continue;
            q.addBindValue(Text(it->mac));
            q.addBindValue(it->firstSeen);
            q.addBindValue(it->lastSeen);
            q.addBindValue(Text(it->lastAddress));
            q.addBindValue(Text(it->name));
            q.addBindValue(Text(it->maker));
            q.addBindValue(it->timesOnline);
            q.addBindValue(it->online ? 1 : 0);
            q.addBindValue(it->misses);
            if (!q.exec()) return abort(q.lastError());
        }
    }
    if (!changes.dirtyAddresses.isEmpty()) {
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO addresses(address, mac) VALUES(?, ?)"));
        for (const QString& address : changes.dirtyAddresses) {
            q.addBindValue(Text(address));
            q.addBindValue(Text(state.addressMac.value(address)));
            if (!q.exec()) return abort(q.lastError());
        }
    }
    if (!changes.events.empty()) {
        q.prepare(QStringLiteral(
            "INSERT INTO events(time, kind, mac, address, detail) VALUES(?, ?, ?, ?, ?)"));
        for (const EventRecord& e : changes.events) {
            q.addBindValue(e.time);
            q.addBindValue(int(e.kind));
            q.addBindValue(Text(e.mac));
            q.addBindValue(Text(e.address));
            q.addBindValue(Text(e.detail));
            if (!q.exec()) return abort(q.lastError());
        }
    }
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?), (?, ?)"));
    q.addBindValue(QStringLiteral("sweeps"));
    q.addBindValue(state.sweeps);
    q.addBindValue(QStringLiteral("last_sweep"));
    q.addBindValue(state.lastSweep);
    if (!q.exec()) return abort(q.lastError());
    if (!q.exec(QStringLiteral("COMMIT"))) return abort(q.lastError());
    return true;
}

int CHistoryDb::Prune(qint64 cutoff, qint64 maxEvents, int step) {
    QSqlQuery q(Db());
    if (!q.exec(QStringLiteral("SELECT min(id), max(id) FROM events")) || !q.next()) return -1;
    if (q.value(0).isNull()) return 0;
    // Events are only appended and only dropped from the oldest end, so
    // their ids have no gaps and the count needs no scan.
    const qint64 first = q.value(0).toLongLong();
    const qint64 excess = qMax<qint64>(0, q.value(1).toLongLong() - first + 1 - maxEvents);
    q.finish();
    q.prepare(QStringLiteral("DELETE FROM events WHERE id IN"
                             " (SELECT id FROM events ORDER BY id LIMIT ?)"
                             " AND (id < ? OR time < ?)"));
    q.addBindValue(step);
    q.addBindValue(first + excess);
    q.addBindValue(cutoff);
    if (!q.exec()) return -1;
    return q.numRowsAffected();
}

bool CHistoryDb::WriteIdentity(const QString& mac, const QString& name, const QString& maker) {
    QSqlQuery q(Db());
    q.prepare(QStringLiteral("UPDATE devices SET name=?, maker=? WHERE mac=?"));
    q.addBindValue(Text(name));
    q.addBindValue(Text(maker));
    q.addBindValue(Text(mac));
    return q.exec();
}

bool CHistoryDb::Clear() {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
    for (const char* table : {"events", "devices", "addresses", "meta"}) {
        if (!Exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)))) {
            Exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    return Exec(QStringLiteral("COMMIT"));
}

std::vector<DeviceRow> CHistoryDb::Devices() {
    std::vector<DeviceRow> rows;
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "SELECT mac, first_seen, CASE WHEN online = 1 AND misses = 0 THEN"
            " max(last_seen, coalesce((SELECT value FROM meta WHERE key = 'last_sweep'), 0))"
            " ELSE last_seen END, last_address, name, maker, times_online FROM devices")))
        return rows;
    while (q.next()) {
        rows.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                        q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                        q.value(6).toInt()});
    }
    return rows;
}

std::vector<EventRecord> CHistoryDb::Events(const QString& mac, int limit) {
    std::vector<EventRecord> events;
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT time, kind, address, detail FROM events WHERE mac = ?"
                             " ORDER BY id DESC LIMIT ?"));
    q.addBindValue(Text(mac));
    q.addBindValue(limit);
    if (!q.exec()) return events;
    while (q.next()) {
        events.push_back({q.value(0).toLongLong(), HistoryEvent(q.value(1).toInt()), mac,
                          q.value(2).toString(), q.value(3).toString()});
    }
    return events;
}

qint64 CHistoryDb::EventCount() {
    QSqlQuery q(Db());
    if (!q.exec(QStringLiteral("SELECT max(id) - min(id) + 1 FROM events")) || !q.next()) return -1;
    return q.value(0).toLongLong();
}

bool CHistoryDb::CreateSchemaVersion(const QString& path, int version) {
    const QString name = NextConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open() && ApplySteps(db, 0, version);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

}  // namespace vx::hostpatrol
