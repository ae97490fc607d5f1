#include "plugins/common/EnumHostShares.h"

#include "platform/SmbBrowser.h"

void EnumHostShares(const QString& host, QStringList& names) { EnumHostShares(host, names, {}); }

void EnumHostShares(const QString& host, QStringList& names,
                    const std::function<bool()>& cancelled) {
    names += vx::platform::ListHostShares(host, 3000, cancelled);
}
