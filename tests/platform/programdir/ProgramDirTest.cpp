// The choice between the portable folder and the per-user folders, made from
// what the running user may write. Root writes anywhere, so each case runs in
// a child process that becomes the user nobody when the suite runs as root.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProgramDir.h"

namespace vp = vx::platform;

namespace {

constexpr uid_t kNobody = 65534;

bool Touch(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

QString Mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0
               ? QString::number(st.st_mode & 07777, 8)
               : QStringLiteral("<none>");
}

// The folders as nobody (when root) sees them: settings file, data folder,
// writable plug-in folder, plug-in folders, and the modes of the first two's
// folders; {} when the child failed.
QStringList FoldersAsUser() {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        const QString settings = vp::SettingsFilePath(), data = vp::GetDataDir();
        const QByteArray answer = QStringList{settings,
                                              data,
                                              vp::WritablePluginDir(),
                                              vp::PluginDirs().join(' '),
                                              Mode(QFileInfo(settings).path()),
                                              Mode(data)}
                                      .join('\n')
                                      .toUtf8();
        ::_exit(::write(out[1], answer.constData(), answer.size()) == answer.size() ? 0 : 3);
    }
    ::close(out[1]);
    QByteArray answer;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) answer.append(buf, n);
    ::close(out[0]);
    int status = 0;
    const bool ok = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    return ok ? QString::fromUtf8(answer).split('\n') : QStringList{};
}

}  // namespace

class ProgramDirTest : public QObject {
    Q_OBJECT
private slots:
    // Paths are shown with P = program folder, H = home, C and D = the XDG
    // config and data folders when they are set.
    void choosesFoldersByWhatTheUserMayWrite_data() {
        // Program folder, its Vexmor.ini (- for none), marker file, XDG variables.
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QStringList>("expected");
        const QStringList portable{"P/Vexmor.ini", "P/", "P/ToolDlls/", "P/ToolDlls/"};
        const QStringList perUser{"C/vexmor/Vexmor.ini", "D/vexmor/", "D/vexmor/ToolDlls/",
                                  "P/ToolDlls/ D/vexmor/ToolDlls/"};
        const QStringList inHome{"H/.config/vexmor/Vexmor.ini", "H/.local/share/vexmor/",
                                 "H/.local/share/vexmor/ToolDlls/",
                                 "P/ToolDlls/ H/.local/share/vexmor/ToolDlls/"};
        QTest::newRow("portable, first start") << "rw - nomarker set" << portable;
        QTest::newRow("portable with settings") << "rw rw nomarker set" << portable;
        QTest::newRow("read-only folder") << "ro - nomarker set" << perUser;
        QTest::newRow("read-only folder, writable settings") << "ro rw nomarker set" << perUser;
        QTest::newRow("read-only settings") << "rw ro nomarker set" << perUser;
        QTest::newRow("marker") << "rw rw marker set" << perUser;
        QTest::newRow("XDG unset") << "ro - nomarker unset" << inHome;
        QTest::newRow("relative XDG ignored") << "ro - nomarker relative" << inHome;
    }
    void choosesFoldersByWhatTheUserMayWrite() {
        QFETCH(QString, shape);
        QFETCH(QStringList, expected);
        const QStringList w = shape.split(' ');
        const QString &folder = w[0], &ini = w[1], &xdg = w[3];
        QTemporaryDir root;
        const QString program = root.path() + "/program/", home = root.path() + "/home";
        const QString config = root.path() + "/config", data = root.path() + "/data";
        QVERIFY(QDir().mkpath(program + "ToolDlls") && QDir().mkpath(home));
        if (ini != "-") QVERIFY(Touch(program + "Vexmor.ini"));
        if (w[2] == "marker") QVERIFY(Touch(program + vp::kPerUserMarker));
        if (::geteuid() == 0)
            QCOMPARE(QProcess::execute("chown", {"-R", "65534:65534", root.path()}), 0);
        QVERIFY(QFile::setPermissions(
            root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
        if (ini == "ro") QVERIFY(QFile::setPermissions(program + "Vexmor.ini", QFile::ReadOwner));
        if (folder == "ro")
            QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("VX_PROGRAM_DIR", QFile::encodeName(program));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", xdg == "set" ? QFile::encodeName(config) : "config");
        qputenv("XDG_DATA_HOME", xdg == "set" ? QFile::encodeName(data + "/") : "data");
        if (xdg == "unset") {
            qunsetenv("XDG_CONFIG_HOME");
            qunsetenv("XDG_DATA_HOME");
        }

        const QStringList got = FoldersAsUser();
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(got.size(), 6);
        QStringList shown;
        for (QString line : got.mid(0, 4))
            shown << line.replace(program, "P/")
                         .replace(home, "H")
                         .replace(config, "C")
                         .replace(data, "D");
        QCOMPARE(shown, expected);
        // Folders made for the user are the user's alone.
        if (!expected.first().startsWith("P/")) QCOMPARE(got.mid(4), (QStringList{"700", "700"}));
    }
};

QTEST_GUILESS_MAIN(ProgramDirTest)
#include "ProgramDirTest.moc"
