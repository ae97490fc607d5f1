// A profile (ini) text file with the semantics Vexmor's settings rely on:
//
//  - a missing file, section or key reads as the caller's default;
//  - section and key names match case-insensitively (ASCII), surrounding
//    blanks ignored; the first of duplicate sections or keys wins;
//  - values lose surrounding blanks and one pair of matching quotes;
//  - GetString returns at most bufferLength - 1 bytes of GBK text (a buffer
//    of bufferLength including its terminator), never splitting a character;
//  - GetInt takes the leading decimal digits (optional blanks and sign):
//    "12abc" is 12, "abc" is 0;
//  - writing creates file, section and key as needed and keeps every other
//    line, garbage included, as it was;
//  - the file is GBK text on disk; every write replaces it atomically
//    (temporary file + rename), so a crash mid-write leaves the old file whole;
//    a write the disk cuts short, or over a file that cannot be read whole,
//    fails (false) and leaves the old file as it was;
//  - a call costs one pass over the file's bytes; only the lines it needs are
//    decoded, so a huge or corrupt file stays usable;
//  - writers serialise on an flock of the file's directory, which holds across
//    threads, the host and the plug-ins, and across processes.
#pragma once

#include <QString>
#include <QStringList>

namespace vx::platform {

class ProfileFile {
public:
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}
    // The program's settings file, SettingsFilePath() (platform/ProgramDir.h).
    static ProfileFile Settings();

    const QString& path() const { return m_path; }

    QString GetString(const QString& section, const QString& key, const QString& defaultValue,
                      int bufferLength) const;
    int GetInt(const QString& section, const QString& key, int defaultValue) const;
    // The names of the keys of a section, in file order (empty if absent).
    QStringList GetKeys(const QString& section) const;

    // Refuses (false, file untouched) what would not read back as written: a
    // line break anywhere, a section name with "]", a key with "=" or an
    // empty or "["-led key. Such text would otherwise forge other lines.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInt(const QString& section, const QString& key, int value);
    bool DeleteKey(const QString& section, const QString& key);
    bool DeleteSection(const QString& section);

    // Leading-digit integer parse used by GetInt ("  -12x" -> -12, "x" -> 0).
    static int ParseLeadingInt(const QString& text);

private:
    QString m_path;
};

}  // namespace vx::platform
