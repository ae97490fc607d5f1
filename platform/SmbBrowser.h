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
// Guest/anonymous, port 445 only. Thread-safe; listings run in parallel.
//
// Each listing runs in a child process (vx-smblist beside the program, or
// $VX_SMB_LISTER): libsmbclient is not safe for concurrent use in one
// process, does not bound its connect, and a crash in it must not take the
// program down. The child is killed at `timeoutMs`, which therefore bounds
// everything: start, connect, negotiation and enumeration. `cancelled` is
// asked before the child starts and every few milliseconds while it runs;
// when it says yes, the child is killed and the list is empty, so a stopped
// probe never holds up the threads its plug-in waits for at exit.
QStringList ListHostShares(const QString& host, int timeoutMs = 3000,
                           const std::function<bool()>& cancelled = {});

// The lister program this process starts.
QString ShareListerPath();

namespace smb_detail {

// libsmbclient's entry types 3 (file share) and 4 (printer share).
bool KeepShare(unsigned int type, const QString& name);

// Host texts that are safe to put into an smb:// URL: letters, digits, '.',
// '-' and '_' only (no user info, port, path or query can slip in).
bool IsPlainHost(const QString& host);

// The names in a lister's output, or nothing unless the output is complete
// (ends with the line "."); each name cleaned by CleanNetworkText, and
// dropped if nothing is left of it.
QStringList ParseListerOutput(const QByteArray& output);

}  // namespace smb_detail

}  // namespace vx::platform
