// The connectable network resources of one host, for the plug-ins.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Appends the share names of `host` ("10.0.0.5", "127.0.0.1") to `names` in
// the order the host returns them; leaves `names` unchanged when the listing
// cannot be opened. Runs on any thread, in parallel with other listings, and
// returns within 3 s whatever the host does.
void EnumHostShares(const QString& host, QStringList& names);
// The same, ended at once (names unchanged) as soon as `cancelled` says so.
void EnumHostShares(const QString& host, QStringList& names,
                    const std::function<bool()>& cancelled);
