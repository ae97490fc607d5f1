#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vx::platform {
namespace {

const QString kSettingsName = QStringLiteral("Vexmor.ini");

// Writable for this process's effective ids. A path that is not there says
// nothing about writability: Vexmor.ini is created on first write.
bool Refuses(const QString& path) {
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0)
        return false;
    return errno != ENOENT;
}

// An XDG base directory: the variable when it holds an absolute path, else
// the default under the home folder.
QString XdgHome(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::homePath() + u'/' + QLatin1String(fallback);
}

// `dir` (ending in '/') and its parents, the last one private to the user.
QString Ensured(const QString& dir) {
    if (!QFileInfo(dir).isDir()) {
        QDir().mkpath(QFileInfo(dir.chopped(1)).path());
        ::mkdir(QFile::encodeName(dir).constData(), 0700);
    }
    return dir;
}

}  // namespace

QString GetProgramDir() {
    QString dir = qEnvironmentVariable("VX_PROGRAM_DIR");
    if (dir.isEmpty()) dir = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    if (!dir.endsWith('/')) dir += '/';
    return dir;
}

bool UsesPerUserFolders() {
    const QString dir = GetProgramDir();
    return Refuses(dir) || Refuses(dir + kSettingsName) ||
           QFileInfo::exists(dir + QLatin1String(kPerUserMarker));
}

QString SettingsFilePath() {
    if (!UsesPerUserFolders()) return GetProgramDir() + kSettingsName;
    return Ensured(XdgHome("XDG_CONFIG_HOME", ".config") + QStringLiteral("/vexmor/")) +
           kSettingsName;
}

QString GetDataDir() {
    if (!UsesPerUserFolders()) return GetProgramDir();
    return Ensured(XdgHome("XDG_DATA_HOME", ".local/share") + QStringLiteral("/vexmor/"));
}

QString SystemPluginDir() { return GetProgramDir() + QStringLiteral("ToolDlls/"); }

QString WritablePluginDir() {
    return UsesPerUserFolders() ? GetDataDir() + QStringLiteral("ToolDlls/") : SystemPluginDir();
}

QStringList PluginDirs() {
    if (!UsesPerUserFolders()) return {SystemPluginDir()};
    return {SystemPluginDir(), WritablePluginDir()};
}

}  // namespace vx::platform
