// Who each host is: the identity's reports (registry makers, names from a
// fake namer, the ten-minute cache) and the page's two columns, tooltips,
// copy and CSV export. Nothing here asks the network.
#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>

#include "PatrolFakes.h"
#include "platform/MessageBox.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"

using namespace vx::hostpatrol;

namespace {

const QString kCisco = QStringLiteral("00.00.0C.12.34.56");
const QString kRandom = QStringLiteral("52.AA.BB.00.00.01");

QString TestRegistry() { return qEnvironmentVariable("VX_TEST_DATA") + "/ieee-data"; }

// Names from a table; counts its calls. With `block` it waits for the cancel.
class FakeNamer final : public IHostNamer {
public:
    QMap<QString, QString> names;  // set before the first lookup
    bool block = false;
    std::atomic<int> calls{0};
    QString NameOf(const QString& address, const vx::platform::LookupCancel& cancel) override {
        ++calls;
        if (block) {
            pollfd p{cancel.Fd(), POLLIN, 0};
            poll(&p, 1, 10000);
        }
        return names.value(address);
    }
};

using Report = QList<QVariant>;

}  // namespace

class HostIdentityTest : public QObject {
    Q_OBJECT

private:
    // The last report for `address`, waiting for one with a name and maker
    // as given.
    static bool WaitFor(QSignalSpy& spy, const QStringList& expected) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            for (const Report& r : spy) {
                QStringList got;
                for (const QVariant& v : r) got << v.toString();
                if (got == expected) return true;
            }
            QTest::qWait(10);
        }
        return false;
    }

private slots:
    void reportsMakerAndName() {
        auto namer = std::make_shared<FakeNamer>();
        namer->names = {{"10.0.0.2", "printer"}, {"10.0.0.3", "phone"}};
        CHostIdentity identity(namer, TestRegistry());
        QSignalSpy spy(&identity, &CHostIdentity::Identified);
        identity.Identify("10.0.0.2", kCisco);
        identity.Identify("10.0.0.3", kRandom);
        identity.Identify("10.0.0.4", "00.99.99.00.00.01");
        QVERIFY(WaitFor(spy, {"10.0.0.2", kCisco, "printer", "Cisco Systems, Inc"}));
        QVERIFY(WaitFor(spy, {"10.0.0.3", kRandom, "phone", "随机MAC地址"}));
        QVERIFY(WaitFor(spy, {"10.0.0.4", "00.99.99.00.00.01", "", ""}));
    }

    // Once per address and MAC for ten minutes; a name that stops coming
    // keeps the one that came.
    void namesAreCached() {
        auto namer = std::make_shared<FakeNamer>();
        namer->names = {{"10.0.0.2", "printer"}};
        CHostIdentity identity(namer, TestRegistry());
        qint64 now = 1;
        identity.SetClock([&now] { return now; });
        QSignalSpy spy(&identity, &CHostIdentity::Identified);
        identity.Identify("10.0.0.2", kCisco);
        QVERIFY(WaitFor(spy, {"10.0.0.2", kCisco, "printer", "Cisco Systems, Inc"}));
        identity.Identify("10.0.0.2", kCisco);
        now += CHostIdentity::kNameLifetimeMs - 1;
        identity.Identify("10.0.0.2", kCisco);
        QTest::qWait(50);
        QCOMPARE(namer->calls.load(), 1);
        identity.Identify("10.0.0.2", kRandom);  // another card at the address
        QTRY_COMPARE(namer->calls.load(), 2);
        now += 2;
        namer->names.clear();
        spy.clear();
        identity.Identify("10.0.0.2", kCisco);
        QTRY_COMPARE(namer->calls.load(), 3);
        QTest::qWait(50);
        QCOMPARE(spy.last().at(2).toString(), QStringLiteral("printer"));
    }

    void missingRegistrySaysWhichPackageOnce() {
        FakeHostOutput output;
        CHostIdentity identity(nullptr, "/nonexistent/ieee-data");
        identity.SetOutput(&output);
        QSignalSpy spy(&identity, &CHostIdentity::Identified);
        // Nothing is read while no host has been asked for (the start).
        QTest::qWait(50);
        QVERIFY(output.logged.isEmpty());
        identity.Identify("10.0.0.2", kCisco);
        identity.LoadRegistry();
        identity.Identify("10.0.0.3", kCisco);
        QTRY_COMPARE(output.logged.size(), 1);
        QVERIFY(output.logged[0].contains("ieee-data"));
        QTest::qWait(50);
        QVERIFY(!identity.RegistryReady());
        QCOMPARE(output.logged.size(), 1);
        for (const Report& r : spy) QCOMPARE(r.at(3).toString(), QString());
    }

    // The plug-in's unload waits for the lookups: they must end at once.
    void destructionCutsLookupsShort() {
        auto namer = std::make_shared<FakeNamer>();
        namer->block = true;
        auto identity = std::make_unique<CHostIdentity>(namer, TestRegistry());
        for (int i = 2; i < 40; ++i) identity->Identify(QStringLiteral("10.0.0.%1").arg(i), kCisco);
        QTRY_COMPARE(namer->calls.load(), int(CHostIdentity::kMaxLookups));
        QElapsedTimer t;
        t.start();
        identity.reset();
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    }
};

