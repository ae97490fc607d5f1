// The usershare layer: how net's refusals read to the user, and what real
// `net usershare` runs leave in a private usershare folder.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/UserShares.h"

using namespace vx::platform;
using namespace vx::platform::usershare_detail;

class UserSharesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    bool m_haveNet = false;
    QString Conf() const { return m_dir.filePath("smb.conf"); }
    QString Folder(const QString& name) const { return m_dir.filePath("f/" + name); }
    void WriteConf(const QString& extra = {}) {
        QFile f(Conf());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QString text = "[global]\n";
        for (const char* dir : {"private", "lock", "state", "cache", "pid"})
            text += QString("%1 directory = %2\n").arg(dir, m_dir.filePath(dir));
        text += "private dir = " + m_dir.filePath("private") +
                "\nusershare path = " + m_dir.filePath("us") +
                "\nusershare owner only = no\nusershare max shares = 100\n"
                "usershare allow guests = yes\n" +
                extra + "[docs]\npath = " + m_dir.path() + "\n";
        f.write(text.toUtf8());
    }
    // name -> path of every usershare in the private folder.
    QMap<QString, QString> Shares() const {
        QProcess net;
        net.start("net", {"usershare", "info", "--long"});
        net.waitForFinished();
        QMap<QString, QString> out;
        for (const auto& s : ParseUsershareInfo(QString::fromUtf8(net.readAllStandardOutput())))
            out.insert(s.name, s.path);
        return out;
    }

private slots:
    void classify_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("adviceHas");
        QTest::newRow("no group") << "net usershare: cannot open usershare directory /u. Error "
                                     "Permission denied\nYou do not have permission to create a "
                                     "usershare. Ask your administrator"
                                  << 5 << "sambashare";
        QTest::newRow("owner only") << "net usershare add: cannot share path /x as we are "
                                       "restricted to only sharing directories we own."
                                    << 5 << "usershare owner only = false";
        QTest::newRow("unreachable") << "net usershare add: cannot stat path /x/y to ensure this "
                                        "is a directory. Error was Permission denied"
                                     << 5 << "";
        QTest::newRow("unknown, net's words") << "net usershare add: something new\nmore" << 255
                                              << "net usershare add: something new";
    }
    void classify() {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QString, adviceHas);
        const ShareOutcome outcome = ClassifyNetFailure(text, 255);
        QCOMPARE(outcome.code, code);
        QVERIFY2(
            adviceHas.isEmpty() ? outcome.advice.isEmpty() : outcome.advice.contains(adviceHas),
            qPrintable(outcome.advice));
    }

    void initTestCase() {
        m_haveNet = !QStandardPaths::findExecutable("net").isEmpty();
        QVERIFY(m_dir.isValid());
        for (const char* d : {"private", "lock", "state", "cache", "pid", "us", "f"})
            QVERIFY(QDir(m_dir.path()).mkpath(d));
        qputenv("SMB_CONF_PATH", QFile::encodeName(Conf()));
        WriteConf();
    }

    // Names and paths with shell metacharacters, quotes and Chinese either
    // share exactly the chosen folder or are refused before net runs.
    void add_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");  // under f/, created unless "missing"
        QTest::addColumn<int>("code");
        QTest::newRow("space and Chinese") << "共享 a"
                                           << "共享 a" << 0;
        QTest::newRow("leading dash") << "-x"
                                      << "-x" << 0;
        QTest::newRow("metacharacters in the path") << "meta"
                                                    << "q'u\"o;t$e`|&*x" << 0;
        QTest::newRow("dollar and quote in the name") << "a$b'c"
                                                      << "plain" << 0;
        QTest::newRow("semicolon in the name") << "a;b"
                                               << "plain" << 123;
        QTest::newRow("star in the name") << "a*b"
                                          << "plain" << 123;
        QTest::newRow("newline in the path") << "nl"
                                             << "a\nb" << 161;
        QTest::newRow("missing folder") << "gone"
                                        << "missing" << 2116;
        QTest::newRow("reserved") << "IPC$"
                                  << "plain" << 2118;
        QTest::newRow("smb.conf share") << "DOCS"
                                        << "plain" << 2118;
        QTest::newRow("local user's name") << "root"
                                           << "plain" << 2118;
        QTest::newRow("too long") << QString(255, 'n') << "plain" << 206;
    }
    void add() {
        if (!m_haveNet) QSKIP("Samba's net is not installed");
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QFETCH(int, code);
        if (folder != "missing" && !folder.contains('\n')) QVERIFY(QDir().mkpath(Folder(folder)));
        NetUserShares shares;
        QCOMPARE(shares.Add(name, Folder(folder)).code, code);
        const QMap<QString, QString> now = Shares();
        QCOMPARE(now.contains(name), code == 0);
        if (code == 0) QCOMPARE(now.value(name), Folder(folder));
        if (code == 0) QCOMPARE(shares.Delete(name).code, 0);
    }

    void duplicateLeavesTheFirstAlone() {
        if (!m_haveNet) QSKIP("Samba's net is not installed");
        QVERIFY(QDir().mkpath(Folder("one")) && QDir().mkpath(Folder("two")));
        NetUserShares shares;
        QCOMPARE(shares.Add("music", Folder("one")).code, 0);
        QCOMPARE(shares.Add("MUSIC", Folder("two")).code, 2118);
        QCOMPARE(Shares(), (QMap<QString, QString>{{"music", Folder("one")}}));
        QCOMPARE(shares.Delete("music").code, 0);
        QCOMPARE(shares.Delete("music").code, 2310);
        QCOMPARE(shares.Delete("../us/x").code, 123);
    }

    // Refusals that come from the local set-up carry what to configure.
    void configRefusals_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("adviceHas");
        QTest::newRow("guests") << "usershare allow guests = no"
                                << "usershare allow guests";
        QTest::newRow("disabled") << "usershare max shares = 0"
                                  << "usershare max shares";
    }
    void configRefusals() {
        if (!m_haveNet) QSKIP("Samba's net is not installed");
        QFETCH(QString, setting);
        QFETCH(QString, adviceHas);
        WriteConf(setting + '\n');
        const ShareOutcome outcome = NetUserShares().Add("cfg", m_dir.path());
        WriteConf();
        QCOMPARE(outcome.code, 5);
        QVERIFY2(outcome.advice.contains(adviceHas), qPrintable(outcome.advice));
        QVERIFY(Shares().isEmpty());
    }
};

QTEST_GUILESS_MAIN(UserSharesTest)
#include "UserSharesTest.moc"
