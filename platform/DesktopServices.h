// Opening a URL, a folder or a host's shares with the desktop's handler.
#pragma once

#include <QUrl>

#include <functional>

namespace vx::platform {

// QDesktopServices::openUrl, unless a test installed an observer.
bool OpenUrl(const QUrl& url);
// "smb://host/" for a host's shares.
QUrl HostSharesUrl(const QString& host);

// Tests: see the URLs instead of opening them; empty restores the real one.
void SetOpenUrlObserver(std::function<bool(const QUrl&)> observer);

}  // namespace vx::platform
