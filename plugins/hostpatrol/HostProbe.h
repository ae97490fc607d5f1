// One probe of one address: does the host answer ARP, and what does it share.
#pragma once

#include <QString>
#include <QStringList>

namespace vx::hostpatrol {

// What a probe found, handed to the page as a copy. A result counts as
// answered when its time is not empty.
struct HostScanResult {
    QString address;
    QString mac;         // empty when the host did not answer
    QString time;        // local time of the answer, "%y-%m-%d %H:%M:%S"
    QStringList shares;  // empty when silent or when shares were not asked for

    bool Answered() const { return !time.isEmpty(); }
};

// The network calls of a probe. Probes run on many threads at once, so an
// implementation must be thread-safe; tests substitute fakes so that no unit
// test ever sends a packet.
class IHostProbe {
public:
    virtual ~IHostProbe() = default;
    // True, with `mac` set, when the host answered an ARP request.
    virtual bool ResolveMac(const QString& address, QString& mac) = 0;
    // Appends the host's connectable shares in the order the host lists them.
    virtual void EnumHostShares(const QString& host, QStringList& names) = 0;
};

// The real probe: neighbour resolution and SMB share listing.
class CNetworkProbe final : public IHostProbe {
public:
    bool ResolveMac(const QString& address, QString& mac) override;
    void EnumHostShares(const QString& host, QStringList& names) override;
};

// Runs one probe: resolve, stamp the local time, list shares if asked to.
HostScanResult RunProbe(IHostProbe& probe, const QString& address, bool withShares);

// The first three dotted parts of this machine's first IPv4 address
// ("192.168.1" for 192.168.1.23), or "" when it has none.
QString GetLocalSubnetPrefix();
// The part of `address` before its last '.', or "" when there is none.
QString SubnetPrefixOf(const QString& address);

// "docs;music;" for docs and music, "" for none.
QString JoinShares(const QStringList& shares);

}  // namespace vx::hostpatrol
