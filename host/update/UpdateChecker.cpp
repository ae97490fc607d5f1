#include "host/update/UpdateChecker.h"

#include <QCoreApplication>
#include <QDebug>

#include "host/update/TrustedKeys.h"
#include "platform/PluginFiles.h"
#include "platform/ProgramDir.h"
#include "platform/VersionInfo.h"

namespace vx {

const QString CUpdateChecker::kMainProgramVersion = QStringLiteral("1.72");
const QString CUpdateChecker::kDefaultUrl =
    QStringLiteral("http://update.vexmor.invalid/vexmor/update.htm");

CUpdateChecker::CUpdateChecker(platform::HttpClient& http) : m_http(http) {}

platform::HttpOptions CUpdateChecker::PageOptions() {
    return {.connectTimeoutMs = 10000, .totalTimeoutMs = 30000, .stallTimeoutMs = 15000};
}

bool CUpdateChecker::HttpGetText(const QString& url, QByteArray* text, QString* why) {
    QString failure;
    const bool ok = platform::GetBounded(m_http, url, PageOptions(), kMaxPageBytes, text, &failure);
    if (!ok) {
        qDebug() << "update page" << url << "not fetched:" << failure;
        if (why) *why = failure;
    }
    return ok;
}

void CUpdateChecker::ScanComponents(QList<ComponentRecord>& out) {
    // Files only, as listed ("." and ".." and folders are not components);
    // with per-user folders, the copies that load.
    for (const platform::PluginFile& file : platform::ListPluginFiles()) {
        const QString name = AsciiLower(file.name);
        if (!name.endsWith(QStringLiteral(".so"))) continue;
        ComponentRecord record;
        record.fileName = name;
        // Names differ by letter case here: a newer version replaces the
        // file under its name on disk, in the folder updates are written to.
        record.target = platform::WritablePluginDir() + file.name;
        record.oldVersion = GetFileVersionText(file.path);
        out.append(record);
    }
}

QString CUpdateChecker::GetFileVersionText(const QString& path) {
    QHash<QString, QString> strings;
    if (!platform::ReadVersionStrings(path, QString::fromLatin1(platform::kVersionTranslation),
                                      &strings) ||
        !strings.contains(QStringLiteral("FileVersion")))
        return QStringLiteral("0.0.0.0");
    return NormaliseVersionText(strings.value(QStringLiteral("FileVersion")));
}

bool CUpdateChecker::CheckUpdates(const QString& url, QList<ComponentRecord>& out,
                                  QString* why) {
    auto fail = [why](const QString& text) {
        if (why) *why = text;
        return false;
    };
    QList<ComponentRecord> installed;
    ScanComponents(installed);
    QByteArray page;
    QString failure;
    if (!HttpGetText(url, &page, &failure))
        return fail(
            QCoreApplication::translate("vx::CUpdateChecker", "取不到更新信息(%1)").arg(failure));
    if (page.isEmpty())
        return fail(QCoreApplication::translate("vx::CUpdateChecker", "更新信息是空的"));
    // Nothing on the page counts before its publisher's signature does.
    QByteArray signatureText;
    if (!platform::GetBounded(m_http, SignatureUrl(url), PageOptions(), kMaxSignatureBytes,
                              &signatureText, &failure))
        return fail(QCoreApplication::translate("vx::CUpdateChecker", "取不到更新信息的签名%1(%2)")
                        .arg(SignatureUrl(url), failure));
    if (!IsSignedByTrustedKey(page, signatureText, &failure))
        return fail(QCoreApplication::translate("vx::CUpdateChecker", "更新信息的签名无效(%1)")
                        .arg(failure));
    QList<ComponentRecord> entries;
    if (!ParseUpdatePage(page, &entries))
        return fail(
            QCoreApplication::translate("vx::CUpdateChecker", "更新信息中没有::BEGIN::和::END::"));

    const QString toolDir = platform::WritablePluginDir();
    for (ComponentRecord& entry : entries) {
        const int found = FindComponent(installed, entry.fileName);
        if (found < 0) {
            entry.kind = QCoreApplication::translate("vx::CUpdateChecker", "新增");
            entry.oldVersion.clear();
        } else if (IsNewerVersion(entry.newVersion, installed[found].oldVersion)) {
            entry.kind = QCoreApplication::translate("vx::CUpdateChecker", "替换");
            entry.oldVersion = installed[found].oldVersion;
            // Names differ by letter case here: the file replaced is the one
            // on disk, not a second copy beside it under the page's spelling.
            entry.target = installed[found].target;
        } else {
            continue;  // the installed copy is as new or newer
        }
        if (entry.target.isEmpty()) entry.target = toolDir + entry.fileName;
        out.append(entry);
    }
    return true;
}

}  // namespace vx
