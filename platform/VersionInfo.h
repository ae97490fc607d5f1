// The version block a plug-in carries in its ELF section ".vx_version"
// (written by vx_add_plugin), read from the file without loading it: a
// library is never dlopen()ed just to be listed, so none of its constructors
// run and a file that is not a library costs nothing.
#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace vx::platform {

// The translation every block is written under (Chinese-PRC, Unicode).
inline constexpr char kVersionTranslation[] = "080404b0";

// The strings of `path`'s version block under `translation` (Comments,
// CompanyName, FileVersion, ProductVersion, ...). False, with `strings`
// empty, when the file is not a whole shared object for this machine, has no
// block, the block is malformed, or it is written under another translation.
bool ReadVersionStrings(const QString& path, const QString& translation,
                        QHash<QString, QString>* strings);

// One string of the block under kVersionTranslation; empty if absent.
QString QueryVersionString(const QString& path, const QString& key);

// The version of this platform library (its soname version). A plug-in
// records the version it was built against in its ELF section ".vx_platform"
// (vx_add_plugin writes it); one that differs must not be loaded, since it
// would call into a library that is not the one it was built for.
int PlatformLibraryVersion();

// The platform version `path` was built against, read from the file without
// loading it; nullopt when it is not a whole shared object for this machine
// or carries no well-formed stamp.
std::optional<int> ReadPlatformStamp(const QString& path);

}  // namespace vx::platform