// The page with its identity: fake probe results, reports fed by hand.
class HostIdentityPageTest : public QObject {
    Q_OBJECT

private:
    FakeToolHost m_host;
    FakeTaskManager m_tasks;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, &m_tasks, &m_output, nullptr};
    std::unique_ptr<CHostPatrolTool> m_tool;
    QStringList m_boxes;

    CHostPatrolDlg* Page() const { return m_tool->Page(); }
    CSortListCtrl* List() const { return Page()->List(); }
    void Answer(const QString& address, const QString& mac) {
        Page()->ApplyScanResult({address, mac, "26-12-06 18:15:02", {}});
    }

private slots:
    void init() {
        m_tool = std::make_unique<CHostPatrolTool>(&m_context, std::make_shared<FakeProbe>(),
                                                   [] { return QStringLiteral("10.0.0"); });
        m_boxes.clear();
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void cleanup() {
        m_tool.reset();
        vx::platform::SetMessageBoxInterceptor({});
    }

    // Name and maker stay with the host while it is away and when it comes
    // back; another card at the address starts over; reports for a card
    // the row no longer holds change nothing.
    void columnsFollowTheHost() {
        Answer("10.0.0.2", kCisco);
        Page()->OnIdentified("10.0.0.2", kCisco, "printer", "Cisco Systems, Inc");
        QCOMPARE(List()->CellText(0, kColName), QStringLiteral("printer"));
        QCOMPARE(List()->CellText(0, kColMaker), QStringLiteral("Cisco Systems, Inc"));
        const QString tip = List()->topLevelItem(0)->toolTip(0);
        QVERIFY2(tip.contains("主机名：printer") && tip.contains("厂商：Cisco Systems, Inc"),
                 qPrintable(tip));
        for (int sweep = 0; sweep < 5; ++sweep) Page()->ApplyScanResult({"10.0.0.2", {}, {}, {}});
        QCOMPARE(Page()->RowImage(0), int(kImageOffline));
        Answer("10.0.0.2", kCisco);
        QCOMPARE(List()->CellText(0, kColName), QStringLiteral("printer"));
        QCOMPARE(List()->CellText(0, kColMaker), QStringLiteral("Cisco Systems, Inc"));
        Answer("10.0.0.2", kRandom);
        QCOMPARE(List()->CellText(0, kColName), QString());
        Page()->OnIdentified("10.0.0.2", kCisco, "printer", "Cisco Systems, Inc");
        QCOMPARE(List()->CellText(0, kColMaker), QString());
        Page()->OnIdentified("10.0.0.2", kRandom, "", "随机MAC地址");
        QCOMPARE(List()->CellText(0, kColMaker), QStringLiteral("随机MAC地址"));
    }

    // Cells with commas, quotes, line breaks and Chinese: the clipboard
    // keeps one line per row, the CSV reads back cell for cell.
    void copyAndExport() {
        const QStringList names{"a,b", "say \"hi\"", "two\nlines", "打印机"};
        for (int i = 0; i < names.size(); ++i) {
            const QString address = QStringLiteral("10.0.0.%1").arg(i + 2);
            Answer(address, kCisco);
            Page()->OnIdentified(address, kCisco, names[i], "深圳测试");
        }
        List()->topLevelItem(1)->setSelected(true);
        Page()->CopySelection();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("IP地址\tMAC地址\t最近扫描时间\t共享资源\t主机名\t厂商\n"
                                "10.0.0.3\t%1\t26-12-06 18:15:02\t\tsay \"hi\"\t深圳测试\n")
                     .arg(kCisco));

        QTemporaryDir dir;
        const QString path = dir.filePath("hosts.csv");
        QVERIFY(Page()->ExportTo(path));
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty()) QSKIP("python3 is not installed");
        QProcess reader;
        reader.start(python, {"-c", "import csv,sys,json\n"
                                    "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',"
                                    "newline='')))\nprint(json.dumps(rows))",
                              path});
        QVERIFY(reader.waitForFinished(10000));
        const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0].toArray()[4].toString(), QStringLiteral("主机名"));
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(rows[i + 1].toArray()[kColName].toString(), names[i]);
            QCOMPARE(rows[i + 1].toArray()[kColMaker].toString(), QStringLiteral("深圳测试"));
        }
    }

    void failedExportSaysSoAndLeavesNoFile() {
        Answer("10.0.0.2", kCisco);
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/hosts.csv");
        QVERIFY(!Page()->ExportTo(path));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].startsWith(QStringLiteral("导出列表失败")));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // Shift+F10 on the list opens the menu with both entries.
    void menuFromTheKeyboard() {
        Answer("10.0.0.2", kCisco);
        QWidget* parent = Page()->parentWidget();
        parent->show();
        Page()->show();
        parent->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(parent));
        List()->setFocus();
        List()->setCurrentItem(List()->topLevelItem(0));
        QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QStringList entries;
        for (QAction* a : menu->actions()) entries << a->text();
        menu->close();
        QCOMPARE(entries, (QStringList{"复制", "导出列表..."}));
        parent->hide();
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    HostIdentityTest identity;
    HostIdentityPageTest page;
    return QTest::qExec(&identity, argc, argv) | QTest::qExec(&page, argc, argv);
}

#include "HostIdentityTest.moc"
