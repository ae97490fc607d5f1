// Listing the shares a host offers over SMB.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vx::platform {

// Names of the disk and printer shares of `host` (an IPv4 address or a plain
// host name), in the order the server returns them; administrative names
// ending in '$' are left out. Empty when the host cannot be reached within
// `timeoutMs`, refuses the listing, or the host text is not a plain name.
// Guest/anonymous, port 445 only. Thread-safe.
//
// libsmbclient is loaded on first use, so a process that never lists shares
// (the host program) does not pay for Samba's hundred libraries at start-up.
//
// Listings run one at a time, so a caller may wait for others' timeouts
// before its own begins. `cancelled` is asked once its turn has come: when it
// says yes, nothing is sent and the list is empty. A stopped probe thus does
// not hold up the threads its plug-in waits for at exit.
QStringList ListHostShares(const QString& host, int timeoutMs = 3000,
                           const std::function<bool()>& cancelled = {});

namespace smb_detail {

// libsmbclient's entry types 3 (file share) and 4 (printer share).
bool KeepShare(unsigned int type, const QString& name);

// Host texts that are safe to put into an smb:// URL: letters, digits, '.',
// '-' and '_' only (no user info, port, path or query can slip in).
bool IsPlainHost(const QString& host);

}  // namespace smb_detail

}  // namespace vx::platform
