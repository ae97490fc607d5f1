// Replacing a file's contents so that a reader sees the old file or the new
// one, never a cut-off one: written beside it, flushed and synced, renamed.
#pragma once

#include <QByteArray>
#include <QString>

namespace vx::platform {

// False, with the old file (or no file) left as it was, when any step fails;
// `error` then says why.
bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error = nullptr);

}  // namespace vx::platform
