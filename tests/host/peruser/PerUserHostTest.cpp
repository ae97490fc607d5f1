// The host's side of the per-user folders: a program folder with the marker
// file (so the choice holds for root too), the user's XDG folders in a
// temporary folder, fixture plug-ins in both ToolDlls.
#include <QTest>
#include <QTreeWidget>

#include "host/app/VexmorApp.h"
#include "host/update/ComponentDlg.h"
#include "host/update/UpdateChecker.h"
#include "host/update/UpgradeRunner.h"
#include "platform/PluginFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"
#include "support/FakeHttpServer.h"
#include "support/FakePublisher.h"
#include "support/FakeProgramDir.h"

namespace {

vx::platform::ProfileFile UserIni(const FakeSharedProgramDir& dir) {
    return vx::platform::ProfileFile(dir.UserIniPath());
}

}  // namespace

class PerUserHostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
        QVERIFY(m_server.IsListening());
    }

    // "卸载组件" deletes the user's copies only; a program copy of a listed
    // name is disabled for this user instead, under its name as on disk.
    void uninstallDisablesProgramCopies_data() {
        QTest::addColumn<QString>("uninstall");
        QTest::addColumn<QString>("disabledBefore");
        QTest::addColumn<QStringList>("deleted");
        QTest::addColumn<QString>("disabledAfter");
        QTest::newRow("program copy") << "vx_a.so;" << QString() << QStringList{} << "vx_a.so;";
        QTest::newRow("user copy only")
            << "vx_c.so;" << QString() << QStringList{"vx_c.so"} << QString();
        QTest::newRow("user copy over a program copy")
            << "vx_b.so;" << QString() << QStringList{"vx_b.so"} << "VX_B.so;";
        QTest::newRow("other case, already disabled")
            << "VX_A.SO;"
            << "x;vx_a.so;" << QStringList{} << "x;vx_a.so;";
        QTest::newRow("not a plain name")
            << "../vx_a.so;" << QString() << QStringList{} << QString();
    }
    void uninstallDisablesProgramCopies() {
        QFETCH(QString, uninstall);
        QFETCH(QString, disabledBefore);
        QFETCH(QStringList, deleted);
        QFETCH(QString, disabledAfter);
        FakeSharedProgramDir dir;
        QVERIFY(dir.AddFixture("named", "fx_named.so", "vx_a.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "VX_B.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "vx_b.so", dir.UserPluginDir()));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "vx_c.so", dir.UserPluginDir()));
        UserIni(dir).WriteString("组件管理", "卸载组件", uninstall);
        UserIni(dir).WriteString("组件管理", "禁用组件", disabledBefore);

        QCOMPARE(vx::CVexmorApp::DeleteUninstalledComponents(), deleted);
        for (const char* f : {"vx_b.so", "vx_c.so"})
            QCOMPARE(QFile::exists(dir.UserPluginDir() + f), !deleted.contains(f));
        QVERIFY(QFile::exists(dir.PluginDir() + "vx_a.so"));
        QVERIFY(QFile::exists(dir.PluginDir() + "VX_B.so"));
        QCOMPARE(UserIni(dir).GetString("组件管理", "禁用组件", "", 1024), disabledAfter);
        QCOMPARE(UserIni(dir).GetString("组件管理", "卸载组件", "?", 1024), QString(""));
        QVERIFY(!QFile::exists(dir.IniPath()));
    }

    // The list shows the copies that load, and from where.
    void componentListShowsOrigin() {
        FakeSharedProgramDir dir;
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_fx.so"));
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_sys.so"));
        QVERIFY(dir.AddFixture("version2", "fx_version2.so", "VX_FX.so", dir.UserPluginDir()));
        vx::CComponentDlg dlg;
        QStringList rows;
        for (int i = 0; i < dlg.List()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = dlg.List()->topLevelItem(i);
            rows << QStringList{row->text(0), row->text(3), row->text(5)}.join('|');
        }
        rows.sort();
        QCOMPARE(dlg.List()->headerItem()->text(5), QString("来源"));
        QCOMPARE(rows, (QStringList{"VX_FX.so|1.0.0.2|用户", "vx_sys.so|1.0.0.1|系统"}));
    }

    // The check compares with the copy that loads, every target lies in the
    // user's folder, and the download lands there beside the program's copy.
    void upgradeLandsInUserFolder() {
        FakeSharedProgramDir dir;
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_fx.so"));
        const QByteArray v2 = FixtureBytes("version2", "fx_version2.so");
        FakePublisher publisher;
        QVERIFY(publisher.IsReady() && publisher.TrustIn(dir.Path()));
        const QByteArray page = vx::platform::ToGbk("::BEGIN::vx_fx.so*1.72*1.0.0.2*1*" +
                                                    m_server.Url("/v2") + "*r#::END::");
        for (const auto& [path, bytes] : {std::pair{QByteArray("/page"), page}, std::pair{QByteArray("/v2"), v2}}) {
            m_server.Set(path, FakeHttpServer::Answer(bytes));
            m_server.Set(path + ".minisig", FakeHttpServer::Answer(publisher.Sign(bytes)));
        }

        QList<vx::ComponentRecord> found;
        QVERIFY(vx::CUpdateChecker().CheckUpdates(m_server.Url("/page"), found));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].kind, QString("替换"));
        QCOMPARE(found[0].oldVersion, QString("1.0.0.1"));
        QCOMPARE(found[0].target, dir.UserPluginDir() + "vx_fx.so");
        QVERIFY(!vx::CUpgradeRunner::IsUpgradeTarget(dir.PluginDir() + "vx_fx.so"));

        QDir(dir.UserPluginDir()).removeRecursively();  // made on the way
        QStringList progress;
        vx::CUpgradeRunner runner(vx::platform::DefaultHttpClient(),
                                  [&](int row, quint32, quint32 written) {
                                      if (written == vx::CUpgradeRunner::kFailed)
                                          progress << QString::number(row);
                                  });
        runner.RunUpgrade({{found[0].source, found[0].target}});
        QCOMPARE(progress, QStringList{});
        QCOMPARE(ReadFileBytes(dir.UserPluginDir() + "vx_fx.so"), v2);
        QCOMPARE(ReadFileBytes(dir.PluginDir() + "vx_fx.so"),
                 FixtureBytes("version1", "fx_version1.so"));
        const QList<vx::platform::PluginFile> files = vx::platform::ListPluginFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].user);
    }

private:
    FakeHttpServer m_server;
};

QTEST_MAIN(PerUserHostTest)
#include "PerUserHostTest.moc"
