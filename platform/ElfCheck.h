// Whether a file is a whole ELF shared object that this program could load.
//
// dlopen maps a library's segments straight from the file. A library cut
// short (a disk that filled during a copy or an update) still has valid
// headers, but its segments reach past the end of the file, and touching the
// missing pages raises SIGBUS inside the loader — at every start. So every
// library is checked here before it is opened or read: class, byte order and
// machine equal the running program's, the type is a shared object, and every
// program header's segment, the section header table and every section with
// file contents lie inside the file. Only headers are read; nothing is mapped.
#pragma once

#include <QString>

namespace vx::platform {

// True when `path` passes every check above. Otherwise false, and `why`
// (when given) says which check failed, for the debug log.
bool IsWholeSharedObject(const QString& path, QString* why = nullptr);

}  // namespace vx::platform
