// The update check, the update dialog, the online upgrade and the component
// dialog, against an HTTP server on 127.0.0.1 that the test starts, in a
// private program directory with fixture plug-ins of known versions.
#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "host/update/ComponentDlg.h"
#include "host/update/OnlineUpgradeDlg.h"
#include "host/update/UpdateChecker.h"
#include "host/update/UpdateDlg.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "support/FakeHttpServer.h"
#include "support/FakeProgramDir.h"
#include "support/FakePublisher.h"

using vx::ComponentRecord;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

QByteArray Fixture(const QString& folder, const QString& file) {
    return ReadFile(QStringLiteral(VX_FIXTURE_DIR "/") + folder + '/' + file);
}

QByteArray Page(const QString& entries) {
    return vx::platform::ToGbk("<html>::BEGIN::" + entries + "::END::</html>");
}

QStringList Texts(QTreeWidget* list, int columns) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList row;
        for (int c = 0; c < columns; ++c) row << list->topLevelItem(i)->text(c);
        rows << row.join('|');
    }
    return rows;
}

// Runs the online upgrade of what is scheduled; the rows afterwards.
QStringList RunScheduledUpgrade() {
    vx::COnlineUpgradeDlg dlg;
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.show();
    dlg.findChild<QPushButton*>("1004")->click();
    if (!QTest::qWaitFor([&] { return !finished.isEmpty(); }, 20000)) return {"did not finish"};
    return Texts(dlg.List(), 3);
}

// Every file in `folder`, with a digest of its content.
QStringList Contents(const QString& folder) {
    QStringList files;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(f.filePath());
        file.open(QIODevice::ReadOnly);
        files << f.fileName() + ' ' + QCryptographicHash::hash(file.readAll(),
                                                               QCryptographicHash::Sha256).toHex();
    }
    return files;
}

QString Ini(const QString& section, const QString& key) {
    return vx::platform::ProfileFile::Settings().GetString(section, key, "<absent>", 4096);
}

}  // namespace

class UpdateTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Everything goes to 127.0.0.1 directly, never through a proxy.
        for (const char* v : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                              "all_proxy", "ALL_PROXY"})
            qunsetenv(v);
        QVERIFY(m_server.IsListening());
        QVERIFY2(m_publisher.IsReady() && m_stranger.IsReady(), "minisign did not make keys");
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void init() {
        m_boxes.clear();
        m_log.clear();
    }


    void checksUpdates_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("rows");  // name|kind|old version|target in ToolDlls
        const QString e = "*1.72*%1*1KB*http://h/x.so*r#";
        QTest::newRow("newer, name in other case")
            << Page("VX_FX.so" + e.arg("1.0.0.2")) << false << 200 << true
            << QStringList{"VX_FX.so|替换|1.0.0.1|vx_fx.so"};
        QTest::newRow("installed in other case")
            << Page("vx_plain.so" + e.arg("0.0.0.1")) << false << 200 << true
            << QStringList{"vx_plain.so|替换|0.0.0.0|VX_PLAIN.SO"};
        QTest::newRow("equal dropped") << Page("vx_fx.so" + e.arg("1.0.0.1")) << false << 200
                                       << true << QStringList{};
        QTest::newRow("not installed") << Page("vx_new.so" + e.arg("1.0.0.0")) << false << 200
                                       << true << QStringList{"vx_new.so|新增||vx_new.so"};
        QTest::newRow("not a library") << Page("vx_text.so" + e.arg("0.0.0.1")) << false << 200
                                       << true << QStringList{"vx_text.so|替换|0.0.0.0|vx_text.so"};
        QTest::newRow("chunked page") << Page("vx_new.so" + e.arg("1")) << true << 200 << true
                                      << QStringList{"vx_new.so|新增||vx_new.so"};
        QTest::newRow("404 with a page") << Page("vx_new.so" + e) << false << 404 << false
                                         << QStringList{};
        const QByteArray big = Page("vx_new.so" + e.arg("1")) + QByteArray(1 << 20, ' ');
        QTest::newRow("over 1 MiB") << big << false << 200 << false << QStringList{};
        QTest::newRow("over 1 MiB chunked") << big << true << 200 << false << QStringList{};
    }
    void checksUpdates() {
        QFETCH(QByteArray, page);
        QFETCH(bool, chunked);
        QFETCH(int, status);
        QFETCH(bool, ok);
        QFETCH(QStringList, rows);
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_fx.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "VX_PLAIN.SO"));
        QVERIFY(dir.AddFixture("notlib", "NotALibrary.so", "vx_text.so"));
        ServeSigned("/check", page);
        if (chunked) m_server.Set("/check", FakeHttpServer::Chunked(page));
        if (status != 200) m_server.Set("/check", FakeHttpServer::Answer(page, status));
        QList<ComponentRecord> found;
        QCOMPARE(vx::CUpdateChecker().CheckUpdates(m_server.Url("/check"), found), ok);
        QStringList got;
        for (const ComponentRecord& r : found)
            got << QStringList{r.fileName, r.kind, r.oldVersion,
                               QString(r.target).remove(dir.PluginDir())}
                       .join('|');
        QCOMPARE(got, rows);
    }

    // The request the server sees, and schemes other than http refused.
    void requestsWithoutCache() {
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        ServeSigned("/page", Page(""));
        const qsizetype before = m_server.Requests().size();
        QList<ComponentRecord> found;
        QVERIFY(vx::CUpdateChecker().CheckUpdates(m_server.Url("/page"), found));
        const QByteArrayList requests = m_server.Requests().mid(before);
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].startsWith("GET /page HTTP/1.1\r\n"));
        QVERIFY(requests[1].startsWith("GET /page.minisig HTTP/1.1\r\n"));
        for (const char* header : {"\r\nAccept: */*\r\n", "\r\nPragma: no-cache\r\n",
                                   "\r\nCache-Control: no-cache\r\n", "\r\nUser-Agent: Agent"})
            QVERIFY2(requests[0].contains(header), header);

        QFile local(dir.Path() + "page.htm");
        QVERIFY(local.open(QIODevice::WriteOnly) && local.write(Page("")) > 0);
        local.close();
        QVERIFY(!vx::CUpdateChecker().CheckUpdates(QUrl::fromLocalFile(local.fileName()).toString(),
                                                   found));
    }

    // A failed check keeps the remembered URL; a good one replaces it; rows
    // 1 and 2 of three ticked are scheduled as files 0 and 1.
    void updateDialogSchedulesTickedRows() {
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        QVERIFY(dir.WriteIni("[更新升级]\r\n更新信息URL=http://127.0.0.1:1/old\r\n"));
        const QString e = "*1.72*1*2KB*http://h/%1*r#";
        ServeSigned("/three", Page("a.so" + e.arg("a") + "b.so" + e.arg("b") + "c.so" + e.arg("c")));
        vx::CUpdateDlg dlg;
        QCOMPARE(dlg.UrlEdit()->text(), QString("http://127.0.0.1:1/old"));
        QVERIFY(!dlg.UpgradeButton()->isEnabled());
        dlg.UrlEdit()->setText(m_server.Url("/missing"));
        dlg.OnCheckUpdate();
        QCOMPARE(dlg.Status()->text(), QString("检查更新失败"));
        QCOMPARE(Ini("更新升级", "更新信息URL"), QString("http://127.0.0.1:1/old"));

        dlg.UrlEdit()->setText(m_server.Url("/three"));
        dlg.OnCheckUpdate();
        QCOMPARE(dlg.Status()->text(), QString("共有3个文件需要更新"));
        QCOMPARE(Ini("更新升级", "更新信息URL"), m_server.Url("/three"));
        QCOMPARE(Texts(dlg.List(), 7),
                 (QStringList{"a.so|新增|2KB|1.72|1||r", "b.so|新增|2KB|1.72|1||r",
                              "c.so|新增|2KB|1.72|1||r"}));
        dlg.List()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        dlg.OnUpgrade();
        QCOMPARE(m_boxes, QStringList{"程序需要退出才能完成升级"});
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(Ini("更新升级", "更新文件数"), QString("2"));
        QCOMPARE(Ini("更新文件0", "原文件"), QString("http://h/b"));
        QCOMPARE(Ini("更新文件0", "目标文件"), dir.PluginDir() + "b.so");
        QCOMPARE(Ini("更新文件1", "原文件"), QString("http://h/c"));
        QCOMPARE(Ini("更新文件2", "原文件"), QString("<absent>"));

        vx::COnlineUpgradeDlg next;
        QCOMPARE(Texts(next.List(), 1), (QStringList{"b.so", "c.so"}));
    }

    // A count far beyond the files scheduled lists those files, at once.
    void upgradeListEndsAtTheFirstMissingFile() {
        FakeProgramDir dir;
        QVERIFY(dir.WriteIni("[更新升级]\r\n更新文件数=2000000000\r\n"
                             "[更新文件0]\r\n原文件=http://h/a\r\n目标文件=/x/ToolDlls/a.so\r\n"));
        QCOMPARE(Texts(vx::COnlineUpgradeDlg().List(), 1), QStringList{"a.so"});
    }

    // Every ticked row must suit this program; unticked ones do not count.
    void upgradeRefusesAnyTickedRowOfAnotherProgramVersion() {
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        ServeSigned("/mixed", Page("a.so*1.72*1*1*u*r#b.so*1.80*1*1*u*r#c.so*1.71*1*1*u*r#"));
        vx::CUpdateDlg dlg;
        dlg.UrlEdit()->setText(m_server.Url("/mixed"));
        dlg.OnCheckUpdate();
        dlg.List()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        dlg.OnUpgrade();
        QCOMPARE(m_boxes, QStringList{"文件对应的主程序版本与您现在所使用的主程序版本不一致，"
                                      "您需要升级到\r\n最新的主程序版本--Vexmor V1.71"});
        QCOMPARE(Ini("更新升级", "更新文件数"), QString("<absent>"));
    }

    // Row 0 is the case, row 1 a good new file that follows it.
    void onlineUpgrade_data() {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("target");  // in ToolDlls unless absolute
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<bool>("replaced");
        const QByteArray v2 = Fixture("version2", "fx_version2.so");
        QTest::newRow("replaced") << FakeHttpServer::Answer(v2) << "vx_fx.so" << true << "100.00%"
                                  << true;
        QTest::newRow("cut short") << FakeHttpServer::Answer(QByteArray(600, 'x'), 200, 1000)
                                   << "vx_fx.so" << true << "更新失败" << false;
        QTest::newRow("new, cut short") << FakeHttpServer::Answer(QByteArray(600, 'x'), 200, 1000)
                                        << "vx_fx.so" << false << "更新失败" << false;
        QTest::newRow("404") << FakeHttpServer::Answer(v2, 404) << "vx_fx.so" << true
                             << "更新失败" << false;
        QTest::newRow("no length") << FakeHttpServer::Chunked(v2) << "vx_fx.so" << true
                                   << "更新失败" << false;
        QTest::newRow("outside ToolDlls") << FakeHttpServer::Answer(v2) << "../vx_fx.so" << false
                                          << "更新失败" << false;
    }
    void onlineUpgrade() {
        QFETCH(QByteArray, response);
        QFETCH(QString, target);
        QFETCH(bool, installed);
        QFETCH(QString, progress);
        QFETCH(bool, replaced);
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        const QByteArray before = installed ? Fixture("version1", "fx_version1.so") : "<none>";
        if (installed) QVERIFY(dir.AddFixture("version1", "fx_version1.so", target));
        ServeSigned("/case", Fixture("version2", "fx_version2.so"));
        m_server.Set("/case", response);
        ServeSigned("/good", "good");
        QVERIFY(dir.WriteIni(QString("[更新升级]\r\n更新文件数=2\r\n"
                                     "[更新文件0]\r\n原文件=%1\r\n目标文件=%2\r\n"
                                     "[更新文件1]\r\n原文件=%3\r\n目标文件=%4\r\n")
                                 .arg(m_server.Url("/case"), dir.PluginDir() + target,
                                      m_server.Url("/good"), dir.PluginDir() + "vx_new.so")));

        vx::COnlineUpgradeDlg dlg;
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.show();
        dlg.findChild<QPushButton*>("1004")->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(dlg.List()->topLevelItem(0)->text(2), progress);
        QCOMPARE(Texts(dlg.List(), 3).value(1), QString("vx_new.so|4B|100.00%"));
        QCOMPARE(ReadFile(dir.PluginDir() + target),
                 replaced ? Fixture("version2", "fx_version2.so") : before);
        QCOMPARE(ReadFile(dir.PluginDir() + "vx_new.so"), QByteArray("good"));
        QCOMPARE(QDir(dir.PluginDir()).entryList(QDir::Files).filter(QRegularExpression(
                     "\\.(ov|part)$")),
                 QStringList{});
        QCOMPARE(Ini("更新升级", "更新文件数"), QString("0"));

        dlg.OnUpgradeProgress(0, 1000, 500);
        QCOMPARE(Texts(dlg.List(), 3).value(0).section('|', 1), QString("1000B|50.00%"));
    }

    // Someone between the update server and the program, whatever they
    // change, gets no byte into ToolDlls; a page they touched lists nothing
    // and the output log says why. "all signed" shows the way through.
    void manInTheMiddleGetsNothingIn_data() {
        QTest::addColumn<QString>("attack");
        QTest::addColumn<QString>("status");    // after 检查更新
        QTest::addColumn<QString>("logged");    // in the output-log line
        QTest::addColumn<QString>("progress");  // of each row at the next start
        const QString listed = "共有2个文件需要更新";
        const QString failed = "检查更新失败";
        QTest::newRow("all signed") << "" << listed << "" << "100.00%";
        QTest::newRow("good page, tampered files") << "files" << listed << "" << "更新失败";
        QTest::newRow("files signed by an unknown key") << "file key" << listed << "" << "更新失败";
        QTest::newRow("unsigned files") << "no file signature" << listed << "" << "更新失败";
        QTest::newRow("tampered page") << "page" << failed << "签名与内容不符" << "";
        QTest::newRow("unsigned page") << "no page signature" << failed << ".minisig" << "";
        QTest::newRow("page signed by an unknown key") << "page key" << failed << "不在可信公钥中"
                                                       << "";
        QTest::newRow("no trusted key") << "no keys" << failed << "没有可信的公钥" << "";
    }
    void manInTheMiddleGetsNothingIn() {
        QFETCH(QString, attack);
        QFETCH(QString, status);
        QFETCH(QString, logged);
        QFETCH(QString, progress);
        FakeProgramDir dir;
        if (attack != "no keys") QVERIFY(m_publisher.TrustIn(dir.Path()));
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_fx.so"));
        const QByteArray v2 = Fixture("version2", "fx_version2.so");
        const QByteArray page = Page("vx_fx.so*1.72*1.0.0.2*1KB*" + m_server.Url("/vx_fx.so") +
                                     "*r#vx_new.so*1.72*1*1KB*" + m_server.Url("/vx_new.so") + "*r#");
        ServeSigned("/page", page);
        ServeSigned("/vx_fx.so", v2);
        ServeSigned("/vx_new.so", "new");
        const QByteArray notFound = FakeHttpServer::Answer("", 404);
        if (attack == "page") m_server.Set("/page", Plain(QByteArray(page).replace("1.0.0.2", "1.0.0.3")));
        if (attack == "no page signature") m_server.Set("/page.minisig", notFound);
        if (attack == "page key") m_server.Set("/page.minisig", Plain(m_stranger.Sign(page)));
        if (attack == "files") {
            QByteArray patched = v2;
            patched[patched.size() / 2] = char(patched[patched.size() / 2] ^ 1);
            m_server.Set("/vx_fx.so", Plain(patched));
            m_server.Set("/vx_new.so", Plain("neW"));
        }
        for (const QByteArray file : {"/vx_fx.so", "/vx_new.so"}) {
            if (attack == "file key")
                m_server.Set(file + ".minisig", Plain(m_stranger.Sign(file == "/vx_new.so" ? "new" : v2)));
            if (attack == "no file signature") m_server.Set(file + ".minisig", notFound);
        }
        const QStringList before = Contents(dir.PluginDir());

        vx::CUpdateDlg dlg(nullptr, [this](const QString& line) { m_log << line; });
        dlg.UrlEdit()->setText(m_server.Url("/page"));
        dlg.OnCheckUpdate();
        QCOMPARE(dlg.Status()->text(), status);
        if (progress.isEmpty()) {
            QCOMPARE(m_log.size(), 1);
            QVERIFY2(m_log[0].startsWith("检查更新失败: ") && m_log[0].contains(logged),
                     qPrintable(m_log[0]));
            QCOMPARE(dlg.List()->topLevelItemCount(), 0);
        } else {
            QVERIFY(m_log.isEmpty());
            dlg.OnUpgrade();
            const QStringList rows = RunScheduledUpgrade();
            QCOMPARE(rows.size(), 2);
            for (const QString& row : rows) QCOMPARE(row.section('|', 2), progress);
        }
        if (progress == "100.00%") {
            QCOMPARE(QDir(dir.PluginDir()).entryList(QDir::Files),
                     (QStringList{"vx_fx.so", "vx_new.so"}));
            QCOMPARE(ReadFile(dir.PluginDir() + "vx_fx.so"), v2);
        } else {
            QCOMPARE(Contents(dir.PluginDir()), before);
        }
    }

    // "升级" reports success only once every value is written as it will be
    // read back; an older, longer schedule leaves no section behind its count.
    void upgradeIsScheduledOnlyWhenWritten_data() {
        QTest::addColumn<QString>("source");  // URL of the one entry
        QTest::addColumn<bool>("iniIsFolder");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("schedule");  // count, then each 原文件 up to the first absent
        const QString old = "http://old/";
        const QString refused = "升级设置没有写入，本次没有安排升级";
        QTest::newRow("written") << "http://h/a.so" << false
                                 << QStringList{"程序需要退出才能完成升级"}
                                 << QStringList{"1", "http://h/a.so", "<absent>"};
        QTest::newRow("URL longer than its setting")
            << "http://h/" + QString(250, 'a') << false << QStringList{refused}
            << QStringList{"3", old + "a", old + "b", old + "c", "<absent>"};
        QTest::newRow("settings cannot be written") << "http://h/a.so" << true
                                                    << QStringList{refused}
                                                    << QStringList{"<absent>"};
    }
    void upgradeIsScheduledOnlyWhenWritten() {
        QFETCH(QString, source);
        QFETCH(bool, iniIsFolder);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, schedule);
        FakeProgramDir dir;
        QVERIFY(m_publisher.TrustIn(dir.Path()));
        QString ini = "[更新升级]\r\n更新文件数=3\r\n";
        for (const char* f : {"a", "b", "c"})
            ini += QString("[更新文件%1]\r\n原文件=http://old/%2\r\n目标文件=%3%2.so\r\n")
                       .arg(ini.count("[更新文件")).arg(f, dir.PluginDir());
        QVERIFY(dir.WriteIni(ini));
        ServeSigned("/one", Page("a.so*1.72*1*1KB*" + source + "*r#"));
        vx::CUpdateDlg dlg;
        dlg.UrlEdit()->setText(m_server.Url("/one"));
        dlg.OnCheckUpdate();
        QCOMPARE(dlg.List()->topLevelItemCount(), 1);
        if (iniIsFolder) QVERIFY(QFile::remove(dir.IniPath()) && QDir().mkdir(dir.IniPath()));
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        dlg.OnUpgrade();
        QCOMPARE(m_boxes, boxes);
        QCOMPARE(accepted.size(), boxes.value(0) == "程序需要退出才能完成升级" ? 1 : 0);
        QStringList got{Ini("更新升级", "更新文件数")};
        for (int i = 0; got.last() != "<absent>"; ++i) got << Ini(QString("更新文件%1").arg(i), "原文件");
        QCOMPARE(got, schedule);
    }

    // Only vx_ libraries are listed, with their version blocks; the toggle
    // and "卸载" edit the settings and nothing else.
    void componentDialog() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_fx.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "VX_Plain.SO"));
        QVERIFY(dir.AddFixture("named", "fx_named.so", "patrol.so"));
        QVERIFY(QDir(dir.PluginDir()).mkdir("vx_dir.so"));
        // Whole names only: vx_fx.so is not the vx_vx_fx.so listed.
        QVERIFY(dir.WriteIni("[组件管理]\r\n禁用组件=vx_b.so;vx_vx_fx.so;VX_Plain.SO;\r\n"
                             "卸载组件=x.so;\r\n"));

        auto dlg = std::make_unique<vx::CComponentDlg>();
        QStringList rows = Texts(dlg->List(), 5);
        rows.sort();
        QCOMPARE(rows, (QStringList{"VX_Plain.SO||禁用||", "vx_fx.so|版本测试|启用|1.0.0.1|Vexmor 测试"}));
        auto select = [&](const QString& name) {
            QTreeWidgetItem* row = dlg->List()->findItems(name, Qt::MatchExactly).value(0);
            QVERIFY(row);
            dlg->List()->setCurrentItem(row);
            dlg->OnListClick();
        };
        select("VX_Plain.SO");
        QCOMPARE(dlg->ToggleButton()->text(), QString("启用"));
        dlg->OnToggle();
        QCOMPARE(Ini("组件管理", "禁用组件"), QString("vx_b.so;vx_vx_fx.so;"));
        QCOMPARE(dlg->ToggleButton()->text(), QString("禁用"));
        select("vx_fx.so");
        QCOMPARE(dlg->ToggleButton()->text(), QString("禁用"));
        dlg->OnToggle();
        dlg->ToggleButton()->setText("禁用");
        dlg->OnToggle();  // already listed: not added twice
        QCOMPARE(Ini("组件管理", "禁用组件"), QString("vx_b.so;vx_vx_fx.so;vx_fx.so;"));
        dlg->OnUninstall();
        QCOMPARE(Ini("组件管理", "卸载组件"), QString("x.so;vx_fx.so;"));
        QCOMPARE(dlg->List()->topLevelItemCount(), 1);
        QVERIFY(QFile::exists(dir.PluginDir() + "vx_fx.so"));

        // Esc says nothing; the close box after a change says it needs a restart.
        dlg->show();
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        QVERIFY(m_boxes.isEmpty());
        dlg->show();
        dlg->close();
        QCOMPARE(m_boxes, QStringList{"重新启动程序后生效"});

        m_boxes.clear();
        dlg = std::make_unique<vx::CComponentDlg>();
        QCOMPARE(dlg->List()->topLevelItemCount(), 2);  // still on disk until the next start
        dlg->show();
        dlg->close();
        QVERIFY(m_boxes.isEmpty());
    }

private:
    // Sets `path` to answer `body` and `path`.minisig the publisher's
    // signature of it.
    void ServeSigned(const QByteArray& path, const QByteArray& body) {
        m_server.Set(path, Plain(body));
        m_server.Set(path + ".minisig", FakeHttpServer::Answer(m_publisher.Sign(body)));
    }
    static QByteArray Plain(const QByteArray& body) { return FakeHttpServer::Answer(body); }

    FakeHttpServer m_server;
    FakePublisher m_publisher;
    FakePublisher m_stranger;
    QStringList m_boxes;
    QStringList m_log;
};

QTEST_MAIN(UpdateTest)
#include "UpdateTest.moc"
