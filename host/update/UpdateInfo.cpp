#include "host/update/UpdateInfo.h"

#include <array>

#include "platform/Gbk.h"
#include "platform/ProfileFile.h"

namespace vx {
namespace {

const QString kBegin = QStringLiteral("::BEGIN::");
const QString kEnd = QStringLiteral("::END::");

std::array<int, 4> VersionParts(const QString& text) {
    std::array<int, 4> parts{};
    QString rest = text;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf('.');
        if (dot < 0) break;
        parts[i] = platform::ProfileFile::ParseLeadingInt(rest.left(dot));
        rest = rest.mid(dot + 1);
    }
    parts[3] = platform::ProfileFile::ParseLeadingInt(rest);
    return parts;
}

bool HasControlCharacter(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}

}  // namespace

bool ExtractUpdatePayload(const QString& page, QString* payload) {
    const qsizetype begin = page.indexOf(kBegin);
    const qsizetype end = page.indexOf(kEnd);
    if (begin < 0 || end < 0 || end < begin + kBegin.size()) return false;
    *payload = page.mid(begin + kBegin.size(), end - begin - kBegin.size());
    return true;
}

bool ParseUpdateEntry(const QString& entry, ComponentRecord& out) {
    std::array<qsizetype, 5> stars{};
    qsizetype from = 0;
    for (qsizetype& star : stars) {
        star = entry.indexOf('*', from);
        if (star < 0) return false;
        from = star + 1;
    }
    auto field = [&](int i) { return entry.mid(stars[i - 1] + 1, stars[i] - stars[i - 1] - 1); };
    out.fileName = entry.left(stars[0]);
    out.mainVersion = field(1);
    out.newVersion = field(2);
    out.size = field(3);
    out.source = field(4);
    out.remarks = entry.mid(stars[4] + 1);
    return true;
}

bool IsSafeComponentName(const QString& name) {
    if (name.isEmpty() || name.contains('/') || name.contains('\\') ||
        name.contains(QStringLiteral("..")))
        return false;
    return !HasControlCharacter(name);
}

bool IsStorableEntry(const ComponentRecord& entry) {
    if (!IsSafeComponentName(entry.fileName)) return false;
    for (const QString* field : {&entry.mainVersion, &entry.newVersion, &entry.size,
                                 &entry.source, &entry.remarks})
        if (HasControlCharacter(*field)) return false;
    return true;
}

bool ParseUpdatePage(const QByteArray& page, QList<ComponentRecord>* entries) {
    entries->clear();
    QString payload;
    if (!ExtractUpdatePayload(platform::FromGbk(page), &payload)) return false;
    // Each entry is ended by "#": what follows the last one is not an entry.
    qsizetype from = 0;
    for (qsizetype hash; (hash = payload.indexOf('#', from)) >= 0; from = hash + 1) {
        ComponentRecord record;
        if (ParseUpdateEntry(payload.mid(from, hash - from), record) && IsStorableEntry(record))
            entries->append(record);
    }
    return true;
}

QString NormaliseVersionText(const QString& stored) {
    QString text = stored;
    text.replace(',', '.');
    text.remove(' ');
    return text;
}

bool IsNewerVersion(const QString& a, const QString& b) {
    const std::array<int, 4> pa = VersionParts(a);
    const std::array<int, 4> pb = VersionParts(b);
    for (int i = 0; i < 4; ++i)
        if (pa[i] != pb[i]) return pa[i] > pb[i];
    return false;
}

int FindComponent(const QList<ComponentRecord>& list, const QString& name) {
    const QString wanted = AsciiLower(name);
    for (int i = 0; i < list.size(); ++i)
        if (AsciiLower(list[i].fileName) == wanted) return i;
    return -1;
}

}  // namespace vx
