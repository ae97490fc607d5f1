// What the host history remembers about the LAN, and how one sweep changes
// it: which devices are new, which went offline or came back, which address
// answered with another MAC and which with two. No file and no thread here;
// the store (HostHistory.h) runs it on its worker and writes what it returns.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace vx::hostpatrol {

// Stored as numbers: never renumber.
enum class HistoryEvent : int {
    Online = 1,
    Offline = 2,
    NewDevice = 3,
    NewShare = 4,
    AddressChange = 5,
    AddressConflict = 6,
};
// "上线", "下线", ...: how the history page names a kind.
QString EventKindText(HistoryEvent kind);

// One address of one sweep as the history sees it.
struct SweepHost {
    QString address;
    QString mac;          // empty when silent
    QStringList otherMacs;  // further MACs that answered for the address
    QStringList shares;
    bool answered = false;
};

struct DeviceRecord {
    QString mac;
    qint64 firstSeen = 0;  // seconds since the epoch
    // The last answer. While the device answers every sweep the store keeps
    // this in memory only (the sweep's own time stands for it on disk), so a
    // quiet LAN costs one row per sweep, not one per host.
    qint64 lastSeen = 0;
    QString lastAddress;
    QString name;
    QString maker;
    int timesOnline = 0;  // online periods, the first sighting included
    bool online = false;
    int misses = 0;  // unanswered sweeps in a row while online
    // This online period's shares. Not stored: after a restart the first
    // answer sets them silently, as the page does for a host it first lists.
    QStringList knownShares;
    bool sharesKnown = false;
};

struct EventRecord {
    qint64 time = 0;
    HistoryEvent kind = HistoryEvent::Online;
    QString mac;
    QString address;
    QString detail;  // the other MAC of a change or conflict, a share's name

    bool operator==(const EventRecord&) const = default;
};

struct HistoryState {
    QHash<QString, DeviceRecord> devices;  // by MAC
    QHash<QString, QString> addressMac;    // the MAC an address answered with last
    QSet<QString> conflicts;               // "address mac mac" pairs seen last time
    qint64 sweeps = 0;                     // recorded so far; 0 = a new history
    qint64 lastSweep = 0;                  // time of the last recorded sweep
};

// What one sweep changed, for the store to write in one transaction.
struct SweepChanges {
    std::vector<EventRecord> events;
    QStringList alerts;          // lines for the popup and the output log
    QStringList dirtyDevices;    // MACs whose stored row changed
    QStringList dirtyAddresses;  // addresses whose stored MAC changed
};

// Unanswered sweeps a device rides out before it counts as offline, as the
// patrol page does for its rows.
inline constexpr int kAbsorbedMisses = 3;

// Applies one sweep taken at `now`. Addresses without a result in `hosts`
// (a sweep cut short) tell nothing: their devices keep their state. The
// first sweep of a new history records without alerting.
SweepChanges ApplySweep(HistoryState& state, const std::vector<SweepHost>& hosts, qint64 now);

}  // namespace vx::hostpatrol
