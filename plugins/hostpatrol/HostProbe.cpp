#include "plugins/hostpatrol/HostProbe.h"

#include <QCoreApplication>
#include <QDateTime>

#include "platform/ArpSweep.h"
#include "platform/Neighbour.h"
#include "platform/NetworkInfo.h"
#include "plugins/common/EnumHostShares.h"

namespace vx::hostpatrol {

bool CNetworkProbe::ResolveMac(const QString& address, QString& mac) {
    return vx::platform::ResolveMac(address, mac);
}

bool CNetworkProbe::ResolveMacUnlessStopped(const QString& address, QString& mac,
                                            const std::function<bool()>& stopped) {
    return vx::platform::ResolveMacWith(vx::platform::DefaultResolveMode(), address, mac,
                                        vx::platform::kDefaultResolveDeadlineMs, stopped);
}

namespace {

class CArpSweepTable final : public ISweepTable {
public:
    CArpSweepTable(const QStringList& addresses, vx::platform::ResolveMode mode, int deadlineMs)
        : m_sweep(addresses, mode, deadlineMs) {}
    bool ResolveMac(const QString& address, QString& mac, QStringList& otherMacs,
                    const std::function<bool()>& stopped) override {
        return m_sweep.Wait(address, mac, &otherMacs, stopped);
    }

private:
    vx::platform::ArpSweep m_sweep;
};

}  // namespace

std::shared_ptr<ISweepTable> MakeArpSweepTable(const QStringList& addresses,
                                               vx::platform::ResolveMode mode, int deadlineMs) {
    return std::make_shared<CArpSweepTable>(addresses, mode, deadlineMs);
}

std::shared_ptr<ISweepTable> CNetworkProbe::BeginSweep(const QStringList& addresses) {
    return MakeArpSweepTable(addresses);
}

QString CNetworkProbe::RouteNotice() {
    if (vx::platform::ActiveRoute() != vx::platform::ResolveMode::NeighbourTable) return {};
    const QString prefix = GetLocalSubnetPrefix();
    const int lateS = (vx::platform::NeighbourExtraDelayMs(prefix + QStringLiteral(".1")) + 999) / 1000;
    return QCoreApplication::translate("CNetworkProbe",
                                       "主机巡测没有原始 ARP 可用, 改读内核邻居表: "
                                       "主机下线最多晚 %1 秒才会报告。启用精确模式: %2")
        .arg(lateS)
        .arg(vx::platform::ExactModeCommand());
}

void CNetworkProbe::EnumHostShares(const QString& host, QStringList& names) {
    ::EnumHostShares(host, names);
}

void CNetworkProbe::EnumHostSharesUnlessStopped(const QString& host, QStringList& names,
                                                const std::function<bool()>& stopped) {
    ::EnumHostShares(host, names, stopped);
}

HostScanResult RunProbe(IHostProbe& probe, const QString& address, bool withShares,
                        const std::function<bool()>& stopped, ISweepTable* sweep) {
    HostScanResult result;
    result.address = address;
    QString mac;
    QStringList others;
    const bool answered = sweep ? sweep->ResolveMac(address, mac, others, stopped)
                                : probe.ResolveMacUnlessStopped(address, mac, stopped);
    if (!answered) return result;
    result.otherMacs = others;
    result.mac = mac;
    result.time = QDateTime::currentDateTime().toString(QStringLiteral("yy-MM-dd HH:mm:ss"));
    if (withShares) probe.EnumHostSharesUnlessStopped(address, result.shares, stopped);
    return result;
}

QString SubnetPrefixOf(const QString& address) {
    const qsizetype dot = address.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : address.left(dot);
}

QString GetLocalSubnetPrefix() {
    const QStringList addresses = vx::platform::LocalIPv4Addresses();
    return addresses.isEmpty() ? QString() : SubnetPrefixOf(addresses.first());
}

QString JoinShares(const QStringList& shares) {
    QString text;
    for (const QString& name : shares) text += name + QLatin1Char(';');
    return text;
}

}  // namespace vx::hostpatrol
