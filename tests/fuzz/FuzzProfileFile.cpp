// The settings file is the one input a user edits by hand: any bytes, any
// encoding, any line structure. Input: a first line "section\tkey\tvalue"
// naming what to look up and write, then the file's bytes.
//
// Beyond not crashing: a write that reports success must read back, and
// every line the write did not touch keeps its bytes.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "platform/Gbk.h"
#include "platform/ProfileFile.h"

using vx::platform::FromGbk;
using vx::platform::ProfileFile;
using vx::platform::ToGbk;

namespace {

QTemporaryDir* g_dir = nullptr;

bool SurvivesGbk(const QString& s) { return FromGbk(ToGbk(s)) == s; }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file's lines without their ends, split as the reader splits them.
QList<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when possible: every write renames and syncs.
    const QString base = QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath();
    g_dir = new QTemporaryDir(base + "/vx-fuzz-profile-XXXXXX");
    return g_dir->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype eol = bytes.indexOf('\n');
    const QByteArray head = eol < 0 ? bytes : bytes.left(eol);
    const QByteArray body = eol < 0 ? QByteArray() : bytes.mid(eol + 1);
    const QList<QByteArray> names = head.split('\t');
    const QString section = FromGbk(names.value(0));
    const QString key = FromGbk(names.value(1));
    const QString value = FromGbk(names.value(2));

    const QString path = g_dir->filePath("Vexmor.ini");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(body);
    }
    ProfileFile ini(path);
    for (int buffer : {1, 2, 3, 64, 2048}) {
        const QString got = ini.GetString(section, key, QStringLiteral("默认"), buffer);
        if (ToGbk(got).size() > buffer - 1) std::abort();
    }
    ini.GetInt(section, key, -7);
    ini.GetKeys(section);

    const QByteArray before = ReadAll(path);
    if (!ini.WriteString(section, key, value)) {
        if (ReadAll(path) != before) std::abort();  // a refused write changes nothing
        return 0;
    }
    const QByteArray after = ReadAll(path);
    // Every line of the old file but the one replaced is still there, bytes
    // and order unchanged: a key replaced in place, a key inserted into its
    // section, or a new section appended.
    const QList<QByteArray> old = Lines(before), now = Lines(after);
    bool kept = false;
    switch (now.size() - old.size()) {
    case 0: {
        qsizetype differing = 0;
        for (qsizetype i = 0; i < old.size(); ++i) differing += old[i] != now[i];
        kept = differing <= 1;
        break;
    }
    case 1: {
        qsizetype i = 0;
        while (i < old.size() && old[i] == now[i]) ++i;
        kept = now.mid(i + 1) == old.mid(i);
        break;
    }
    case 2:
        kept = now.mid(0, old.size()) == old;
        break;
    }
    if (!kept) std::abort();
    // Names and a value that GBK holds, without the blanks and quotes a read
    // strips, read back exactly.
    const bool plainValue = value == value.trimmed() &&
                            !(value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                              value.back() == value.front());
    if (SurvivesGbk(section) && SurvivesGbk(key) && SurvivesGbk(value) && plainValue &&
        ToGbk(value).size() < 2048 &&
        ini.GetString(section, key, QStringLiteral("\x01"), 2048) != value)
        std::abort();
    ini.DeleteKey(section, key);
    return 0;
}
