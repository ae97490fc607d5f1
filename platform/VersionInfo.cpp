#include "platform/VersionInfo.h"

#include <QFile>

#include <link.h>

#include <cstring>

#include "platform/ElfCheck.h"

namespace vx::platform {
namespace {

constexpr char kSectionName[] = ".vx_version";
constexpr char kTag[] = "VXVERSION";
constexpr char kStampSection[] = ".vx_platform";
constexpr char kStampTag[] = "VXPLATFORM";
// A block is a few hundred bytes; anything far larger is not ours.
constexpr quint64 kMaxBlock = 64 * 1024;
constexpr quint64 kMaxNames = 1024 * 1024;

template <typename T>
bool ReadAt(QFile& file, quint64 offset, T* out) {
    return file.seek(static_cast<qint64>(offset)) &&
           file.read(reinterpret_cast<char*>(out), sizeof(T)) == qint64(sizeof(T));
}

QByteArray ReadBytes(QFile& file, quint64 offset, quint64 size) {
    if (!file.seek(static_cast<qint64>(offset))) return {};
    QByteArray bytes = file.read(static_cast<qint64>(size));
    return bytes.size() == qint64(size) ? bytes : QByteArray();
}

// The contents of section `name`, or an empty array. Every offset and size
// comes from the file and is checked against it before use.
QByteArray SectionBytes(QFile& file, const char* name) {
    const quint64 fileSize = static_cast<quint64>(file.size());
    ElfW(Ehdr) header;
    if (!ReadAt(file, 0, &header) || header.e_shentsize != sizeof(ElfW(Shdr)) ||
        header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return {};
    const quint64 tableEnd = header.e_shoff + quint64(header.e_shnum) * sizeof(ElfW(Shdr));
    if (header.e_shoff > fileSize || tableEnd > fileSize) return {};

    ElfW(Shdr) names;
    if (!ReadAt(file, header.e_shoff + quint64(header.e_shstrndx) * sizeof(ElfW(Shdr)), &names) ||
        names.sh_type != SHT_STRTAB || names.sh_size > kMaxNames ||
        names.sh_offset > fileSize || names.sh_size > fileSize - names.sh_offset)
        return {};
    const QByteArray nameTable = ReadBytes(file, names.sh_offset, names.sh_size);
    const quint64 wanted = std::strlen(name) + 1;

    for (quint64 i = 0; i < header.e_shnum; ++i) {
        ElfW(Shdr) section;
        if (!ReadAt(file, header.e_shoff + i * sizeof(ElfW(Shdr)), &section)) return {};
        if (section.sh_name >= quint64(nameTable.size()) ||
            quint64(nameTable.size()) - section.sh_name < wanted ||
            std::memcmp(nameTable.constData() + section.sh_name, name, wanted) != 0)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size > kMaxBlock ||
            section.sh_offset > fileSize || section.sh_size > fileSize - section.sh_offset)
            return {};
        return ReadBytes(file, section.sh_offset, section.sh_size);
    }
    return {};
}

}  // namespace

bool ReadVersionStrings(const QString& path, const QString& translation,
                        QHash<QString, QString>* strings) {
    strings->clear();
    if (!IsWholeSharedObject(path)) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray block = SectionBytes(file, kSectionName);

    // NUL-terminated strings: tag, translation, then key/value pairs up to
    // an empty key. Text after a missing terminator is not trusted.
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (qsizetype nul; (nul = block.indexOf('\0', from)) >= 0; from = nul + 1)
        parts << block.mid(from, nul - from);
    if (parts.size() < 2 || parts[0] != kTag || QString::fromUtf8(parts[1]) != translation)
        return false;
    for (qsizetype i = 2; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2)
        strings->insert(QString::fromUtf8(parts[i]), QString::fromUtf8(parts[i + 1]));
    return true;
}

QString QueryVersionString(const QString& path, const QString& key) {
    QHash<QString, QString> strings;
    ReadVersionStrings(path, QString::fromLatin1(kVersionTranslation), &strings);
    return strings.value(key);
}

int PlatformLibraryVersion() { return VX_PLATFORM_VERSION; }

std::optional<int> ReadPlatformStamp(const QString& path) {
    if (!IsWholeSharedObject(path)) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // "VXPLATFORM\0<decimal>" and nothing else (the section's own terminator).
    const QList<QByteArray> parts = SectionBytes(file, kStampSection).split('\0');
    if (parts.size() != 3 || parts[0] != kStampTag || !parts[2].isEmpty()) return std::nullopt;
    bool number = false;
    const int version = parts[1].toInt(&number);
    if (!number || version < 0 || QByteArray::number(version) != parts[1]) return std::nullopt;
    return version;
}

}  // namespace vx::platform
