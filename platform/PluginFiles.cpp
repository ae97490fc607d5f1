#include "platform/PluginFiles.h"

#include <QFile>
#include <QSet>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/AsciiCase.h"
#include "platform/ProgramDir.h"

namespace vx::platform {

QList<PluginFile> ListPluginFolder(const QString& dir, bool user) {
    QString folder = dir;
    if (!folder.endsWith(u'/')) folder += u'/';
    const QByteArray encoded = QFile::encodeName(folder);
    QList<PluginFile> files;
    DIR* d = ::opendir(encoded.constData());
    if (!d) return files;
    while (const dirent* ent = ::readdir(d)) {
        const QByteArray raw(ent->d_name);
        if (raw == "." || raw == "..") continue;
        // Only regular files: a FIFO or device named like a library would
        // block or worse when opened.
        struct stat st {};
        if (::stat((encoded + raw).constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const QString name = QFile::decodeName(raw);
        files.append({name, folder + name, user});
    }
    ::closedir(d);
    return files;
}

QList<PluginFile> ListPluginFiles() {
    const QStringList dirs = PluginDirs();
    QList<PluginFile> system = ListPluginFolder(dirs.first());
    if (dirs.size() < 2) return system;
    const QList<PluginFile> user = ListPluginFolder(dirs.last(), true);
    QSet<QString> hidden;
    for (const PluginFile& f : user) hidden.insert(AsciiLower(f.name));
    system.removeIf([&hidden](const PluginFile& f) { return hidden.contains(AsciiLower(f.name)); });
    return system + user;
}

}  // namespace vx::platform
