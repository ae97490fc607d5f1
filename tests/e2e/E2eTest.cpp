// The real program, as a user runs it, in the lab LAN: Xvfb with a tray host,
// the portable folder copied, the program driven through its own widgets.
#include <QAccessible>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

#include "e2e/E2eSession.h"
#include "e2e/E2eTexts.h"
#include "lab/LabSupport.h"
#include "support/FakePublisher.h"

using vx::e2e::Desktop;
using vx::e2e::Program;
using vx::e2e::ShownTool;
using vx::e2e::T;
using vx::e2e::WaitUntil;
using vx::lab::Lab;

namespace {

const QString kToolbar = QStringLiteral("mainFrame/59392");
const QString kLog = QStringLiteral("mainFrame/outputView");
const QString kPopup = QStringLiteral("176/1010");
const QString kPatrolList = QStringLiteral("CHostPatrolDlg/1000");
const QString kPatrolButton = QStringLiteral("CHostPatrolDlg/1004");
const QString kTrayMenu = QStringLiteral("162");
const QString kPatrolTool = QStringLiteral("搜索工具_主机巡测");
const QString kShareTool = QStringLiteral("搜索工具_设置共享资源");

// Exact ARP for a user without privileges goes through the helper that the
// set-up gives cap_net_raw. Without it the program reads the kernel's
// neighbour table, whose entries stay valid up to ~45 s after a host is gone;
// the patrol then runs as root so that going offline is seen in seconds.
bool UserHasExactArp() {
    QString out;
    vx::lab::RunCommand({"getcap", qEnvironmentVariable("VX_BIN_DIR") + "/vx-arp"}, &out);
    return out.contains(QLatin1String("cap_net_raw"));
}

std::unique_ptr<Program> Launch(const Desktop& desktop, bool unprivileged,
                                const QStringList& environment = {}) {
    auto program = std::make_unique<Program>(desktop, unprivileged);
    for (const QString& pair : environment)
        program->SetEnvironment(pair.section('=', 0, 0), pair.section('=', 1));
    QString error;
    if (!program->Prepare(&error) || !program->Start(&error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return program;
}

bool MainWindowUp(Program& program) {
    return WaitUntil([&] { return program.Visible("mainFrame"); }, 10000);
}

// Picks an entry of the thread-count list by key and confirms it with "确定".
bool SetThreads(Program& program, const QString& key, const QString& expected) {
    return program.Ok("key mainFrame/threadCountList " + key) &&
           WaitUntil([&] { return program.Text("mainFrame/threadCountList") == expected; },
                     3000) &&
           program.Ok("click mainFrame/61446") &&
           WaitUntil(
               [&] {
                   return program.Text(kLog).contains(T("设置当前执行线程数最大值=") + expected);
               },
               3000);
}

bool OpenModal(Program& program, const QString& command, const QString& dialog) {
    return program.Ok(command) &&
           WaitUntil([&] { return program.ActiveModal() == dialog; }, 5000);
}

// 退出 from the tray icon's menu, reached with real clicks of the X server.
bool ExitFromTray(Program& program) {
    return program.ClickTray(3) &&
           WaitUntil([&] { return program.Visible(kTrayMenu); }, 3000) &&
           program.Ok("action " + kTrayMenu + " 57665") && program.WaitForExit(15000);
}

bool EndedCleanly(const Program& program) {
    return !program.Running() && !program.CrashExit() && program.ExitCode() == 0;
}

QStringList OpenFolderItems(Program& program) {
    QStringList items;
    const QJsonArray children =
        program.Call("a11y toolListView/CGfxOutBarCtrl").value("children").toArray();
    for (const QJsonValue& child : children)
        if (child.toObject().value("role").toInt() == QAccessible::ListItem)
            items << child.toObject().value("name").toString();
    return items;
}

}  // namespace

#define LAUNCH(var, ...)                                         \
    std::unique_ptr<Program> var = Launch(m_desktop, __VA_ARGS__); \
    QVERIFY2(var, "the program did not start");                  \
    QVERIFY(MainWindowUp(*var))

class E2eTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "trayer", "xdotool", "smbclient", "setpriv"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/setup.sh)").arg(tool)));
        QString error;
        QVERIFY2(m_desktop.Start(&error), qPrintable(error));
    }
    void cleanupTestCase() { m_desktop.Stop(); }
    void cleanup() {
        vx::lab::RunLabScript("link.sh", {"up"});
        QString ignored;
        vx::lab::RunCommand({"net", "-s", Lab().Value("VXLAB_USERSHARE_CONF"), "usershare",
                             "delete", QStringLiteral("vxe2e%1").arg(QCoreApplication::applicationPid())},
                            &ignored);
    }

    // Start, sweep: every live lab host is listed with its MAC; the popup
    // reports the flap host going offline and coming back.
    void patrolReportsHostsGoingAndComing() {
        LAUNCH(program, UserHasExactArp());
        QVERIFY(SetThreads(*program, "End", "256"));
        QVERIFY(program->Ok("type CHostPatrolDlg/1002 1"));
        QVERIFY(program->Ok("click " + kPatrolButton));
        QVERIFY(WaitUntil([&] { return program->Text(kPatrolButton) == T("停止"); }, 3000));
        QVERIFY(!program->Widget("CHostPatrolDlg/1001").value("enabled").toBool());

        const QStringList live = Lab().LiveAddresses();
        QStringList shown;
        const bool allFound = WaitUntil(
            [&] {
                shown = program->Column(kPatrolList, 0);
                for (const QString& address : live)
                    if (!shown.contains(address)) return false;
                return true;
            },
            30000);
        QVERIFY2(allFound, qPrintable(shown.join(' ') + " of " + live.join(' ')));
        // Exact ARP, through the helper or as root: no fallback notice.
        QVERIFY2(!program->Text(kLog).contains(
                     T("主机巡测没有原始 ARP 可用, 改读内核邻居表: 主机下线最多晚 %1 秒才会报告。"
                       "启用精确模式: %2")
                         .section("%1", 0, 0)),
                 qPrintable(program->Text(kLog)));
        const int smbRow = shown.indexOf(Lab().Value("VXLAB_SMB_ADDR"));
        QCOMPARE(program->Column(kPatrolList, 1).value(smbRow),
                 Lab().HostValue(Lab().Value("VXLAB_SMB_ADDR").section('.', 3).toInt(), "MAC"));
        const QString counted = T("在线主机数=%1,最大时=%2").arg(live.size()).arg(live.size());
        QVERIFY(WaitUntil([&] { return program->Text("CHostPatrolDlg/1005") == counted; }, 5000));
        QVERIFY(WaitUntil(
            [&] {
                return program->Text("mainFrame/pane3")
                    .contains(T("本机名称：%1，本机IP：%2")
                                  .section("%1", 1)
                                  .arg(Lab().Value("VXLAB_WS_ADDR") + ";"));
            },
            3000));
        QVERIFY(program->Shot("main-patrol"));

        const QString flap = Lab().Value("VXLAB_FLAP_ADDR");
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"down"}), 0);
        QVERIFY2(
            WaitUntil([&] { return program->Text(kPopup).contains(T("%1下线了").arg(flap)); }, 45000),
            qPrintable(program->Text(kPopup)));
        QVERIFY(program->Visible("176"));
        QVERIFY(program->Shot("popup-offline"));
        QCOMPARE(vx::lab::RunLabScript("link.sh", {"up"}), 0);
        QVERIFY2(
            WaitUntil([&] { return program->Text(kPopup).contains(T("%1上线了").arg(flap)); }, 30000),
            qPrintable(program->Text(kPopup)));

        QVERIFY(program->Ok("click " + kPatrolButton));
        QVERIFY(program->Ok("action " + kToolbar + " 57665"));
        QVERIFY(program->WaitForExit(15000));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // "结束任务" while one thread works through a sweep: the browse dialog
    // lists the waiting probes, the log counts the cancelled ones, the
    // status pane drops to nothing. A sweep without shares is over in about
    // half a second even at one thread; with shares, the lab's three hosts
    // that drop SMB hold the one thread for their listings' bound each.
    void endTasksDuringSweep() {
        LAUNCH(program, true);
        QVERIFY(SetThreads(*program, "Home", "1"));
        QVERIFY(program->Ok("click CHostPatrolDlg/1001"));
        QVERIFY(program->Widget("CHostPatrolDlg/1001").value("checked").toBool());
        QVERIFY(program->Ok("click " + kPatrolButton));
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32780", "157"));
        QJsonArray cells;
        QVERIFY(WaitUntil(
            [&] {
                cells = program->Rows("157/1002").at(0).toObject().value("cells").toArray();
                return cells.at(0).toString() == ShownTool("主机巡测") &&
                       cells.at(1).toString() == "1" && cells.at(2).toString().toInt() > 200;
            },
            5000));
        QVERIFY(program->Shot("task-browse"));
        QVERIFY(program->Ok("click 157/1"));
        QVERIFY(WaitUntil([&] { return program->ActiveModal().isEmpty(); }, 3000));

        QVERIFY(program->Ok("action " + kToolbar + " 32777"));
        QStringList pieces = T("共有%1个任务被取消").split("%1");
        for (QString& piece : pieces) piece = QRegularExpression::escape(piece);
        const QRegularExpression cancelled(pieces.join("(\\d+)"));
        QRegularExpressionMatch match;
        QVERIFY2(
            WaitUntil([&] { return (match = cancelled.match(program->Text(kLog))).hasMatch(); },
                      10000),
            qPrintable(program->Text(kLog)));
        QVERIFY2(match.captured(1).toInt() > 200 && match.captured(1).toInt() <= 254,
                 qPrintable(match.captured(0)));
        QVERIFY(WaitUntil(
            [&] {
                return program->Text("mainFrame/pane1") ==
                       T("执行线程数=%1,等待任务数=%2").arg(0).arg(0);
            },
            5000));
        QVERIFY(ExitFromTray(*program));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // "工具显示": the host patrol unticked and the last plug-in tool moved to
    // the top; after 确定 and after a restart the list and the bar agree.
    void toolDisplaySurvivesRestart() {
        LAUNCH(program, true);
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32778", "146"));
        QStringList names = program->Column("146/1002", 0);
        const int patrol = names.indexOf(ShownTool(kPatrolTool));
        QVERIFY2(patrol >= 0, qPrintable(names.join(' ')));
        QVERIFY(program->Ok(QStringLiteral("clickrow 146/1002 %1").arg(patrol)));
        QVERIFY(program->Ok("key 146/1002 Space"));
        int moved = names.indexOf(ShownTool(kShareTool));
        if (moved > 0) {
            for (int row = moved; row > 0; --row) {
                QVERIFY(program->Ok(QStringLiteral("clickrow 146/1002 %1").arg(row)));
                QVERIFY(program->Ok("click 146/1004"));
            }
            names.move(moved, 0);
        }
        auto matches = [&] {
            const QJsonArray rows = program->Rows("146/1002");
            if (rows.size() != names.size()) return false;
            for (int r = 0; r < rows.size(); ++r) {
                const QJsonObject row = rows.at(r).toObject();
                if (row.value("cells").toArray().at(0).toString() != names[r] ||
                    row.value("checked").toBool() != (names[r] != ShownTool(kPatrolTool)))
                    return false;
            }
            return true;
        };
        QVERIFY2(WaitUntil(matches, 3000), qPrintable(program->Column("146/1002", 0).join(' ')));
        QVERIFY(program->Shot("tool-display"));
        QVERIFY(program->Ok("click 146/1"));
        QVERIFY(WaitUntil([&] { return program->ActiveModal().isEmpty(); }, 3000));
        QVERIFY(WaitUntil(
            [&] { return !OpenFolderItems(*program).contains(ShownTool("主机巡测")); }, 3000));

        QVERIFY(program->Ok("action " + kToolbar + " 57665"));
        QVERIFY(program->WaitForExit(15000));
        QString error;
        QVERIFY2(program->Start(&error), qPrintable(error));
        QVERIFY(MainWindowUp(*program));
        QVERIFY(!OpenFolderItems(*program).contains(ShownTool("主机巡测")));
        if (moved > 0) QCOMPARE(OpenFolderItems(*program).value(0), ShownTool("设置共享资源"));
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32778", "146"));
        QVERIFY2(WaitUntil(matches, 3000), qPrintable(program->Column("146/1002", 0).join(' ')));
        QVERIFY(program->Ok("click 146/2"));
        QVERIFY(ExitFromTray(*program));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // A folder shared for 30 minutes on the usershare host is read by a
    // guest from the workstation; 1801 ticks later it is gone.
    void shareForThirtyMinutes() {
        QTemporaryDir dir;
        const QString name = QStringLiteral("vxe2e%1").arg(QCoreApplication::applicationPid());
        const QString folder = dir.path() + '/' + name;
        QVERIFY(QDir().mkpath(folder));
        for (const QString& path : {dir.path(), folder})
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther);
        QFile hello(folder + "/hello.txt");
        QVERIFY(hello.open(QIODevice::WriteOnly) && hello.write("vexmor e2e\n") > 0);
        hello.close();
        QFile(dir.path() + "/client.conf").open(QIODevice::WriteOnly);
        const QString fetched = dir.path() + "/fetched.txt";
        auto guestRead = [&] {
            QFile::remove(fetched);
            const QString service = "//" + Lab().Value("VXLAB_USERSHARE_ADDR") + '/' + name;
            QString ignored;
            return vx::lab::RunCommand({"smbclient", "-N", "-s", dir.path() + "/client.conf",
                                        service, "-c", "get hello.txt " + fetched},
                                       &ignored) == 0 &&
                   QFile(fetched).open(QIODevice::ReadOnly);
        };

        // The lab's usershare folder admits root only, so the program runs
        // as root on the usershare host, as a member of its group would.
        auto program = std::make_unique<Program>(m_desktop, false);
        program->SetNamespace(Lab().Value("VXLAB_USERSHARE_NS"));
        program->SetEnvironment("SMB_CONF_PATH", Lab().Value("VXLAB_USERSHARE_CONF"));
        QString error;
        QVERIFY2(program->Prepare(&error) && program->Start(&error), qPrintable(error));
        QVERIFY(MainWindowUp(*program));
        QVERIFY(program->Ok("press toolListView/CGfxOutBarCtrl " + ShownTool("设置共享资源")));
        QVERIFY(WaitUntil([&] { return program->Visible("CShareSetterDlg"); }, 3000));
        QVERIFY(program->Ok("type CShareSetterDlg/1001 " + folder));
        QVERIFY(program->Ok("key CShareSetterDlg/1003 Down"));
        QVERIFY(
            WaitUntil([&] { return program->Text("CShareSetterDlg/1003") == T("30分钟"); }, 3000));
        QVERIFY(program->Ok("click CShareSetterDlg/1004"));
        auto rowShows = [&](const QString& time) {
            const QJsonArray rows = program->Rows("CShareSetterDlg/1000");
            for (const QJsonValue& r : rows) {
                const QJsonArray cells = r.toObject().value("cells").toArray();
                if (cells.at(0).toString() == name) return cells.at(2).toString() == time;
            }
            return time.isEmpty();
        };
        QVERIFY2(WaitUntil([&] { return rowShows(T("%1分").arg(30) + T("%1秒").arg(0)); }, 5000),
                 qPrintable(program->Text(kLog) + program->MessageBoxes().join('|')));
        QVERIFY(program->Text(kLog).contains(T("共享文件夹%1成功,共享名为%2").arg(folder, name)));
        QVERIFY(program->Shot("share-setter"));
        QVERIFY(guestRead());
        QFile got(fetched);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), QByteArray("vexmor e2e\n"));

        // The page's own timer ticks too, once a second, however long the
        // guest's read took: the counts below hold whatever it did meanwhile.
        auto secondsShown = [&]() -> int {
            const QStringList times = program->Column("CShareSetterDlg/1000", 2);
            if (times.size() != 1) return -1;
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(?:(\\d+)\\D+)?(\\d+)\\D+$")).match(times[0]);
            return m.hasMatch() ? m.captured(1).toInt() * 60 + m.captured(2).toInt() : -1;
        };
        QVERIFY(program->Ok("invoke CShareSetterDlg OnTimer"));
        QVERIFY2(WaitUntil([&] { return rowShows(T("%1分").arg(29) + T("%1秒").arg(59)) ||
                                        (secondsShown() >= 0 && secondsShown() < 1799); },
                           3000),
                 qPrintable(program->Column("CShareSetterDlg/1000", 2).join('|')));
        // Twenty seconds before the end the guest still reads it.
        const int left = secondsShown();
        QVERIFY(left > 20);
        QVERIFY(program->Ok(QStringLiteral("invoke CShareSetterDlg OnTimer %1").arg(left - 20)));
        QVERIFY(WaitUntil([&] { return secondsShown() >= 0 && secondsShown() <= 20; }, 10000));
        QVERIFY(guestRead());
        // At zero the next tick removes the share.
        QVERIFY(program->Ok("invoke CShareSetterDlg OnTimer 30"));
        QVERIFY(WaitUntil([&] { return rowShows(QString()); }, 3000));
        QVERIFY(program->Text(kLog).contains(T("删除共享%1成功").arg(name)));
        QVERIFY(!guestRead());
        QVERIFY(ExitFromTray(*program));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // A newer host patrol offered by a local update server: chosen in the
    // update dialog, fetched by the online upgrade at the next start, loaded.
    void upgradeThroughTheDialogAndTheRestart() {
        QFile next(qEnvironmentVariable("VX_E2E_NEXT_PLUGIN"));
        if (!next.open(QIODevice::ReadOnly)) QSKIP("no newer host patrol was built");
        const QByteArray plugin = next.readAll();
        vx::e2e::FileServer server;
        QVERIFY(server.Start());
        const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(server.Port());
        // Signed by a publisher whose key exists for this test only.
        FakePublisher publisher;
        QVERIFY(publisher.IsReady());
        const QByteArray page = "::BEGIN::VX_HostPatrol.so*1.72*1.0.0.9*" +
                                QByteArray::number(plugin.size() / 1024) + "KB*" +
                                base.toLatin1() + "VX_HostPatrol.so*e2e release#::END::";
        server.Serve("/VX_HostPatrol.so", plugin);
        server.Serve("/VX_HostPatrol.so.minisig", publisher.Sign(plugin));
        server.Serve("/update.txt", page);
        server.Serve("/update.txt.minisig", publisher.Sign(page));
        auto patrolVersion = [](Program& p) {
            for (const QJsonValue& row : p.Rows("173/1002")) {
                const QJsonArray cells = row.toObject().value("cells").toArray();
                if (cells.at(0).toString().compare("vx_hostpatrol.so", Qt::CaseInsensitive) == 0)
                    return cells.at(3).toString();
            }
            return QString();
        };

        LAUNCH(program, true);
        QVERIFY(publisher.TrustIn(program->Dir()));
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32783", "173"));
        QCOMPARE(patrolVersion(*program), QStringLiteral("1.0.0.1"));
        QVERIFY(program->Ok("close 173"));
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32779", "156"));
        QVERIFY(program->Ok("type 156/1010 " + base + "update.txt"));
        QVERIFY(program->Ok("click 156/1004"));
        QVERIFY2(
            WaitUntil([&] { return program->Text("156/1009") == T("共有%1个文件需要更新").arg(1); },
                      15000),
            qPrintable(program->Text("156/1009")));
        const QJsonObject row = program->Rows("156/1002").at(0).toObject();
        QCOMPARE(row.value("cells").toArray().toVariantList(),
                 (QVariantList{"VX_HostPatrol.so", T("替换"),
                               QStringLiteral("%1KB").arg(plugin.size() / 1024), "1.72", "1.0.0.9",
                               "1.0.0.1", "e2e release"}));
        QVERIFY(row.value("checked").toBool());
        QVERIFY(program->Shot("update-dialog"));
        QVERIFY(program->Ok("click 156/1005"));
        QVERIFY(WaitUntil([&] { return program->ActiveModal().isEmpty(); }, 5000));
        QCOMPARE(program->MessageBoxes(), QStringList{T("程序需要退出才能完成升级")});
        QVERIFY(program->Ok("action " + kToolbar + " 57665"));
        QVERIFY(program->WaitForExit(15000));

        QString error;
        QVERIFY2(program->Start(&error), qPrintable(error));
        QVERIFY(WaitUntil([&] { return program->ActiveModal() == "155"; }, 10000));
        QCOMPARE(program->Column("155/1002", 0), QStringList{"VX_HostPatrol.so"});
        QVERIFY(program->Shot("online-upgrade"));
        QVERIFY(program->Ok("click 155/1004"));
        QVERIFY(MainWindowUp(*program));
        QFile installed(program->Dir() + "ToolDlls/VX_HostPatrol.so");
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QVERIFY(installed.readAll() == plugin);
        QCOMPARE(QDir(program->Dir() + "ToolDlls").entryList(QDir::Files),
                 QDir(qEnvironmentVariable("VX_BIN_DIR") + "/ToolDlls").entryList(QDir::Files));
        QVERIFY(WaitUntil([&] { return OpenFolderItems(*program).contains(ShownTool("主机巡测")); },
                          3000));
        QVERIFY(OpenModal(*program, "action " + kToolbar + " 32783", "173"));
        QCOMPARE(patrolVersion(*program), QStringLiteral("1.0.0.9"));
        QVERIFY(program->Shot("components"));
        QVERIFY(program->Ok("close 173"));
        QVERIFY(WaitUntil([&] { return program->ActiveModal().isEmpty(); }, 3000));
        QVERIFY(ExitFromTray(*program));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // The close box hides the window and the program keeps running; clicks
    // on the tray icon show and hide it, and so does "显示/隐藏".
    void closeBoxHidesToTray() {
        LAUNCH(program, true);
        QVERIFY(program->Call("tray").value("visible").toBool());
        QVERIFY(program->Ok("close mainFrame"));
        QVERIFY(WaitUntil([&] { return !program->Visible("mainFrame"); }, 3000));
        QVERIFY(program->Running());
        for (bool shown : {true, false, true}) {
            QVERIFY(program->ClickTray(1));
            QVERIFY(WaitUntil([&] { return program->Visible("mainFrame") == shown; }, 3000));
        }
        QVERIFY(program->ClickTray(3));
        QVERIFY(WaitUntil([&] { return program->Visible(kTrayMenu); }, 3000));
        QVERIFY(program->Ok("action " + kTrayMenu + " 32782"));
        QVERIFY(WaitUntil([&] { return !program->Visible("mainFrame"); }, 3000));
        QVERIFY(ExitFromTray(*program));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // The share page's context menu, opened with a real right click, is on
    // the accessibility bus with its items while it is open, where a screen
    // reader walking down from the application finds it; closed, it is gone.
    void contextMenuOnTheAccessibilityBus() {
        const QString script = qEnvironmentVariable("VX_E2E_ATSPI");
        QProcess bus;
        bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        // The accessibility bus and its registry end with the session bus.
        const auto stopBus = qScopeGuard([&] {
            bus.terminate();
            bus.waitForFinished(3000);
        });
        QByteArray address;
        WaitUntil(
            [&] {
                return (address += bus.readAllStandardOutput()).contains('\n') ||
                       bus.state() == QProcess::NotRunning;
            },
            5000);
        if (address.trimmed().isEmpty() || !QFileInfo(script).isExecutable())
            QSKIP("no dbus-daemon or no pyatspi (scripts/setup.sh)");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_desktop.Display());
        env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(address.trimmed()));
        // What the screen reader sees: the popup menus among the
        // application's children, each by its name and its items' names.
        auto openMenus = [&] {
            QProcess reader;
            reader.setProcessEnvironment(env);
            reader.start(script, {"Vexmor", "2"});
            reader.waitForFinished(15000);
            QStringList seen;
            const QJsonObject app =
                QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
            for (const QJsonValue& child : app.value("children").toArray()) {
                if (child["role"].toString() != "popup menu") continue;
                seen << child["name"].toString();
                for (const QJsonValue& item : child["children"].toArray())
                    if (item["role"].toString() == "menu item") seen << item["name"].toString();
            }
            return seen;
        };
        openMenus();  // starts the accessibility bus that the program joins
        // As the test's own user: the session bus admits no other.
        LAUNCH(program, false,
               {"DBUS_SESSION_BUS_ADDRESS=" + env.value("DBUS_SESSION_BUS_ADDRESS"),
                QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")});
        QVERIFY(program->Ok("press toolListView/CGfxOutBarCtrl " + ShownTool("设置共享资源")));
        QVERIFY(WaitUntil([&] { return program->Visible("CShareSetterDlg/1000"); }, 3000));
        QVERIFY(openMenus().isEmpty());

        const QJsonObject at = program->Widget("CShareSetterDlg/1000").value("geometry").toObject();
        QVERIFY(m_desktop.ClickAt(at["x"].toInt() + at["w"].toInt() / 2,
                                  at["y"].toInt() + at["h"].toInt() / 2, 3));
        QVERIFY(WaitUntil([&] { return program->Visible("menu1002"); }, 3000));
        const QStringList expected{T("设置共享资源"), T("删除共享"), T("打开共享目录"),
                                   T("本机所有共享"), T("修改为无限制")};
        QStringList seen;
        QVERIFY2(WaitUntil([&] { return (seen = openMenus()) == expected; }, 10000),
                 qPrintable(seen.join(' ')));
        QVERIFY(program->Shot("context-menu"));
        QVERIFY(program->Ok("key menu1002 Escape"));
        QVERIFY(WaitUntil([&] { return openMenus().isEmpty(); }, 5000));
        QVERIFY(program->Ok("action " + kToolbar + " 57665"));
        QVERIFY(program->WaitForExit(15000));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

    // 退出 from the tray while a modal dialog runs (or a sweep does): the
    // dialog ends, the program exits at once and cleanly.
    void exitFromTrayWhileBusy_data() {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("shot");  // the window pictured, if any
        QTest::newRow("task browse") << "action " + kToolbar + " 32780" << "157" << "";
        QTest::newRow("tool display") << "action " + kToolbar + " 32778" << "146" << "";
        QTest::newRow("update") << "action " + kToolbar + " 32779" << "156" << "";
        QTest::newRow("components") << "action " + kToolbar + " 32783" << "173" << "";
        QTest::newRow("tool options") << "action " + kToolbar + " 32776" << "" << "145";
        QTest::newRow("about") << "action " + kTrayMenu + " 57664" << "100" << "100";
        QTest::newRow("help box") << "click CHostPatrolDlg/1006" << "QMessageBox" << "";
        QTest::newRow("sweep") << "click " + kPatrolButton << "" << "";
    }
    void exitFromTrayWhileBusy() {
        QFETCH(QString, open);
        QFETCH(QString, dialog);
        QFETCH(QString, shot);
        // Message boxes are real here, not logged.
        LAUNCH(program, true, {QStringLiteral("VX_MESSAGEBOX_LOG=")});
        QVERIFY(program->Ok(open));
        if (!dialog.isEmpty())
            QVERIFY(WaitUntil([&] { return program->ActiveModal() == dialog; }, 5000));
        if (!shot.isEmpty()) {
            QVERIFY(WaitUntil([&] { return program->Visible(shot); }, 5000));
            QVERIFY(program->Shot(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'),
                                  shot));
        }
        QVERIFY(program->ClickTray(3));
        const bool menuShown = WaitUntil([&] { return program->Visible(kTrayMenu); }, 3000);
        // Dialogs are modal to the main window only, so the tray icon still
        // takes clicks while one runs.
        QVERIFY(menuShown);
        // The rest of the exit is still tried: the menu pops up if it is not up.
        QVERIFY(program->Ok("action " + kTrayMenu + " 57665"));
        QVERIFY(program->WaitForExit(15000));
        QVERIFY2(EndedCleanly(*program), qPrintable(program->Output()));
    }

private:
    Desktop m_desktop;
};

int main(int argc, char** argv) {
    return vx::lab::LabMain(argc, argv, [](int c, char** v) {
        QCoreApplication app(c, v);
        E2eTest test;
        return QTest::qExec(&test, c, v);
    });
}

#include "E2eTest.moc"
