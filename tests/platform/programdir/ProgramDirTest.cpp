// The choice between the portable folder and the per-user folders, made from
// what the running user may write, and the plug-in files that choice shows.
// Root writes anywhere, so each writability case runs in a child process that
// becomes the user nobody (when the suite runs as root) and reports back.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/PluginFiles.h"
#include "platform/ProgramDir.h"

namespace vp = vx::platform;

namespace {

constexpr uid_t kNobody = 65534;

bool Touch(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

// Runs `body` in a child process as nobody (if this is root) and returns the
// lines it answered; {"<child failed>"} when it could not run.
QStringList InChildAsUser(const std::function<QStringList()>& body) {
    int out[2];
    if (::pipe(out) != 0) return {"<child failed>"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        const QByteArray answer = body().join('\n').toUtf8();
        const bool sent = ::write(out[1], answer.constData(), answer.size()) == answer.size();
        ::_exit(sent ? 0 : 3);
    }
    ::close(out[1]);
    QByteArray answer;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) answer.append(buf, n);
    ::close(out[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {"<child failed>"};
    return QString::fromUtf8(answer).split('\n');
}

// Hands `path` and everything below to nobody when running as root.
bool GiveToUser(const QString& path) {
    if (::geteuid() != 0) return true;
    QStringList paths{path};
    QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (int i = 0; i < paths.size(); ++i)
        for (const QFileInfo& f : QDir(paths[i]).entryInfoList(all)) paths << f.filePath();
    for (const QString& p : paths)
        if (::chown(QFile::encodeName(p).constData(), kNobody, kNobody) != 0) return false;
    return true;
}

QString Mode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return "<none>";
    return QString::number(st.st_mode & 07777, 8);
}

}  // namespace

class ProgramDirTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        for (const char* v : {"VX_PROGRAM_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
    }

    // The answer for each shape of program folder, as the user who runs it.
    // Paths are given with P = program folder, H = home, C/D = the XDG
    // folders when they are set.
    void choosesFoldersByWhatTheUserMayWrite_data() {
        QTest::addColumn<QString>("folder");  // "rw", "ro"
        QTest::addColumn<QString>("ini");     // "none", "rw", "ro"
        QTest::addColumn<bool>("marker");
        QTest::addColumn<QString>("xdg");           // "set", "unset", "relative"
        QTest::addColumn<QStringList>("expected");  // settings, data, writable plug-ins, dirs
        const QStringList portable{"P/Vexmor.ini", "P/", "P/ToolDlls/", "P/ToolDlls/"};
        const QStringList perUser{"C/vexmor/Vexmor.ini", "D/vexmor/", "D/vexmor/ToolDlls/",
                                  "P/ToolDlls/ D/vexmor/ToolDlls/"};
        const QStringList inHome{"H/.config/vexmor/Vexmor.ini", "H/.local/share/vexmor/",
                                 "H/.local/share/vexmor/ToolDlls/",
                                 "P/ToolDlls/ H/.local/share/vexmor/ToolDlls/"};
        QTest::newRow("portable, first start") << "rw"
                                               << "none" << false << "set" << portable;
        QTest::newRow("portable with settings") << "rw"
                                                << "rw" << false << "set" << portable;
        QTest::newRow("read-only folder") << "ro"
                                          << "none" << false << "set" << perUser;
        QTest::newRow("read-only folder, its settings writable")
            << "ro"
            << "rw" << false << "set" << perUser;
        QTest::newRow("read-only settings") << "rw"
                                            << "ro" << false << "set" << perUser;
        QTest::newRow("marker in a writable folder") << "rw"
                                                     << "rw" << true << "set" << perUser;
        QTest::newRow("XDG unset: home defaults") << "ro"
                                                  << "none" << false << "unset" << inHome;
        QTest::newRow("relative XDG ignored") << "ro"
                                              << "none" << false << "relative" << inHome;
    }
    void choosesFoldersByWhatTheUserMayWrite() {
        QFETCH(QString, folder);
        QFETCH(QString, ini);
        QFETCH(bool, marker);
        QFETCH(QString, xdg);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        const QString program = root.path() + "/program/", home = root.path() + "/home";
        const QString config = root.path() + "/config", data = root.path() + "/data";
        QVERIFY(QDir().mkpath(program + "ToolDlls") && QDir().mkpath(home));
        if (ini != "none") QVERIFY(Touch(program + "Vexmor.ini"));
        if (marker) QVERIFY(Touch(program + vp::kPerUserMarker));
        QVERIFY(GiveToUser(root.path()));
        QVERIFY(QFile::setPermissions(
            root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
        if (ini == "ro") QVERIFY(QFile::setPermissions(program + "Vexmor.ini", QFile::ReadOwner));
        if (folder == "ro")
            QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("VX_PROGRAM_DIR", QFile::encodeName(program));
        qputenv("HOME", QFile::encodeName(home));
        if (xdg == "set") {
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
            qputenv("XDG_DATA_HOME", QFile::encodeName(data + "/"));
        } else if (xdg == "relative") {
            qputenv("XDG_CONFIG_HOME", "config");
            qputenv("XDG_DATA_HOME", "data");
        }

        const QStringList got = InChildAsUser([] {
            const QString settings = vp::SettingsFilePath(), dataDir = vp::GetDataDir();
            return QStringList{settings, dataDir, vp::WritablePluginDir(),
                               vp::PluginDirs().join(' '),
                               // Folders it made are the user's alone.
                               Mode(QFileInfo(settings).path()), Mode(dataDir)};
        });
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(got.size(), 6);
        QStringList shown;
        for (QString line : got.mid(0, 4))
            shown << line.replace(program, "P/")
                         .replace(home, "H")
                         .replace(config, "C")
                         .replace(data, "D");
        QCOMPARE(shown, expected);
        if (expected != QStringList{"P/Vexmor.ini", "P/", "P/ToolDlls/", "P/ToolDlls/"}) {
            QCOMPARE(got[4], QString("700"));
            QCOMPARE(got[5], QString("700"));
        }
    }

    // Which copy of a plug-in counts: a user's file hides the program's file
    // of the same name in any letter case; nothing is hidden within a folder,
    // and a portable folder never looks at the user's.
    void userCopyHidesProgramCopy_data() {
        QTest::addColumn<bool>("perUser");
        QTest::addColumn<QStringList>("listed");  // "name:folder", sorted
        QTest::newRow("per-user") << true
                                  << QStringList{"VX_A.so:user", "a.SO:program", "vx_b.so:user",
                                                 "vx_c.so:user"};
        QTest::newRow("portable") << false
                                  << QStringList{"VX_B.so:program", "a.SO:program",
                                                 "vx_a.so:program", "vx_b.so:program"};
    }
    void userCopyHidesProgramCopy() {
        QFETCH(bool, perUser);
        QFETCH(QStringList, listed);
        QTemporaryDir root;
        const QString program = root.path() + "/program/";
        const QString user = root.path() + "/data/vexmor/ToolDlls/";
        QVERIFY(QDir().mkpath(program + "ToolDlls/sub.so") && QDir().mkpath(user));
        for (const char* f : {"vx_a.so", "VX_B.so", "vx_b.so", "a.SO"})
            QVERIFY(Touch(program + "ToolDlls/" + f));
        for (const char* f : {"VX_A.so", "vx_b.so", "vx_c.so"}) QVERIFY(Touch(user + f));
        QCOMPARE(::mkfifo(QFile::encodeName(user + "fifo.so").constData(), 0600), 0);
        if (perUser) QVERIFY(Touch(program + vp::kPerUserMarker));
        qputenv("VX_PROGRAM_DIR", QFile::encodeName(program));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.path() + "/data"));

        QStringList got;
        for (const vp::PluginFile& f : vp::ListPluginFiles()) {
            QCOMPARE(f.path, (f.user ? user : program + "ToolDlls/") + f.name);
            got << f.name + (f.user ? ":user" : ":program");
        }
        got.sort();
        QCOMPARE(got, listed);
    }
};

QTEST_GUILESS_MAIN(ProgramDirTest)
#include "ProgramDirTest.moc"
