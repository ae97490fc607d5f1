#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>
#include <optional>

#include "platform/Gbk.h"
#include "platform/ProgramDir.h"

namespace vx::platform {
namespace {

// Splits file bytes into lines without their "\n" or "\r\n". GBK never uses
// either byte inside a character, so splitting before decoding is exact.
QList<QByteArray> SplitLines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines;
    for (const QByteArray& raw : SplitLines(f.readAll())) lines << FromGbk(raw);
    return lines;
}

// One line of a file being edited. A line read from the file keeps its bytes
// and is written back with exactly those bytes unless an edit replaces it:
// bytes that are not GBK (a line saved by a UTF-8 editor, a stray byte) would
// not survive decoding and encoding again.
struct EditLine {
    QString text;
    QByteArray raw;
    bool fromFile = false;

    explicit EditLine(QString t) : text(std::move(t)) {}
    EditLine(QString t, QByteArray r) : text(std::move(t)), raw(std::move(r)), fromFile(true) {}
    QByteArray Bytes() const { return fromFile ? raw : ToGbk(text); }
};

const QString& TextOf(const QString& line) { return line; }
const QString& TextOf(const EditLine& line) { return line.text; }

bool SameName(const QString& a, const QString& b) {
    // ASCII case-insensitive, as the platform's profile functions compare.
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a[i], y = b[i];
        if (x == y) continue;
        if (x.unicode() < 128 && y.unicode() < 128 && x.toLower() == y.toLower()) continue;
        return false;
    }
    return true;
}

// "[name]" -> name (trimmed); nullopt for other lines.
std::optional<QString> SectionName(const QString& line) {
    QString t = line.trimmed();
    if (!t.startsWith('[')) return std::nullopt;
    qsizetype close = t.indexOf(']');
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

// "key=value" -> key (trimmed); nullopt for lines without '='.
std::optional<QString> KeyName(const QString& line) {
    qsizetype eq = line.indexOf('=');
    if (eq < 0) return std::nullopt;
    return line.left(eq).trimmed();
}

QString ValueOf(const QString& line) {
    QString v = line.mid(line.indexOf('=') + 1).trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// Index range [begin, end) of the section's body lines; begin = header index.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

template <typename Lines>
SectionRange FindSection(const Lines& lines, const QString& section) {
    SectionRange r;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto name = SectionName(TextOf(lines[i]));
        if (!name) continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (SameName(*name, section.trimmed())) r.header = i;
    }
    if (r.header >= 0) r.end = lines.size();
    return r;
}

template <typename Lines>
qsizetype FindKey(const Lines& lines, const SectionRange& r, const QString& key) {
    for (qsizetype i = r.header + 1; i < r.end; ++i) {
        auto k = KeyName(TextOf(lines[i]));
        if (k && SameName(*k, key.trimmed())) return i;
    }
    return -1;
}

std::optional<QString> Lookup(const QString& path, const QString& section, const QString& key) {
    QStringList lines = ReadLines(path);
    SectionRange r = FindSection(lines, section);
    if (r.header < 0) return std::nullopt;
    qsizetype k = FindKey(lines, r, key);
    if (k < 0) return std::nullopt;
    return ValueOf(lines[k]);
}

// Holds an exclusive flock on the directory of the settings file for the
// duration of a read-modify-write. Separate open() calls give separate open
// file descriptions, so this excludes other threads of this process and the
// copies of this code inside plug-ins as well as other processes.
class DirLock {
public:
    explicit DirLock(const QString& path) {
        QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
        m_fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~DirLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    DirLock(const DirLock&) = delete;
    DirLock& operator=(const DirLock&) = delete;

private:
    int m_fd = -1;
};

bool FitsOneLine(const QString& text) { return !text.contains('\n') && !text.contains('\r'); }

template <typename Edit>
bool Rewrite(const QString& path, Edit edit) {
    DirLock lock(path);
    QList<EditLine> lines;
    if (QFile in(path); in.open(QIODevice::ReadOnly))
        for (const QByteArray& raw : SplitLines(in.readAll()))
            lines.append(EditLine(FromGbk(raw), raw));
    if (!edit(lines)) return true;  // nothing to change
    QByteArray bytes;
    for (const EditLine& l : lines) {
        bytes += l.Bytes();
        bytes += "\r\n";
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(bytes);
    return out.commit();
}

}  // namespace

ProfileFile ProfileFile::Settings() { return ProfileFile(SettingsFilePath()); }

int ProfileFile::ParseLeadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;  // saturate
        ++i;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

QString ProfileFile::GetString(const QString& section, const QString& key,
                               const QString& defaultValue, int bufferLength) const {
    auto v = Lookup(m_path, section, key);
    return CutToGbkBytes(v ? *v : defaultValue, bufferLength - 1);
}

int ProfileFile::GetInt(const QString& section, const QString& key, int defaultValue) const {
    auto v = Lookup(m_path, section, key);
    return v ? ParseLeadingInt(*v) : defaultValue;
}

QStringList ProfileFile::GetKeys(const QString& section) const {
    QStringList lines = ReadLines(m_path);
    SectionRange r = FindSection(lines, section);
    QStringList keys;
    if (r.header < 0) return keys;
    for (qsizetype i = r.header + 1; i < r.end; ++i)
        if (auto k = KeyName(lines[i]); k && !k->isEmpty()) keys << *k;
    return keys;
}

bool ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (!FitsOneLine(section) || !FitsOneLine(key) || !FitsOneLine(value)) return false;
    if (section.contains(']') || key.contains('=') || key.trimmed().isEmpty() ||
        key.trimmed().startsWith('['))
        return false;
    return Rewrite(m_path, [&](QList<EditLine>& lines) {
        const QString entry = key.trimmed() + '=' + value;
        SectionRange r = FindSection(lines, section);
        if (r.header < 0) {
            lines << EditLine('[' + section.trimmed() + ']') << EditLine(entry);
            return true;
        }
        qsizetype k = FindKey(lines, r, key);
        if (k >= 0) {
            lines[k] = EditLine(entry);
            return true;
        }
        // After the section's last non-blank line, so blank separators stay between sections.
        qsizetype at = r.end;
        while (at > r.header + 1 && lines[at - 1].text.trimmed().isEmpty()) --at;
        lines.insert(at, EditLine(entry));
        return true;
    });
}

bool ProfileFile::WriteInt(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool ProfileFile::DeleteKey(const QString& section, const QString& key) {
    return Rewrite(m_path, [&](QList<EditLine>& lines) {
        SectionRange r = FindSection(lines, section);
        if (r.header < 0) return false;
        qsizetype k = FindKey(lines, r, key);
        if (k < 0) return false;
        lines.removeAt(k);
        return true;
    });
}

bool ProfileFile::DeleteSection(const QString& section) {
    return Rewrite(m_path, [&](QList<EditLine>& lines) {
        SectionRange r = FindSection(lines, section);
        if (r.header < 0) return false;
        lines.remove(r.header, r.end - r.header);
        return true;
    });
}

}  // namespace vx::platform
