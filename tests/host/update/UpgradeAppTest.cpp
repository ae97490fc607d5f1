// One component upgrade through the application objects, as a user makes
// it: 更新升级 finds the newer plug-in, 升级 schedules it, the next start
// downloads it before any plug-in is loaded, and 组件管理 shows the version
// that then runs. A server that dies mid-download leaves the old version.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "host/app/VexmorApp.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/update/ComponentDlg.h"
#include "host/update/OnlineUpgradeDlg.h"
#include "host/update/UpdateDlg.h"
#include "platform/MessageBox.h"
#include "support/FakeHttpServer.h"
#include "support/FakeProgramDir.h"
#include "support/FakePublisher.h"

namespace {

// Runs `act` on the first top-level dialog of type T once a modal loop is
// running; the caller then starts that loop.
template <typename T, typename F>
void WhenShown(F act) {
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) return act(d);
        QFAIL("the dialog did not come up");
    });
}

QByteArray Fixture(const QString& folder, const QString& file) {
    QFile f(QStringLiteral(VX_FIXTURE_DIR "/") + folder + '/' + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class UpgradeAppTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        vx::CMainFrame::OverrideTrayAvailability(false);
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }

    // The page names the file in lower case; installed, it may be spelt
    // otherwise, and is replaced all the same rather than joined by a copy.
    void upgradesAtTheNextStart_data() {
        QTest::addColumn<bool>("serverDies");
        QTest::addColumn<QString>("installedAs");
        QTest::addColumn<QString>("version");
        QTest::newRow("whole download") << false << "vx_fx.so" << "1.0.0.2";
        QTest::newRow("installed in other case") << false << "VX_FX.so" << "1.0.0.2";
        QTest::newRow("server dies mid-download") << true << "vx_fx.so" << "1.0.0.1";
    }
    void upgradesAtTheNextStart() {
        QFETCH(bool, serverDies);
        QFETCH(QString, installedAs);
        QFETCH(QString, version);
        FakeProgramDir dir;
        FakeHttpServer server;
        FakePublisher publisher;
        QVERIFY(publisher.TrustIn(dir.Path()));
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", installedAs));
        const QByteArray v2 = Fixture("version2", "fx_version2.so");
        const QByteArray page = "::BEGIN::vx_fx.so*1.72*1.0.0.2*1MB*" +
                                server.Url("/vx_fx.so").toLatin1() + "*fix#::END::";
        server.Set("/vexmor/update.htm", FakeHttpServer::Answer(page));
        server.Set("/vexmor/update.htm.minisig", FakeHttpServer::Answer(publisher.Sign(page)));
        server.Set("/vx_fx.so", serverDies ? FakeHttpServer::Answer(v2.left(600), 200, v2.size())
                                           : FakeHttpServer::Answer(v2));
        server.Set("/vx_fx.so.minisig", FakeHttpServer::Answer(publisher.Sign(v2)));
        m_boxes.clear();
        {
            vx::CVexmorApp app;
            QVERIFY(app.InitInstance());
            QStringList offered;
            WhenShown<vx::CUpdateDlg>([&](vx::CUpdateDlg* d) {
                d->UrlEdit()->setText(server.Url("/vexmor/update.htm"));
                d->findChild<QPushButton*>("1004")->click();
                if (QTreeWidgetItem* row = d->List()->topLevelItem(0))
                    offered << row->text(0) << row->text(1);
                d->findChild<QPushButton*>("1005")->click();
            });
            app.Doc()->OnUpdate();
            QCOMPARE(offered, (QStringList{"vx_fx.so", "替换"}));
            QCOMPARE(m_boxes, QStringList{"程序需要退出才能完成升级"});
        }

        dir.ClearLog();
        vx::CVexmorApp restarted;
        QStringList progress;
        WhenShown<vx::COnlineUpgradeDlg>([&](vx::COnlineUpgradeDlg* d) {
            d->findChild<QPushButton*>("1004")->click();
            QObject::connect(d, &QDialog::finished, [&, d] {
                progress << d->List()->topLevelItem(0)->text(2);
            });
        });
        QVERIFY(restarted.InitInstance());
        QCOMPARE(progress, QStringList{serverDies ? "更新失败" : "100.00%"});
        // The download was over before the library was loaded, and it works.
        const QStringList log = dir.ReadLog();
        QVERIFY(log.value(0).startsWith("load " + installedAs + " "));
        QCOMPARE(log.value(1), "create 测试_" + installedAs);
        QCOMPARE(QDir(dir.PluginDir()).entryList(QDir::Files), QStringList{installedAs});

        QString shown;
        WhenShown<vx::CComponentDlg>([&](vx::CComponentDlg* d) {
            shown = d->List()->topLevelItem(0)->text(3);
            d->reject();
        });
        restarted.Doc()->OnComponentManage();
        QCOMPARE(shown, version);
    }

    // Disabled at one start, gone at the next.
    void disableAndUninstallTakeEffectAtTheNextStart() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_a.so"));
        QVERIFY(dir.AddFixture("version1", "fx_version1.so", "vx_b.so"));
        auto actOn = [](vx::CComponentDlg* d, const QString& name, void (vx::CComponentDlg::*act)()) {
            d->List()->setCurrentItem(d->List()->findItems(name, Qt::MatchExactly).value(0));
            d->OnListClick();
            (d->*act)();
        };
        {
            vx::CVexmorApp app;
            QVERIFY(app.InitInstance());
            WhenShown<vx::CComponentDlg>([&](vx::CComponentDlg* d) {
                actOn(d, "vx_a.so", &vx::CComponentDlg::OnToggle);
                actOn(d, "vx_b.so", &vx::CComponentDlg::OnUninstall);
                d->reject();
            });
            app.Doc()->OnComponentManage();
        }
        dir.ClearLog();
        {
            vx::CVexmorApp app;
            QVERIFY(app.InitInstance());
        }
        QCOMPARE(LinesStartingWith(dir.ReadLog(), "create"), QStringList{});
        QVERIFY(!QFile::exists(dir.PluginDir() + "vx_b.so"));
        QVERIFY(QFile::exists(dir.PluginDir() + "vx_a.so"));
    }

private:
    QTemporaryDir m_runtime;
    QStringList m_boxes;
};

QTEST_MAIN(UpgradeAppTest)
#include "UpgradeAppTest.moc"
