// A plug-in's one exported function is CreateObj: hidden visibility and the
// static libraries kept inside must not leak anything else into the dynamic
// symbol table, where it could bind against another module's copy.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

// The lines nm prints for `arguments`; false when nm cannot be run. A
// failing nm leaves `lines` empty, which the callers' checks then report.
bool Nm(const QStringList& arguments, QStringList* lines) {
    QProcess nm;
    nm.start("nm", arguments);
    if (!nm.waitForStarted()) return false;
    nm.waitForFinished();
    lines->clear();
    if (nm.exitCode() == 0)
        *lines = QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n');
    return true;
}

}  // namespace

class PluginExportTest : public QObject {
    Q_OBJECT
private slots:
    void exportsOnlyCreateObj_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("functions");
        const QString fixtures = QStringLiteral(VX_FIXTURE_DIR);
        for (const char* f : {"pair/fx_pair.so", "nullfirst/fx_nullfirst.so", "named/fx_named.so",
                              "search/fx_search.so", "nofolder/fx_nofolder.so"})
            QTest::newRow(f) << fixtures + '/' + f << QStringList{"CreateObj"};
        QTest::newRow("noexport") << fixtures + "/noexport/fx_noexport.so" << QStringList{};
        // The shipped plug-ins, whichever are built.
        const QDir shipped(qEnvironmentVariable("VX_BIN_DIR") + "/ToolDlls");
        for (const QString& f : shipped.entryList({"*.so"}, QDir::Files))
            QTest::newRow(qPrintable(f)) << shipped.filePath(f) << QStringList{"CreateObj"};
    }
    void exportsOnlyCreateObj() {
        QFETCH(QString, path);
        QFETCH(QStringList, functions);
        QStringList lines;
        if (!Nm({"-D", "--defined-only", path}, &lines)) QSKIP("nm is not installed");
        QStringList found;
        for (const QString& line : lines) {
            const QStringList f = line.split(' ', Qt::SkipEmptyParts);
            if (f.size() == 3 && QStringList{"T", "W", "i"}.contains(f[1])) found << f[2];
        }
        QCOMPARE(found, functions);
    }

    // The platform layer is the one shared library beside the program: the
    // program and the shipped plug-ins define none of it themselves.
    void platformCodeOnlyInItsLibrary_data() {
        QTest::addColumn<QString>("path");
        const QString bin = qEnvironmentVariable("VX_BIN_DIR");
        QTest::newRow("Vexmor") << bin + "/Vexmor";
        const QDir shipped(bin + "/ToolDlls");
        for (const QString& f : shipped.entryList({"*.so"}, QDir::Files))
            QTest::newRow(qPrintable(f)) << shipped.filePath(f);
    }
    void platformCodeOnlyInItsLibrary() {
        QFETCH(QString, path);
        QStringList lines;
        if (!Nm({"-C", "--defined-only", path}, &lines)) QSKIP("nm is not installed");
        QVERIFY2(lines.size() > 1, "nm read no symbols");
        // Functions of the namespace (a template's return type may come
        // first) and the virtual tables of its classes; not other code that
        // merely names a platform type, nor type information, which a
        // sanitizer's type checks place in every module that uses a class.
        static const QRegularExpression function(R"(^(.* )?[*&]?vx::platform::)");
        QStringList found;
        for (const QString& line : lines) {
            const QString type = line.section(' ', 1, 1), name = line.section(' ', 2);
            if ((QStringLiteral("TtWwi").contains(type) && !type.isEmpty() &&
                 function.match(name.section('(', 0, 0)).hasMatch()) ||
                name.startsWith("vtable for vx::platform::"))
                found << line;
        }
        QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
    }

    // The end-to-end suite's hook is preloaded from the test tree; nothing
    // that ships names its variable.
    void shippedFilesCarryNoTestHook() {
        const QString bin = qEnvironmentVariable("VX_BIN_DIR");
        const QStringList files = QDir(bin).entryList({"Vexmor", "*.so*"}, QDir::Files) +
                                  QDir(bin + "/ToolDlls").entryList({"*.so"}, QDir::Files);
        QVERIFY(files.contains("Vexmor"));
        for (const QString& name : files) {
            QFile f(QFile::exists(bin + '/' + name) ? bin + '/' + name : bin + "/ToolDlls/" + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(!f.readAll().contains("VX_TEST_HOOK"), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(PluginExportTest)
#include "PluginExportTest.moc"
