// The settings file as host and plug-ins rely on it: defaults, name matching,
// integer reads, buffer cuts, GBK on disk, edits that keep every other line,
// and writes that are whole or absent even when the writer dies.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <thread>
#include <vector>

#include "platform/Gbk.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

using vx::platform::ProfileFile;

namespace {

QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

}  // namespace

class ProfileFileTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    // Reads against one file with garbage, duplicates, odd case and blanks.
    void readsWithProfileSemantics_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("buffer");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << "组件管理"
                               << "禁用组件" << 1024 << "a.so;b.so;";
        QTest::newRow("section case") << "SETTINGS"
                                      << "Key" << 1024 << "v1";
        QTest::newRow("key case") << "settings"
                                  << "KEY" << 1024 << "v1";
        QTest::newRow("first duplicate key wins") << "settings"
                                                  << "dup" << 1024 << "first";
        QTest::newRow("blanks around names and value") << "Spaced"
                                                       << "name" << 1024 << "value x";
        QTest::newRow("quotes stripped") << "settings"
                                         << "quoted" << 1024 << " inner ";
        QTest::newRow("missing key") << "settings"
                                     << "nokey" << 1024 << "DEF";
        QTest::newRow("missing section") << "nosection"
                                         << "Key" << 1024 << "DEF";
        QTest::newRow("broken header is not a section") << "broken"
                                                        << "x" << 1024 << "DEF";
        QTest::newRow("after garbage") << "tail"
                                       << "last" << 1024 << "end";
        QTest::newRow("buffer of 10 keeps 9 bytes") << "cut"
                                                    << "long" << 10 << "123456789";
        QTest::newRow("buffer never splits a character") << "cut"
                                                         << "wide" << 10 << "一二三四";
        QTest::newRow("default is cut too") << "cut"
                                            << "absent" << 3 << "DE";
    }
    void readsWithProfileSemantics() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, buffer);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath("garbage.ini");
        const QString text =
            "junk=before any section\r\n"  // belongs to no section
            "[组件管理]\r\n禁用组件=a.so;b.so;\r\n"
            "[Settings]\r\nkey=v1\r\nDup=first\r\ndup=second\r\n"
            "quoted=\" inner \"\r\nhalf=\"abc\r\nempty=\r\n; comment line\r\n"
            "garbage without equals\r\n\x01\x02 binary-ish\r\n"
            "[twice]\r\nk=one\r\n[TWICE]\r\nk=two\r\nKey=x\r\n"
            "  [ Spaced ]  \r\n  name   =   value x   \r\n"
            "[broken\r\nx=1\r\n"
            "[tail]\nlast=end\n"  // bare LF lines
            "[cut]\r\nlong=1234567890\r\nwide=一二三四五\r\nmixed=a一二三四五\r\n";
        WriteRaw(path, vx::platform::ToGbk(text));
        ProfileFile ini(path);
        QCOMPARE(ini.GetString(section, key, "DEF", buffer), expected);
    }

    void readsLeadingDigits_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("digits") << "42" << 42;
        QTest::newRow("trailing letters") << "12abc" << 12;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("negative") << "-17" << -17;
        QTest::newRow("blank then sign") << "   -3x" << -3;
        QTest::newRow("decimal point") << "3.9" << 3;
        QTest::newRow("too large saturates") << "99999999999" << INT_MAX;
    }
    void readsLeadingDigits() {
        QFETCH(QString, value);
        QFETCH(int, expected);
        ProfileFile ini(m_dir.filePath("int.ini"));
        QVERIFY(ini.WriteString("更新升级", "更新文件数", value));
        QCOMPARE(ini.GetInt("更新升级", "更新文件数", 77), expected);
        QCOMPARE(ini.GetInt("更新升级", "absent", 77), 77);
        QCOMPARE(ProfileFile(m_dir.filePath("none.ini")).GetInt("更新升级", "更新文件数", -5), -5);
    }

    // Writing creates what is missing, changes one line, and keeps every other
    // line (garbage included) byte for byte; the file is GBK with CRLF.
    void writesInPlaceAndKeepsOtherLines() {
        const QString path = m_dir.filePath("edit.ini");
        ProfileFile ini(path);
        QVERIFY(!QFile::exists(path));
        QVERIFY(ini.WriteString("工具显示", "搜索工具_主机巡测", "0,1"));
        QCOMPARE(ReadRaw(path), vx::platform::ToGbk("[工具显示]\r\n搜索工具_主机巡测=0,1\r\n"));

        WriteRaw(path, vx::platform::ToGbk("junk line\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"));
        QVERIFY(ini.WriteString("a", "X", "9"));     // existing key, other case
        QVERIFY(ini.WriteString("A", "z", "3"));     // new key, before the blank line
        QVERIFY(ini.WriteString("C", "w", "中文"));  // new section at the end
        QVERIFY(ini.WriteInt("B", "y", -4));
        QCOMPARE(vx::platform::FromGbk(ReadRaw(path)),
                 QString("junk line\r\n[A]\r\nX=9\r\nz=3\r\n\r\n[B]\r\ny=-4\r\n[C]\r\nw=中文\r\n"));
        QCOMPARE(ini.GetKeys("a"), (QStringList{"X", "z"}));
        QVERIFY(ini.DeleteKey("A", "x"));
        QVERIFY(ini.DeleteSection("b"));
        QCOMPARE(vx::platform::FromGbk(ReadRaw(path)),
                 QString("junk line\r\n[A]\r\nz=3\r\n\r\n[C]\r\nw=中文\r\n"));
        QCOMPARE(ini.GetString("c", "W", "", 1024), QString("中文"));
    }

    // What would not read back as one line is refused and the file kept.
    void refusesTextThatForgesLines_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("value with LF") << "s"
                                       << "k"
                                       << "x\n[组件管理]\n卸载组件=a.so;";
        QTest::newRow("key with line break") << "s"
                                             << "k\nz"
                                             << "1";
        QTest::newRow("key with equals") << "s"
                                         << "a=b"
                                         << "1";
        QTest::newRow("key like a header") << "s"
                                           << "[x]"
                                           << "1";
        QTest::newRow("section with bracket") << "a]b"
                                              << "k"
                                              << "1";
    }
    void refusesTextThatForgesLines() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        ProfileFile ini(m_dir.filePath("forge.ini"));
        QVERIFY(ini.WriteString("s", "k", "old"));
        const QByteArray before = ReadRaw(ini.path());
        QVERIFY(!ini.WriteString(section, key, value));
        QCOMPARE(ReadRaw(ini.path()), before);
        QVERIFY(ini.WriteString("s", "k", "a=b ] [c]"));  // only line breaks matter in values
        QCOMPARE(ini.GetString("s", "k", "", 64), QString("a=b ] [c]"));
    }

    // Lines that a write does not change keep their bytes, even bytes that are
    // not GBK at all (a line a user saved from a UTF-8 editor, a stray byte):
    // decoding and re-encoding them would turn them into "?" for good.
    void writeKeepsBytesOfForeignLines_data() {
        QTest::addColumn<QByteArray>("foreign");
        QTest::newRow("UTF-8 text") << QByteArray("note=\xE4\xB8\xAD\xE6\x96\x87");
        QTest::newRow("stray lead byte") << QByteArray("k=a\x81");
        QTest::newRow("byte 0x80") << QByteArray("k=\x80x");
        QTest::newRow("foreign section name") << QByteArray("[\xE4\xB8\xAD]");
    }
    void writeKeepsBytesOfForeignLines() {
        QFETCH(QByteArray, foreign);
        const QString path = m_dir.filePath("foreign.ini");
        ProfileFile ini(path);
        WriteRaw(path, "[old]\r\n" + foreign + "\r\nn=1\r\n");
        QVERIFY(ini.WriteString("old", "n", "2"));      // a line beside it
        QVERIFY(ini.WriteString("new", "中文", "值"));  // a section after it
        QCOMPARE(ReadRaw(path), "[old]\r\n" + foreign + "\r\nn=2\r\n" +
                                    vx::platform::ToGbk("[new]\r\n中文=值\r\n"));
        QVERIFY(ini.DeleteKey("old", "n"));
        QCOMPARE(ReadRaw(path),
                 "[old]\r\n" + foreign + "\r\n" + vx::platform::ToGbk("[new]\r\n中文=值\r\n"));
    }

    // Text that GBK cannot hold, and bytes that are not GBK, never break a read.
    void survivesUnencodableText() {
        ProfileFile ini(m_dir.filePath("enc.ini"));
        QVERIFY(ini.WriteString("s", "k", "a😀b"));
        QCOMPARE(ini.GetString("s", "k", "", 1024), QString("a?b"));
        WriteRaw(ini.path(), QByteArray("[s]\r\nk=\x81\r\nn=5\r\n"));
        QCOMPARE(ini.GetInt("s", "n", 0), 5);
        QVERIFY(!ini.GetString("s", "k", "", 1024).isEmpty());
    }

    // A writer killed at any moment leaves either the old file or the new one.
    void killedWriterLeavesWholeFile() {
        const QString path = m_dir.filePath("atomic.ini");
        ProfileFile ini(path);
        const QString big(200000, 'a');
        QVERIFY(ini.WriteString("head", "big", big));
        QVERIFY(ini.WriteString("tail", "n", "0"));
        std::mt19937 rng(12345);
        for (int round = 0; round < 20; ++round) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ProfileFile mine(path);
                for (int i = 1;; ++i) {
                    const QChar c('a' + i % 26);
                    mine.WriteString("head", "big", QString(200000, c));
                    mine.WriteString("tail", "n", QString::number(i));
                }
            }
            ::usleep(1000 + rng() % 20000);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            const QString now = ini.GetString("head", "big", "", 300000);
            QCOMPARE(now.size(), 200000);
            QCOMPARE(now.count(now.front()), 200000);
            QVERIFY(!ini.GetString("tail", "n", "", 32).isEmpty());
        }
    }

    // Writers in several threads (as host and plug-ins may be) lose nothing.
    void concurrentWritersLoseNothing() {
        const QString path = m_dir.filePath("threads.ini");
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([path, t] {
                ProfileFile ini(path);
                for (int i = 0; i < 25; ++i)
                    ini.WriteInt(QString("s%1").arg(t), QString("k%1").arg(i), i);
            });
        for (auto& th : threads) th.join();
        ProfileFile ini(path);
        for (int t = 0; t < 4; ++t) QCOMPARE(ini.GetKeys(QString("s%1").arg(t)).size(), 25);
    }

    void programDirEndsWithSeparator() {
        qputenv("VX_PROGRAM_DIR", "/some/where");
        QCOMPARE(vx::platform::GetProgramDir(), QString("/some/where/"));
        QCOMPARE(ProfileFile::Settings().path(), QString("/some/where/Vexmor.ini"));
        qunsetenv("VX_PROGRAM_DIR");
        const QString own = vx::platform::GetProgramDir();
        QVERIFY(own.endsWith('/'));
        QCOMPARE(own, QCoreApplication::applicationDirPath() + '/');
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(ProfileFileTest)
#include "ProfileFileTest.moc"
