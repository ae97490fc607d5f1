// The files of the plug-in folders as the program sees them: the program's
// ToolDlls and, with per-user folders, the user's ToolDlls over it (see
// ProgramDir.h). The tool manager, the component list and the update check
// all take their files from here, so they agree on which copy counts.
#pragma once

#include <QList>
#include <QString>

namespace vx::platform {

struct PluginFile {
    QString name;       // as on disk
    QString path;       // folder + name
    bool user = false;  // from the user's folder (per-user folders only)
};

// The regular files (symbolic links followed) directly inside `dir`, in the
// order the file system lists them; none when it cannot be read.
QList<PluginFile> ListPluginFolder(const QString& dir, bool user = false);

// Every file of PluginDirs(): the program's files first, each left out when
// the user's folder holds a file of the same name ignoring ASCII letter case,
// then the user's files. Within one folder nothing is left out.
QList<PluginFile> ListPluginFiles();

}  // namespace vx::platform
