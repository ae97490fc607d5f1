// The connectable network resources of one host, for the plug-ins.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Appends the share names of `host` ("10.0.0.5", "127.0.0.1") to `names` in
// the order the host returns them; leaves `names` unchanged when the listing
// cannot be opened. Runs on any thread.
void EnumHostShares(const QString& host, QStringList& names);
// The same, left out (names unchanged) when `cancelled` says so by the time
// this call's turn to list has come.
void EnumHostShares(const QString& host, QStringList& names,
                    const std::function<bool()>& cancelled);
