// The settings file under faults and hostile contents: a disk that refuses
// the write, a file that cannot be read, files of tens of megabytes, text that
// is not GBK. In every case the old file survives a failed write, and reads
// fall back to defaults rather than fail.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "platform/Gbk.h"
#include "platform/ProfileFile.h"

using vx::platform::ProfileFile;

namespace {

constexpr int kSkipped = 77;  // a child that could not set its fault up

QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Runs `body` in a child process (faults such as a file size limit or a
// mount namespace must not reach the test runner) and returns its exit code,
// with its peak resident memory in MiB.
int InChild(const std::function<int()>& body, long* peakMiB = nullptr) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return -1;
    if (peakMiB) *peakMiB = usage.ru_maxrss / 1024;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A private mount namespace with a one-page tmpfs on `dir`, as root or through a
// user namespace; false when neither is allowed here.
bool MountTinyTmpfs(const QString& dir) {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        WriteRaw("/proc/self/setgroups", "deny");
        WriteRaw("/proc/self/uid_map", QByteArray::number(uid) + ' ' + QByteArray::number(uid) + " 1");
        WriteRaw("/proc/self/gid_map", QByteArray::number(gid) + ' ' + QByteArray::number(gid) + " 1");
    }
    // Nothing mounted here may show outside this process.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    return ::mount("vxfault", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=4k") == 0;
}

enum class Fault { FileSizeLimit, DiskFull, ReadOnlyFileSystem, Unreadable };

// Sets the fault up around an existing settings file; false to skip.
bool Inflict(Fault fault, const QString& dir, const QString& path, const QByteArray& old) {
    switch (fault) {
    case Fault::FileSizeLimit: {
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of killing
        rlimit limit{4096, 4096};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    case Fault::DiskFull:
        return MountTinyTmpfs(dir) && WriteRaw(path, old);
    case Fault::ReadOnlyFileSystem:
        return MountTinyTmpfs(dir) && WriteRaw(path, old) &&
               ::mount(nullptr, QFile::encodeName(dir).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    case Fault::Unreadable:
        // Root reads anything; become an ordinary owner whose file is
        // write-only: a write would be allowed, but there is no old text to
        // keep, and replacing the file would lose every other setting.
        if (::geteuid() == 0) {
            const QByteArray d = QFile::encodeName(dir), f = QFile::encodeName(path);
            if (::chown(d.constData(), 65534, 65534) != 0 ||
                ::chown(f.constData(), 65534, 65534) != 0 || ::setgid(65534) != 0 ||
                ::setuid(65534) != 0)
                return false;
        }
        return ::chmod(QFile::encodeName(path).constData(), S_IWUSR) == 0;
    }
    return false;
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

namespace {

// Lines without their ends, as the reader sees them.
QList<QByteArray> Lines(QByteArray bytes) {
    if (bytes.endsWith('\n')) bytes.chop(1);
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

}  // namespace

class ProfileFaultTest : public QObject {
    Q_OBJECT
private slots:
    // A write the disk refuses (or whose old file cannot be read) reports
    // failure and leaves the old file exactly as it was, with no temporary
    // file beside it. The new text is small enough to sit in the writer's
    // buffer until the end, where a short write is easiest to miss.
    void refusedWriteKeepsOldFile_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("file size limit (EFBIG)") << Fault::FileSizeLimit;
        QTest::newRow("disk full (ENOSPC)") << Fault::DiskFull;
        QTest::newRow("read-only file system (EROFS)") << Fault::ReadOnlyFileSystem;
        QTest::newRow("write-only file (EACCES on read)") << Fault::Unreadable;
    }
    void refusedWriteKeepsOldFile() {
        QFETCH(Fault, fault);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Vexmor.ini");
        const QByteArray old = vx::platform::ToGbk("[工具显示]\r\n网络工具_主机巡测=1,0\r\n");
        QVERIFY(WriteRaw(path, old));
        const int code = InChild([&] {
            if (!Inflict(fault, dir.path(), path, old)) return kSkipped;
            ProfileFile ini(path);
            if (ini.WriteString("设置共享资源", "big", QString(8 * 1024, 'x'))) return 1;
            if (ReadRaw(path) != old && fault != Fault::Unreadable) return 2;
            if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() != 1) return 3;
            return 0;
        });
        if (code == kSkipped) QSKIP("this fault cannot be set up here (needs root or user namespaces)");
        QCOMPARE(code, 0);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ReadRaw(path), old);
    }

    // Fifty megabytes of settings, of line breaks, of one line or of NUL
    // bytes: a read and a write each take seconds at most and memory a few
    // times the file, and both still find the last section.
    void largeFileStaysBounded_data() {
        QTest::addColumn<QByteArray>("unit");
        QTest::newRow("settings lines") << QByteArray("[section]\r\nkey=value\r\n");
        QTest::newRow("line breaks only") << QByteArray("\n");
        QTest::newRow("one long line") << QByteArray("x");
        QTest::newRow("NUL bytes") << QByteArray(1, '\0');
    }
    void largeFileStaysBounded() {
        QFETCH(QByteArray, unit);
        constexpr qsizetype kSize = 50 << 20;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Vexmor.ini");
        {
            QByteArray bytes = unit.repeated(kSize / unit.size());
            bytes += "\r\n[last]\r\nn=42\r\n";
            QVERIFY(WriteRaw(path, bytes));
        }
        long peakMiB = 0;
        QElapsedTimer timer;
        timer.start();
        const int code = InChild(
            [&] {
                ProfileFile ini(path);
                if (ini.GetInt("last", "n", 0) != 42) return 1;
                if (!ini.WriteString("last", "m", "7")) return 2;
                return ini.GetString("LAST", "M", "", 16) == "7" ? 0 : 3;
            },
            &peakMiB);
        QCOMPARE(code, 0);
        qInfo("read, write and read back: %lld ms, peak %ld MiB", timer.elapsed(), peakMiB);
        QVERIFY2(timer.elapsed() < 60000, "took over a minute");
        QVERIFY2(peakMiB < 1024, "a 50 MB file took over 1 GiB");
    }

    // Files saved in another encoding: keys in GBK are simply absent (the
    // defaults hold), ASCII sections still read, and a write adds its lines
    // after every old line, bytes unchanged.
    void foreignEncodingFallsBackToDefaults_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lastN");
        const QString text = "[工具显示]\r\n网络工具_主机巡测=3,0\r\n[last]\r\nn=42\r\n";
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + text.toUtf8() << 42;
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QTest::newRow("UTF-16 with BOM") << utf16 << -1;
        std::mt19937 rng(936);
        QByteArray noise(256 * 1024, Qt::Uninitialized);
        for (char& c : noise) c = static_cast<char>(rng());
        QTest::newRow("random bytes, then a section") << noise + "\r\n[last]\r\nn=42\r\n" << 42;
    }
    void foreignEncodingFallsBackToDefaults() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lastN);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ProfileFile ini(dir.filePath("Vexmor.ini"));
        QVERIFY(WriteRaw(ini.path(), bytes));
        QCOMPARE(ini.GetString("工具显示", "网络工具_主机巡测", "默认", 64), QString("默认"));
        QCOMPARE(ini.GetInt("last", "n", -1), lastN);
        QVERIFY(ini.WriteString("组件管理", "禁用组件", "VX_Old.so;"));
        QCOMPARE(ini.GetString("组件管理", "禁用组件", "", 64), QString("VX_Old.so;"));
        const QList<QByteArray> before = Lines(bytes), after = Lines(ReadRaw(ini.path()));
        QCOMPARE(after.mid(0, before.size()), before);
    }
};

QTEST_GUILESS_MAIN(ProfileFaultTest)
#include "ProfileFaultTest.moc"
