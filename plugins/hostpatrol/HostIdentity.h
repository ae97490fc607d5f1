// Who each host is: the maker of its network card and the name the LAN gives
// it. Asked with (address, MAC) whenever a probe sees a host; answers on the
// UI thread, later, through Identified(), so a sweep never waits for a name.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/HostNames.h"
#include "platform/MacVendors.h"

class CHostOutput;

namespace vx::hostpatrol {

// Finds a host's name; blocking, bounded, thread-safe. Tests substitute fakes
// so that no unit test asks the network.
class IHostNamer {
public:
    virtual ~IHostNamer() = default;
    // The name of `address`, cleaned for showing, or "" when no source gave
    // one. Returns promptly once `cancel` is set.
    virtual QString NameOf(const QString& address, const platform::LookupCancel& cancel) = 0;
};

// Reverse DNS, NetBIOS node status and multicast DNS (platform/HostNames.h).
class CNetworkNamer final : public IHostNamer {
public:
    QString NameOf(const QString& address, const platform::LookupCancel& cancel) override;
};

// Lives on the UI thread, owned by the tool; its destructor cuts every
// lookup short and joins its threads.
class CHostIdentity final : public QObject {
    Q_OBJECT
public:
    // A null `namer` leaves names empty; the registry is read from
    // `registryDir` on a thread of its own, once something asks for a host
    // (or LoadRegistry is called), so a start that never sweeps never reads it.
    explicit CHostIdentity(std::shared_ptr<IHostNamer> namer,
                           const QString& registryDir = QString::fromLatin1(platform::kIeeeDataDir));
    ~CHostIdentity() override;

    // Where the one line about a missing registry goes; set before Identify.
    void SetOutput(::CHostOutput* output) { m_output = output; }

    // Reports what is known of the host at once (queued), and again when a
    // name lookup that this starts has ended. A name is looked up once per
    // address and MAC and kept for ten minutes.
    void Identify(const QString& address, const QString& mac);

    // Starts reading the registry if nothing has yet; Identify calls it.
    void LoadRegistry();
    bool RegistryReady() const { return m_vendors != nullptr; }
    // What the registry says of `mac` now ("" until it has been read).
    QString MakerOf(const QString& mac) const;

    // Tests age the names themselves (steady milliseconds).
    void SetClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    static constexpr qint64 kNameLifetimeMs = 10 * 60 * 1000;
    static constexpr size_t kMaxLookups = 16;

signals:
    void Identified(const QString& address, const QString& mac, const QString& name,
                    const QString& maker);

private:
    struct Known {
        QString name;
        qint64 lookedUpAt = 0;  // steady ms; 0 while the first lookup runs
        bool looking = false;
    };
    struct Job {
        QString address;
        QString mac;
    };
    void OnRegistry(std::shared_ptr<const platform::MacVendors> vendors);
    void OnNamed(const QString& address, const QString& mac, const QString& name);
    void Report(const QString& address, const QString& mac, const QString& name);
    void Work();

    std::shared_ptr<IHostNamer> m_namer;
    std::shared_ptr<const platform::MacVendors> m_vendors;  // UI thread only
    QString m_registryDir;
    ::CHostOutput* m_output = nullptr;
    std::function<qint64()> m_clock;
    QHash<QString, Known> m_known;  // by "address|mac"; UI thread only

    platform::LookupCancel m_cancel;
    std::thread m_loader;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;              // guarded by m_lock
    std::vector<std::thread> m_workers;  // guarded by m_lock
    size_t m_idle = 0;                   // guarded by m_lock
    bool m_stopping = false;             // guarded by m_lock
};

// A maker as the pages show it: a registry's name as it is, the mark of a
// made-up MAC ("随机MAC地址", which the history stores as it is) in the
// language of the interface.
QString ShownMaker(const QString& maker);

}  // namespace vx::hostpatrol
