#include "host/update/UpgradeRunner.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <limits>

#include "host/update/TrustedKeys.h"
#include "host/update/UpdateInfo.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

namespace vx {

platform::HttpOptions CUpgradeRunner::DownloadOptions() {
    return {.connectTimeoutMs = 10000, .totalTimeoutMs = 0, .stallTimeoutMs = 30000};
}

bool CUpgradeRunner::IsUpgradeTarget(const QString& target) {
    const QString dir = platform::WritablePluginDir();
    return target.startsWith(dir) && IsSafeComponentName(target.mid(dir.size()));
}

void CUpgradeRunner::RunUpgrade(const QList<UpgradeFile>& files) {
    QDir().mkpath(platform::WritablePluginDir());
    for (int i = 0; i < files.size(); ++i) {
        if (m_stop) return;
        if (!IsUpgradeTarget(files[i].target) || !DownloadFile(i, files[i]))
            m_progress(i, 0, kFailed);
    }
    platform::ProfileFile::Settings().WriteString(QStringLiteral("更新升级"),
                                                  QStringLiteral("更新文件数"),
                                                  QStringLiteral("0"));
}

bool CUpgradeRunner::DownloadFile(int row, const UpgradeFile& file) {
    const QString& target = file.target;
    const QString part = target + QStringLiteral(".part");
    const QString backup = target + QStringLiteral(".ov");
    QFile::remove(part);
    if (!Fetch(row, file.source, part) || !IsSigned(file.source, part)) {
        QFile::remove(part);
        return false;
    }
    // Only now is the old file set aside, and only for the two renames.
    QFile::remove(backup);
    if (QFileInfo::exists(target) && !QFile::rename(target, backup)) {
        QFile::remove(part);
        return false;
    }
    if (!QFile::rename(part, target)) {
        QFile::remove(part);
        if (QFileInfo::exists(backup)) QFile::rename(backup, target);
        return false;
    }
    QFile::remove(backup);
    return true;
}

bool CUpgradeRunner::IsSigned(const QString& source, const QString& partPath) {
    QByteArray signatureText;
    QString why;
    if (m_stop || !platform::GetBounded(m_http, SignatureUrl(source), DownloadOptions(),
                                        kMaxSignatureBytes, &signatureText, &why)) {
        qWarning() << "no signature for" << source << ":" << why;
        return false;
    }
    QFile file(partPath);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    // Checked as it lies on disk, the bytes the rename will make the plug-in.
    const uchar* bytes = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !bytes) return false;
    if (!IsSignedByTrustedKey(QByteArrayView(bytes, size), signatureText, &why)) {
        qWarning() << "download" << source << "refused:" << why;
        return false;
    }
    return true;
}

bool CUpgradeRunner::Fetch(int row, const QString& source, const QString& partPath) {
    QFile out(partPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    quint32 total = 0;
    quint32 written = 0;
    bool failed = false;
    QString why;
    const bool ok = m_http.Get(
        source, DownloadOptions(),
        [&](const platform::HttpHead& head) {
            // The progress record holds 32 bits; without an announced
            // length there is no way to tell a whole file from a cut one.
            if (head.contentLength < 0 ||
                head.contentLength > std::numeric_limits<quint32>::max() - 1)
                return false;
            total = static_cast<quint32>(head.contentLength);
            return !m_stop.load();
        },
        [&](const char* data, qsizetype size) {
            if (m_stop || out.write(data, size) != size) {
                failed = true;
                return false;
            }
            written = static_cast<quint32>(out.pos());
            m_progress(row, total, written);
            return true;
        },
        &why);
    // On disk before the rename makes it the plug-in.
    const bool synced = out.flush() && ::fsync(out.handle()) == 0;
    out.close();
    if (!ok || failed || !synced || written != total) {
        qDebug() << "download" << source << "failed:" << why;
        return false;
    }
    return true;
}

}  // namespace vx
