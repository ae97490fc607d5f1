#include "plugins/hostpatrol/HistoryAlerts.h"

#include <QCoreApplication>

namespace vx::hostpatrol {

QString EventKindText(HistoryEvent kind) {
    switch (kind) {
        case HistoryEvent::Online:
            return QCoreApplication::translate("HistoryAlerts", "上线");
        case HistoryEvent::Offline:
            return QCoreApplication::translate("HistoryAlerts", "下线");
        case HistoryEvent::NewDevice:
            return QCoreApplication::translate("HistoryAlerts", "新设备");
        case HistoryEvent::NewShare:
            return QCoreApplication::translate("HistoryAlerts", "新共享");
        case HistoryEvent::AddressChange:
            return QCoreApplication::translate("HistoryAlerts", "地址变化");
        case HistoryEvent::AddressConflict:
            return QCoreApplication::translate("HistoryAlerts", "地址冲突");
    }
    return QString::number(int(kind));
}

namespace {

class SweepRun {
public:
    SweepRun(HistoryState& state, SweepChanges& out, qint64 now)
        : m_state(state), m_out(out), m_now(now), m_alert(state.sweeps > 0) {}

    void Host(const SweepHost& host) {
        m_probed.insert(host.address);
        if (!host.answered || host.mac.isEmpty()) return;
        QStringList macs{host.mac};
        for (const QString& other : host.otherMacs)
            if (!other.isEmpty() && !macs.contains(other)) macs << other;
        for (const QString& mac : macs)
            Sighting(mac, host.address, mac == host.mac ? &host.shares : nullptr);
        AddressMac(host, macs);
        for (qsizetype i = 1; i < macs.size(); ++i) Conflict(host.address, host.mac, macs[i]);
    }

    void Finish() {
        // A conflict is announced when it starts, not again every sweep it
        // lasts; addresses this sweep did not reach keep theirs.
        for (auto it = m_state.conflicts.begin(); it != m_state.conflicts.end();) {
            if (m_probed.contains(it->section(u' ', 0, 0)))
                it = m_state.conflicts.erase(it);
            else
                ++it;
        }
        m_state.conflicts.unite(m_conflicts);
        for (DeviceRecord& device : m_state.devices) {
            if (!device.online || m_answered.contains(device.mac) ||
                !m_probed.contains(device.lastAddress))
                continue;
            if (++device.misses > kAbsorbedMisses) {
                device.online = false;
                device.misses = 0;
                device.knownShares.clear();
                device.sharesKnown = true;
                Event(HistoryEvent::Offline, device.mac, device.lastAddress);
            }
            Dirty(device.mac);
        }
        ++m_state.sweeps;
        m_state.lastSweep = m_now;
    }

private:
    void Sighting(const QString& mac, const QString& address, const QStringList* shares) {
        m_answered.insert(mac);
        auto it = m_state.devices.find(mac);
        if (it == m_state.devices.end()) {
            DeviceRecord device;
            device.mac = mac;
            device.firstSeen = device.lastSeen = m_now;
            device.lastAddress = address;
            device.timesOnline = 1;
            device.online = true;
            if (shares) device.knownShares = *shares;
            device.sharesKnown = shares != nullptr;
            m_state.devices.insert(mac, device);
            Event(HistoryEvent::NewDevice, mac, address);
            Alert(
                QCoreApplication::translate("HistoryAlerts", "发现新设备%1(%2)").arg(address, mac));
            Dirty(mac);
            return;
        }
        DeviceRecord& device = *it;
        bool changed = device.misses != 0 || device.lastAddress != address;
        if (!device.online) {
            device.online = true;
            ++device.timesOnline;
            Event(HistoryEvent::Online, mac, address);
            changed = true;
        }
        device.misses = 0;
        device.lastAddress = address;
        device.lastSeen = m_now;
        if (shares) {
            if (!device.sharesKnown) {
                device.knownShares = *shares;
                device.sharesKnown = true;
            }
            for (const QString& share : *shares) {
                if (device.knownShares.contains(share)) continue;
                device.knownShares << share;
                Event(HistoryEvent::NewShare, mac, address, share);
            }
        }
        if (changed) Dirty(mac);
    }

    void AddressMac(const SweepHost& host, const QStringList& macs) {
        auto it = m_state.addressMac.find(host.address);
        if (it != m_state.addressMac.end()) {
            // Either of two MACs answering in a conflict is no change of hands.
            if (macs.contains(*it)) return;
            Event(HistoryEvent::AddressChange, host.mac, host.address, *it);
            Alert(QCoreApplication::translate("HistoryAlerts", "%1的MAC地址由%2变为%3")
                      .arg(host.address, *it, host.mac));
            *it = host.mac;
        } else {
            m_state.addressMac.insert(host.address, host.mac);
        }
        m_out.dirtyAddresses << host.address;
    }

    void Conflict(const QString& address, const QString& mac, const QString& other) {
        const QString key = address + u' ' + qMin(mac, other) + u' ' + qMax(mac, other);
        m_conflicts.insert(key);
        if (m_state.conflicts.contains(key)) return;
        Event(HistoryEvent::AddressConflict, mac, address, other);
        Event(HistoryEvent::AddressConflict, other, address, mac);
        Alert(QCoreApplication::translate("HistoryAlerts", "%1地址冲突:%2,%3")
                  .arg(address, mac, other));
    }

    void Event(HistoryEvent kind, const QString& mac, const QString& address,
               const QString& detail = {}) {
        m_out.events.push_back({m_now, kind, mac, address, detail});
    }
    void Alert(const QString& line) {
        if (m_alert) m_out.alerts << line;
    }
    void Dirty(const QString& mac) {
        if (!m_dirty.contains(mac)) {
            m_dirty.insert(mac);
            m_out.dirtyDevices << mac;
        }
    }

    HistoryState& m_state;
    SweepChanges& m_out;
    const qint64 m_now;
    const bool m_alert;
    QSet<QString> m_probed;
    QSet<QString> m_answered;
    QSet<QString> m_conflicts;
    QSet<QString> m_dirty;
};

}  // namespace

SweepChanges ApplySweep(HistoryState& state, const std::vector<SweepHost>& hosts, qint64 now) {
    SweepChanges out;
    SweepRun run(state, out, now);
    for (const SweepHost& host : hosts) run.Host(host);
    run.Finish();
    return out;
}

}  // namespace vx::hostpatrol
