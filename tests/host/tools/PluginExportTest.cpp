// A plug-in's one exported function is CreateObj: hidden visibility and the
// static libraries kept inside must not leak anything else into the dynamic
// symbol table, where it could bind against another module's copy.
#include <QDir>
#include <QProcess>
#include <QTest>

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
        QProcess nm;
        nm.start("nm", {"-D", "--defined-only", path});
        if (!nm.waitForStarted()) QSKIP("nm is not installed");
        QVERIFY(nm.waitForFinished());
        QCOMPARE(nm.exitCode(), 0);
        QStringList found;
        for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n')) {
            const QStringList f = line.split(' ', Qt::SkipEmptyParts);
            if (f.size() == 3 && QStringList{"T", "W", "i"}.contains(f[1])) found << f[2];
        }
        QCOMPARE(found, functions);
    }
};

QTEST_GUILESS_MAIN(PluginExportTest)
#include "PluginExportTest.moc"
