// This machine's name and IPv4 addresses, without DNS.
#pragma once

#include <QString>
#include <QStringList>

namespace vx::platform {

// gethostname(); empty if it fails.
QString LocalHostName();

// Dotted IPv4 addresses of the interfaces that are up, loopback excluded, in
// interface order. This is what the host name's lookup returns on a desktop
// whose resolver maps the name to the real interfaces; Debian's resolver would
// answer 127.0.1.1 instead, so the interfaces are asked directly.
QStringList LocalIPv4Addresses();

}  // namespace vx::platform
