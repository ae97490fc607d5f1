#include "platform/DesktopServices.h"

#include <QDesktopServices>

namespace vx::platform {
namespace {
std::function<bool(const QUrl&)>& Observer() {
    static std::function<bool(const QUrl&)> f;
    return f;
}
}  // namespace

bool OpenUrl(const QUrl& url) {
    if (Observer()) return Observer()(url);
    return QDesktopServices::openUrl(url);
}

QUrl HostSharesUrl(const QString& host) {
    QUrl url;
    url.setScheme(QStringLiteral("smb"));
    url.setHost(host);
    url.setPath(QStringLiteral("/"));
    return url;
}

void SetOpenUrlObserver(std::function<bool(const QUrl&)> observer) {
    Observer() = std::move(observer);
}

}  // namespace vx::platform
