#include "platform/ProgramDir.h"

#include <QFile>
#include <QFileInfo>

namespace vx::platform {

QString GetProgramDir() {
    QString dir = qEnvironmentVariable("VX_PROGRAM_DIR");
    if (dir.isEmpty()) dir = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    if (!dir.endsWith('/')) dir += '/';
    return dir;
}

QString SettingsFilePath() { return GetProgramDir() + QStringLiteral("Vexmor.ini"); }

QString GetDataDir() { return QFileInfo(SettingsFilePath()).absolutePath() + u'/'; }

}  // namespace vx::platform
