#include "platform/HelperPrograms.h"

#include <QFile>
#include <QFileInfo>

namespace vx::platform {

QString HelperProgramPath(const char* envName, const QString& fileName) {
    const QString pinned = qEnvironmentVariable(envName);
    if (!pinned.isEmpty()) return pinned;
    const QString exeDir = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    const QString beside = exeDir + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(beside)) return beside;
    const QString sibling = exeDir + QStringLiteral("/../bin/") + fileName;
    return QFileInfo::exists(sibling) ? QFileInfo(sibling).canonicalFilePath() : beside;
}

}  // namespace vx::platform
