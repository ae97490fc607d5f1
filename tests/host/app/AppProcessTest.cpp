// The program as a process, offscreen, in a private program directory and a
// private runtime directory: single instance, and a lock left by a killed
// process.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ProgramRun {
public:
    ProgramRun(const QString& programDir, const QString& runtimeDir, const QString& boxLog) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VX_PROGRAM_DIR", programDir);
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        env.insert("VX_MESSAGEBOX_LOG", boxLog);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(qEnvironmentVariable("VX_BIN_DIR") + "/Vexmor", QStringList{});
    }
    ~ProgramRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class AppProcessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!QFile::exists(qEnvironmentVariable("VX_BIN_DIR") + "/Vexmor"))
            QSKIP("the program is not built");
        QVERIFY(m_programDir.isValid());
        QVERIFY(m_runtimeDir.isValid());
        QDir(m_programDir.path()).mkdir("ToolDlls");
        QVERIFY(QFile::copy(VX_FIXTURE_DIR "/pair/fx_pair.so",
                            m_programDir.path() + "/ToolDlls/fx_pair.so"));
        m_boxLog = m_programDir.path() + "/boxes.log";
    }

    void secondInstanceRefusedAndStaleLockTaken() {
        const QString ini = m_programDir.path() + "/Vexmor.ini";
        ProgramRun first(m_programDir.path(), m_runtimeDir.path(), m_boxLog);
        QVERIFY(first.Process().waitForStarted(10000));
        // Start-up empties "卸载组件", which creates the settings file: once it
        // is there the first instance holds its lock.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 30000);

        ProgramRun second(m_programDir.path(), m_runtimeDir.path(), m_boxLog);
        QVERIFY(second.Process().waitForFinished(30000));
        QCOMPARE(second.Process().exitStatus(), QProcess::NormalExit);
        QVERIFY(second.Process().exitCode() != 0);
        QCOMPARE(ReadText(m_boxLog), QString("程序已经运行一个实例\n"));
        QCOMPARE(first.Process().state(), QProcess::Running);

        // Killed without any clean-up: its lock file stays behind, stale.
        first.Process().kill();
        QVERIFY(first.Process().waitForFinished(10000));
        QVERIFY(!QDir(m_runtimeDir.path()).entryList({"Vexmor*"}, QDir::Files).isEmpty());

        QFile::remove(ini);
        ProgramRun third(m_programDir.path(), m_runtimeDir.path(), m_boxLog);
        QVERIFY(third.Process().waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 30000);
        QTest::qWait(500);
        QCOMPARE(third.Process().state(), QProcess::Running);
        QCOMPARE(ReadText(m_boxLog), QString("程序已经运行一个实例\n"));
    }

private:
    QTemporaryDir m_programDir;
    QTemporaryDir m_runtimeDir;
    QString m_boxLog;
};

QTEST_GUILESS_MAIN(AppProcessTest)
#include "AppProcessTest.moc"
