#include "plugins/common/EnumHostShares.h"

#include "platform/SmbBrowser.h"

void EnumHostShares(const QString& host, QStringList& names) {
    names += vx::platform::ListHostShares(host);
}
