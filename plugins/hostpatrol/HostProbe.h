// One probe of one address: does the host answer ARP, and what does it share.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "platform/Neighbour.h"

namespace vx::hostpatrol {

// What a probe found, handed to the page as a copy. A result counts as
// answered when its time is not empty.
struct HostScanResult {
    QString address;
    QString mac;         // empty when the host did not answer
    QString time;        // local time of the answer, "%y-%m-%d %H:%M:%S"
    QStringList shares;  // empty when silent or when shares were not asked for
    // Further MACs that answered for the same address within this sweep's
    // deadline (two stations claiming one address), in the order they came.
    QStringList otherMacs;

    bool Answered() const { return !time.isEmpty(); }
};

// The ARP answers of one sweep, asked of every address at the sweep's start
// and shared by the sweep's probes. Thread-safe.
class ISweepTable {
public:
    virtual ~ISweepTable() = default;
    // True, with `mac` and any further MACs that answered the same address
    // (`otherMacs`), as soon as the table holds `address`'s answer; false at
    // the sweep's common deadline, or at once when `stopped` says so.
    virtual bool ResolveMac(const QString& address, QString& mac, QStringList& otherMacs,
                            const std::function<bool()>& stopped) = 0;
};

// The network calls of a probe. Probes run on many threads at once, so an
// implementation must be thread-safe; tests substitute fakes so that no unit
// test ever sends a packet.
class IHostProbe {
public:
    virtual ~IHostProbe() = default;
    // True, with `mac` set, when the host answered an ARP request.
    virtual bool ResolveMac(const QString& address, QString& mac) = 0;
    // The same for a probe that may be stopped meanwhile: silent as soon as
    // `stopped` says so, so that an exit need not wait out the deadline.
    virtual bool ResolveMacUnlessStopped(const QString& address, QString& mac,
                                         const std::function<bool()>& stopped) {
        return (!stopped || !stopped()) && ResolveMac(address, mac);
    }
    // Appends the host's connectable shares in the order the host lists them.
    virtual void EnumHostShares(const QString& host, QStringList& names) = 0;
    // The same for a probe that may be stopped meanwhile: the listing ends,
    // with nothing listed, once `stopped` says so; a stopped probe's thread
    // is still waited for when the plug-in goes.
    virtual void EnumHostSharesUnlessStopped(const QString& host, QStringList& names,
                                             const std::function<bool()>& stopped) {
        if (!stopped || !stopped()) EnumHostShares(host, names);
    }
    // A line for the output log when probes are less exact than they could
    // be, empty otherwise. Asked once, from a probe thread.
    virtual QString RouteNotice() { return {}; }
    // Starts asking every one of `addresses` at once and returns at once;
    // null when this probe asks each address only when its task runs.
    virtual std::shared_ptr<ISweepTable> BeginSweep(const QStringList& addresses) {
        (void)addresses;
        return nullptr;
    }
};

// The real probe: neighbour resolution and SMB share listing.
class CNetworkProbe final : public IHostProbe {
public:
    bool ResolveMac(const QString& address, QString& mac) override;
    bool ResolveMacUnlessStopped(const QString& address, QString& mac,
                                 const std::function<bool()>& stopped) override;
    void EnumHostShares(const QString& host, QStringList& names) override;
    void EnumHostSharesUnlessStopped(const QString& host, QStringList& names,
                                     const std::function<bool()>& stopped) override;
    // Says so when the kernel's neighbour table stands in for raw ARP, with
    // the command that enables the exact route.
    QString RouteNotice() override;
    // Every address asked at once in the process's route.
    std::shared_ptr<ISweepTable> BeginSweep(const QStringList& addresses) override;
};

// A sweep table over the platform's ARP sweep (ArpSweep) in `mode`.
std::shared_ptr<ISweepTable> MakeArpSweepTable(
    const QStringList& addresses, vx::platform::ResolveMode mode = vx::platform::DefaultResolveMode(),
    int deadlineMs = vx::platform::kDefaultResolveDeadlineMs);

// Runs one probe: resolve (from `sweep` when there is one), stamp the local
// time, list shares if asked to and not `stopped` (a stopped probe's result
// goes nowhere).
HostScanResult RunProbe(IHostProbe& probe, const QString& address, bool withShares,
                        const std::function<bool()>& stopped = {}, ISweepTable* sweep = nullptr);

// The first three dotted parts of this machine's first IPv4 address
// ("192.168.1" for 192.168.1.23), or "" when it has none.
QString GetLocalSubnetPrefix();
// The part of `address` before its last '.', or "" when there is none.
QString SubnetPrefixOf(const QString& address);

// "docs;music;" for docs and music, "" for none.
QString JoinShares(const QStringList& shares);

}  // namespace vx::hostpatrol
