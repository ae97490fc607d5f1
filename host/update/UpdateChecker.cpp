#include "host/update/UpdateChecker.h"

#include <QDebug>

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

bool CUpdateChecker::HttpGetText(const QString& url, QByteArray* text) {
    text->clear();
    QByteArray body;
    QString why;
    const bool ok = m_http.Get(
        url, PageOptions(),
        [](const platform::HttpHead& head) { return head.contentLength <= kMaxPageBytes; },
        [&body](const char* data, qsizetype size) {
            if (body.size() + size > kMaxPageBytes) return false;
            body.append(data, size);
            return true;
        },
        &why);
    if (!ok) {
        qDebug() << "update page" << url << "not fetched:" << why;
        return false;
    }
    *text = body;
    return true;
}

void CUpdateChecker::ScanComponents(QList<ComponentRecord>& out) {
    // Files only, as listed ("." and ".." and folders are not components);
    // with per-user folders, the copies that load.
    for (const platform::PluginFile& file : platform::ListPluginFiles()) {
        const QString name = AsciiLower(file.name);
        if (!name.endsWith(QStringLiteral(".so"))) continue;
        ComponentRecord record;
        record.fileName = name;
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

bool CUpdateChecker::CheckUpdates(const QString& url, QList<ComponentRecord>& out) {
    QList<ComponentRecord> installed;
    ScanComponents(installed);
    QByteArray page;
    if (!HttpGetText(url, &page) || page.isEmpty()) return false;
    QList<ComponentRecord> entries;
    if (!ParseUpdatePage(page, &entries)) return false;

    const QString toolDir = platform::WritablePluginDir();
    for (ComponentRecord& entry : entries) {
        const int found = FindComponent(installed, entry.fileName);
        if (found < 0) {
            entry.kind = QStringLiteral("新增");
            entry.oldVersion.clear();
        } else if (IsNewerVersion(entry.newVersion, installed[found].oldVersion)) {
            entry.kind = QStringLiteral("替换");
            entry.oldVersion = installed[found].oldVersion;
        } else {
            continue;  // the installed copy is as new or newer
        }
        entry.target = toolDir + entry.fileName;
        out.append(entry);
    }
    return true;
}

}  // namespace vx
