#include "platform/ProfileFile.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <optional>

#include "platform/Gbk.h"
#include "platform/ProgramDir.h"

namespace vx::platform {
namespace {

// One line of the file: its bytes without "\n" or "\r\n", and where it and
// the next line begin. GBK never uses either byte inside a character, so lines
// are found before anything is decoded, and only lines that matter to a call
// are decoded at all: a settings file of tens of megabytes (a corrupt one, a
// runaway writer) costs one pass over its bytes, not an object per line.
struct Line {
    QByteArrayView raw;
    qsizetype begin = 0;
    qsizetype next = 0;
};

// Calls fn(line) for each line in order while it returns true. A final "\n"
// ends the last line rather than starting an empty one.
template <typename Fn>
void ForEachLine(const QByteArray& bytes, Fn fn) {
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', pos);
        const qsizetype end = nl < 0 ? bytes.size() : nl;
        Line line{QByteArrayView(bytes.constData() + pos, end - pos), pos,
                  nl < 0 ? bytes.size() : nl + 1};
        if (line.raw.endsWith('\r')) line.raw.chop(1);
        if (!fn(line)) return;
        pos = line.next;
    }
}

QString Decode(QByteArrayView raw) { return FromGbk(raw.toByteArray()); }

bool Holds(QByteArrayView raw, char c) {
    return std::memchr(raw.data(), c, static_cast<size_t>(raw.size())) != nullptr;
}

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

// A header needs both brackets and a key line an '='; GBK's trail bytes
// never take the value of '=' and only sometimes of a bracket, so these bytes
// rule lines out before any decoding.
std::optional<QString> SectionNameOf(QByteArrayView raw) {
    if (!Holds(raw, '[') || !Holds(raw, ']')) return std::nullopt;
    return SectionName(Decode(raw));
}

std::optional<QString> KeyNameOf(QByteArrayView raw) {
    if (!Holds(raw, '=')) return std::nullopt;
    return KeyName(Decode(raw));
}

// Where the first section of a name lies: its header line and the end of its
// body (the next header, or the end of the file), as byte offsets.
struct SectionPlace {
    qsizetype header = -1;
    qsizetype body = -1;
    qsizetype end = -1;
    bool found() const { return header >= 0; }
};

// Finds the section and calls fn(line) for each line of its body while fn
// returns true. The place's end is only known when fn never stopped.
template <typename Fn>
SectionPlace WalkSection(const QByteArray& bytes, const QString& section, Fn fn) {
    SectionPlace place;
    const QString wanted = section.trimmed();
    bool walking = true;
    ForEachLine(bytes, [&](const Line& line) {
        if (auto name = SectionNameOf(line.raw)) {
            if (place.found()) {
                place.end = line.begin;
                return false;
            }
            if (SameName(*name, wanted)) {
                place.header = line.begin;
                place.body = line.next;
            }
            return true;
        }
        if (place.found() && walking) walking = fn(line);
        return walking || !place.found();
    });
    if (place.found() && walking && place.end < 0) place.end = bytes.size();
    return place;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::optional<QString> Lookup(const QString& path, const QString& section, const QString& key) {
    std::optional<QString> value;
    const QString wanted = key.trimmed();
    WalkSection(ReadAll(path), section, [&](const Line& line) {
        auto k = KeyNameOf(line.raw);
        if (!k || !SameName(*k, wanted)) return true;
        value = ValueOf(Decode(line.raw));
        return false;
    });
    return value;
}

// Holds an exclusive flock on the directory of the settings file for the
// duration of a read-modify-write. Separate open() calls give separate open
// file descriptions, so this excludes other threads of this process as well
// as other processes.
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

// An edit of the file: the lines that begin in [from, to) give way to
// `lines` (GBK, each ended by "\r\n"); from == to inserts before the line
// that begins there, or appends at the end of the file.
struct Splice {
    qsizetype from = 0;
    qsizetype to = 0;
    QByteArray lines;
};

QByteArray Apply(const QByteArray& bytes, const Splice& splice) {
    // Each line grows by at most two bytes ("\r\n" for a missing or bare
    // "\n" end). Written through a pointer: a file of millions of short lines
    // is written in moments, not seconds of appends.
    QByteArray out(bytes.size() + bytes.count('\n') + 2 + splice.lines.size(), Qt::Uninitialized);
    char* at = out.data();
    const auto put = [&at](QByteArrayView v) {
        if (v.isEmpty()) return;
        std::memcpy(at, v.data(), static_cast<size_t>(v.size()));
        at += v.size();
    };
    bool placed = false;
    ForEachLine(bytes, [&](const Line& line) {
        if (line.begin == splice.from) {
            put(splice.lines);
            placed = true;
        }
        if (line.begin < splice.from || line.begin >= splice.to) {
            put(line.raw);
            put("\r\n");
        }
        return true;
    });
    if (!placed) put(splice.lines);
    out.truncate(at - out.constData());
    return out;
}

QByteArray LineOf(const QString& text) { return ToGbk(text) + "\r\n"; }

// Reads the file, asks `edit` for a splice (none: nothing to change) and
// replaces the file with the result.
template <typename Edit>
bool Rewrite(const QString& path, Edit edit) {
    DirLock lock(path);
    QByteArray bytes;
    QFile in(path);
    if (in.open(QIODevice::ReadOnly)) {
        bytes = in.readAll();
        // A file that is there but cannot be read whole must not be replaced
        // by what little was read: every other setting would go with it.
        if (in.error() != QFileDevice::NoError) return false;
    } else if (QFileInfo::exists(path)) {
        return false;
    }
    const std::optional<Splice> splice = edit(bytes);
    if (!splice) return true;  // nothing to change
    return WriteWholeFile(path, Apply(bytes, *splice));
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
    QStringList keys;
    WalkSection(ReadAll(m_path), section, [&](const Line& line) {
        if (auto k = KeyNameOf(line.raw); k && !k->isEmpty()) keys << *k;
        return true;
    });
    return keys;
}

bool ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (!FitsOneLine(section) || !FitsOneLine(key) || !FitsOneLine(value)) return false;
    if (section.contains(']') || key.contains('=') || key.trimmed().isEmpty() ||
        key.trimmed().startsWith('['))
        return false;
    return Rewrite(m_path, [&](const QByteArray& bytes) -> std::optional<Splice> {
        const QByteArray entry = LineOf(key.trimmed() + '=' + value);
        const QString wanted = key.trimmed();
        Line found;
        bool hasKey = false;
        // After the section's last non-blank line, so blank separators stay
        // between sections.
        qsizetype insertAt = -1;
        SectionPlace place = WalkSection(bytes, section, [&](const Line& line) {
            if (auto k = KeyNameOf(line.raw); k && SameName(*k, wanted)) {
                found = line;
                hasKey = true;
                return false;
            }
            if (!Decode(line.raw).trimmed().isEmpty()) insertAt = line.next;
            return true;
        });
        if (!place.found())
            return Splice{bytes.size(), bytes.size(), LineOf('[' + section.trimmed() + ']') + entry};
        if (hasKey) return Splice{found.begin, found.next, entry};
        if (insertAt < 0) insertAt = place.body;
        return Splice{insertAt, insertAt, entry};
    });
}

bool ProfileFile::WriteInt(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool ProfileFile::DeleteKey(const QString& section, const QString& key) {
    return Rewrite(m_path, [&](const QByteArray& bytes) -> std::optional<Splice> {
        const QString wanted = key.trimmed();
        std::optional<Splice> splice;
        WalkSection(bytes, section, [&](const Line& line) {
            auto k = KeyNameOf(line.raw);
            if (!k || !SameName(*k, wanted)) return true;
            splice = Splice{line.begin, line.next, {}};
            return false;
        });
        return splice;
    });
}

bool ProfileFile::DeleteSection(const QString& section) {
    return Rewrite(m_path, [&](const QByteArray& bytes) -> std::optional<Splice> {
        SectionPlace place = WalkSection(bytes, section, [](const Line&) { return true; });
        if (!place.found()) return std::nullopt;
        return Splice{place.header, place.end, {}};
    });
}

}  // namespace vx::platform
