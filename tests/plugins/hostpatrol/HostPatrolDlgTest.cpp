// The host patrol page driven by hand: probe results are fed straight into
// ApplyScanResult, the clock is OnTimer, and the task manager only queues.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

#include "PatrolFakes.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/ToolSettings.h"
#include "plugins/hostpatrol/HostPatrolDlg.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolEngine.h"

using namespace vx::hostpatrol;

namespace {

const QString kHost = QStringLiteral("192.168.1.7");
const QString kMac = QStringLiteral("00.1A.2B.3D.4E.5F");

HostScanResult Silent(const QString& address) { return {address, {}, {}, {}}; }

HostScanResult Answer(const QString& address, const QStringList& shares = {},
                      const QString& time = QStringLiteral("26-12-06 18:15:02"),
                      const QString& mac = kMac) {
    return {address, mac, time, shares};
}

// "-" is a silent sweep, "+" an answer, "+a,b" an answer sharing a and b.
HostScanResult Step(const QString& address, const QString& step) {
    if (!step.startsWith(QLatin1Char('+'))) return Silent(address);
    const QString shares = step.mid(1);
    return Answer(address, shares.isEmpty() ? QStringList() : shares.split(QLatin1Char(',')));
}

}  // namespace

class HostPatrolDlgTest : public QObject {
    Q_OBJECT

private:
    FakeToolHost m_host;
    FakeTaskManager* m_tasks = nullptr;
    FakeHostOutput m_output;
    ToolHostContext m_context;
    std::shared_ptr<FakeProbe> m_probe;
    QString m_prefix;
    std::unique_ptr<CHostPatrolTool> m_tool;
    QStringList m_boxes;
    QList<QUrl> m_opened;

    CHostPatrolDlg* Page() const { return m_tool->Page(); }
    template <class W>
    W* Control(int id) const {
        return Page()->findChild<W*>(QString::number(id));
    }
    QString CountLine() const { return Control<QLabel>(1005)->text(); }
    int QueuedTasks() const { return int(m_tasks->Waiting().size()); }

private slots:
    void init() {
        m_tasks = new FakeTaskManager;
        m_context = {&m_host, m_tasks, &m_output, nullptr};
        m_output.shown.clear();
        m_probe = std::make_shared<FakeProbe>();
        m_prefix = QStringLiteral("10.213.7");
        m_tool =
            std::make_unique<CHostPatrolTool>(&m_context, m_probe, [this] { return m_prefix; });
        PatrolTickCounter() = 0;
        m_boxes.clear();
        m_opened.clear();
        vx::platform::SetMessageBoxInterceptor([this](const QString& text) { m_boxes << text; });
        vx::platform::SetOpenUrlObserver([this](const QUrl& url) {
            m_opened << url;
            return true;
        });
    }
    void cleanup() {
        m_tasks->CancelAll();
        m_tool.reset();
        delete m_tasks;
        vx::platform::SetMessageBoxInterceptor({});
        vx::platform::SetOpenUrlObserver({});
    }

    void freshPageShowsDefaults() {
        QVERIFY(Page()->isHidden());
        QCOMPARE(CToolSettings::Get()->GetSection(), QStringLiteral("主机巡测"));
        QCOMPARE(Control<QLineEdit>(1002)->text(), QStringLiteral("15"));
        QVERIFY(!Control<QCheckBox>(1001)->isChecked());
        QCOMPARE(Control<QCheckBox>(1001)->text(), QStringLiteral("巡测共享资源"));
        QCOMPARE(Control<QPushButton>(1004)->text(), QStringLiteral("开始"));
        QCOMPARE(Control<QPushButton>(1006)->text(), QStringLiteral("使用说明"));
        QCOMPARE(Control<QLabel>(1003)->text(), QStringLiteral("巡测间隔(秒)"));
        QCOMPARE(CountLine(), QStringLiteral("在线主机数=0,最大时=0"));
        QCOMPARE(Control<CSortListCtrl>(1000)->property("vxId").toInt(), 1000);
        auto* list = Page()->List();
        QVERIFY(list->GridLines());
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->columnCount(), 6);
        const QStringList captions{"IP地址", "MAC地址", "最近扫描时间", "共享资源", "主机名", "厂商"};
        const QList<int> widths{120, 120, 120, 200, 120, 150};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(list->headerItem()->text(c), captions[c]);
            QCOMPARE(list->columnWidth(c), widths[c]);
        }
    }

    // One host through a run of sweeps: what is announced, and how its row
    // ends up.
    void hostAcrossSweeps_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("messages");  // without the address in front
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<int>("image");
        QTest::addColumn<QString>("sharesCell");

        const QString up = QStringLiteral("上线了"), down = QStringLiteral("下线了");
        const QString shared = QStringLiteral("共享了--");
        QTest::newRow("answers in the first sweep, shares not announced")
            << QStringList{"+docs,music"} << QStringList{} << true << 0 << "docs;music;";
        QTest::newRow("silent twice: recorded once, no row")
            << QStringList{"-", "-"} << QStringList{} << false << -1 << "";
        QTest::newRow("back in the second sweep, shares not announced")
            << QStringList{"-", "+docs"} << QStringList{up} << true << 0 << "docs;";
        QTest::newRow("three silent sweeps are absorbed")
            << QStringList{"+docs", "-", "-", "-"} << QStringList{} << true << 0 << "docs;";
        QTest::newRow("offline on the fifth sweep")
            << QStringList{"+docs", "-", "-", "-", "-"} << QStringList{down} << true << 1 << "";
        QTest::newRow("nothing more on the sixth") << QStringList{"+docs", "-", "-", "-", "-", "-"}
                                                   << QStringList{down} << true << 1 << "";
        QTest::newRow("back in the seventh with docs and music")
            << QStringList{"+", "-", "-", "-", "-", "-", "+docs,music"}
            << QStringList{down, up, shared + "docs", shared + "music"} << true << 0
            << "docs;music;";
        QTest::newRow("a new share only")
            << QStringList{"+docs", "+docs,music"} << QStringList{shared + "music"} << true << 0
            << "docs;music;";
        QTest::newRow("a share that comes back while online is not announced again")
            << QStringList{"+docs", "+", "+docs"} << QStringList{} << true << 0 << "docs;";
        QTest::newRow("an answer restores all three misses")
            << QStringList{"+", "-", "-", "-", "+", "-", "-", "-"} << QStringList{} << true << 0
            << "";
        QTest::newRow("shares are announced again after an offline period")
            << QStringList{"+docs", "-", "-", "-", "-", "+docs"}
            << QStringList{down, up, shared + "docs"} << true << 0 << "docs;";
        QTest::newRow("share option off: nothing shared")
            << QStringList{"+", "-", "-", "-", "-", "+"} << QStringList{down, up} << true << 0
            << "";
    }
    void hostAcrossSweeps() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, messages);
        QFETCH(bool, hasRow);
        QFETCH(int, image);
        QFETCH(QString, sharesCell);

        for (const QString& step : steps) Page()->ApplyScanResult(Step(kHost, step));

        QStringList expected;
        for (const QString& m : messages) expected << kHost + m;
        QCOMPARE(m_output.shown, expected);
        auto* list = Page()->List();
        QCOMPARE(list->RowCount(), hasRow ? 1 : 0);
        const bool down = image != 0;
        QCOMPARE(Page()->OfflineList(), down ? QStringList{kHost} : QStringList{});
        if (!hasRow) return;
        QCOMPARE(list->CellText(0, 0), kHost);
        QCOMPARE(Page()->RowImage(0), image);
        QCOMPARE(list->CellText(0, 3), sharesCell);
        QCOMPARE(Page()->Entry(0)->address, kHost);
    }

    void firstSweepWithTwoHosts() {
        // .9 answers before .5: rows follow the order of answering.
        Page()->ApplyScanResult(Answer(QStringLiteral("10.213.7.9"), {},
                                       QStringLiteral("26-12-06 18:15:01"),
                                       QStringLiteral("00.00.00.00.00.09")));
        for (int i = 1; i <= 254; ++i) {
            const QString address = QStringLiteral("10.213.7.%1").arg(i);
            if (i == 5)
                Page()->ApplyScanResult(Answer(address));
            else if (i != 9)
                Page()->ApplyScanResult(Silent(address));
        }
        QVERIFY(m_output.shown.isEmpty());
        auto* list = Page()->List();
        QCOMPARE(list->RowCount(), 2);
        QCOMPARE(list->CellText(0, 0), QStringLiteral("10.213.7.9"));
        QCOMPARE(list->CellText(0, 1), QStringLiteral("00.00.00.00.00.09"));
        QCOMPARE(list->CellText(0, 2), QStringLiteral("26-12-06 18:15:01"));
        QCOMPARE(list->CellText(1, 0), QStringLiteral("10.213.7.5"));
        QCOMPARE(Page()->OfflineList().size(), 252);
        QCOMPARE(Page()->OfflineList().first(), QStringLiteral("10.213.7.1"));
        QVERIFY(!Page()->OfflineList().contains(QStringLiteral("10.213.7.5")));
    }

    void offlineRowKeepsLastMacAndTime() {
        Page()->ApplyScanResult(Answer(kHost, {"docs"}, QStringLiteral("26-12-06 18:15:02")));
        Page()->ApplyScanResult(Answer(kHost, {"docs"}, QStringLiteral("26-12-06 18:16:40"),
                                       QStringLiteral("00.1A.2B.3D.4E.60")));
        for (int i = 0; i < 4; ++i) Page()->ApplyScanResult(Silent(kHost));
        auto* list = Page()->List();
        QCOMPARE(list->CellText(0, 1), QStringLiteral("00.1A.2B.3D.4E.60"));
        QCOMPARE(list->CellText(0, 2), QStringLiteral("26-12-06 18:16:40"));
        QCOMPARE(list->CellText(0, 3), QString());
        QVERIFY(Page()->Entry(0)->knownShares.isEmpty());
        QCOMPARE(Page()->Entry(0)->remainingMisses, 0);
        const QIcon offline = list->topLevelItem(0)->icon(0);
        QVERIFY(!offline.pixmap(16, 16).isNull());
        Page()->ApplyScanResult(Answer(kHost));
        QVERIFY(list->topLevelItem(0)->icon(0).pixmap(16, 16).toImage() !=
                offline.pixmap(16, 16).toImage());
    }

    void sweepQueuesEveryAddressInOrder_data() {
        QTest::addColumn<bool>("shareOption");
        QTest::newRow("shares off") << false;
        QTest::newRow("shares on") << true;
    }
    void sweepQueuesEveryAddressInOrder() {
        QFETCH(bool, shareOption);
        Control<QCheckBox>(1001)->setChecked(shareOption);
        Page()->StartSweep(false);
        const auto tasks = m_tasks->Waiting();
        QCOMPARE(int(tasks.size()), 254);
        for (int i = 0; i < 254; ++i) {
            auto* task = dynamic_cast<CHostProbeTask*>(tasks[i]);
            QVERIFY(task);
            QCOMPARE(task->Address(), QStringLiteral("10.213.7.%1").arg(i + 1));
            QCOMPARE(task->ShareOption(), shareOption);
            QCOMPARE(task->GetTypeName(), QStringLiteral("主机巡测"));
        }
        QCOMPARE(Page()->ShareOption(), shareOption);
    }

    void sweepWithoutSubnetProbesNothing() {
        m_prefix.clear();
        Page()->OnStartStop();
        for (int i = 0; i < 40; ++i) Page()->OnTimer();
        QCOMPARE(QueuedTasks(), 0);
        QCOMPARE(Page()->List()->RowCount(), 0);
        QVERIFY(m_output.shown.isEmpty());
    }

    void ticksWhileTasksRemainDoNothing() {
        PatrolTickCounter() = 3;
        m_tasks->SetPhantoms(40);
        for (int i = 0; i < 30; ++i) Page()->OnTimer();
        QCOMPARE(PatrolTickCounter(), 3);
        QCOMPARE(QueuedTasks(), 0);
        Page()->OnStartStop();  // the start button is gated as well
        QCOMPARE(QueuedTasks(), 0);
    }

    // After the start button's sweep is over, idle ticks count towards the
    // next one.
    void intervalCounting_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("sweepTick");
        QTest::newRow("default 15") << "15" << 15;
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("1 sweeps every idle tick") << "1" << 1;
        QTest::newRow("0 sweeps every idle tick") << "0" << 1;
    }
    void intervalCounting() {
        QFETCH(QString, interval);
        QFETCH(int, sweepTick);
        Control<QLineEdit>(1002)->setText(interval);
        Page()->OnStartStop();
        QCOMPARE(QueuedTasks(), 254);
        m_tasks->SetPhantoms(0);
        // Ticks while the sweep runs do not count.
        for (int i = 0; i < 5; ++i) Page()->OnTimer();
        QCOMPARE(PatrolTickCounter(), 0);
        m_tasks->DeleteAll();
        for (int tick = 1; tick < sweepTick; ++tick) {
            Page()->OnTimer();
            QCOMPARE(QueuedTasks(), 0);
        }
        Page()->OnTimer();
        QCOMPARE(QueuedTasks(), 254);
        QCOMPARE(PatrolTickCounter(), 0);
    }

    void restartingKeepsTheTickCount() {
        Page()->OnStartStop();
        m_tasks->DeleteAll();
        for (int i = 0; i < 6; ++i) Page()->OnTimer();
        Page()->OnStartStop();  // stop
        QCOMPARE(PatrolTickCounter(), 6);
        Page()->OnStartStop();  // start: sweeps at once, counter untouched
        QCOMPARE(QueuedTasks(), 254);
        QCOMPARE(PatrolTickCounter(), 6);
    }

    void intervalThatIsNoNumber() {
        Control<QLineEdit>(1002)->setText(QStringLiteral("7"));
        Page()->StartSweep(false);
        m_tasks->DeleteAll();
        Control<QLineEdit>(1002)->setText(QString());
        Control<QCheckBox>(1001)->setChecked(true);
        // While the box is open the timer keeps ticking; no second box.
        vx::platform::SetMessageBoxInterceptor([this](const QString& text) {
            m_boxes << text;
            Page()->OnTimer();
            Page()->StartSweep(true);
        });
        Page()->StartSweep(false);
        QCOMPARE(m_boxes, QStringList{QStringLiteral("请输入一个整数。")});
        QCOMPARE(Page()->Interval(), 7);
        QVERIFY(!Page()->ShareOption());  // not re-read either
        QCOMPARE(QueuedTasks(), 254);     // the sweep itself goes on
    }

    void startAndStop() {
        auto* button = Control<QPushButton>(1004);
        auto* shareBox = Control<QCheckBox>(1001);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("停止"));
        QVERIFY(!shareBox->isEnabled());
        QVERIFY(Page()->IsPatrolling());
        QCOMPARE(QueuedTasks(), 254);
        QVERIFY(Control<QLineEdit>(1002)->isEnabled());

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("开始"));
        QVERIFY(shareBox->isEnabled());
        QVERIFY(!Page()->IsPatrolling());
        QCOMPARE(QueuedTasks(), 254);  // stopping cancels nothing
        Page()->ApplyScanResult(Answer(kHost));
        QCOMPARE(Page()->List()->RowCount(), 1);
    }

    void countLineFollowsOnlineRows() {
        m_tasks->SetPhantoms(1);  // keep the ticks from sweeping
        auto answer = [this](int i) {
            Page()->ApplyScanResult(Answer(QStringLiteral("10.213.7.%1").arg(i)));
        };
        auto goOffline = [this](int i) {
            for (int k = 0; k < 4; ++k)
                Page()->ApplyScanResult(Silent(QStringLiteral("10.213.7.%1").arg(i)));
        };
        for (int i = 1; i <= 4; ++i) answer(i);
        Page()->OnTimer();
        QCOMPARE(CountLine(), QStringLiteral("在线主机数=4,最大时=4"));
        for (int i = 5; i <= 7; ++i) answer(i);
        goOffline(6);
        goOffline(7);
        Page()->OnTimer();
        QCOMPARE(CountLine(), QStringLiteral("在线主机数=5,最大时=5"));
        goOffline(4);
        goOffline(5);
        Page()->OnTimer();
        QCOMPARE(CountLine(), QStringLiteral("在线主机数=3,最大时=5"));
        QCOMPARE(Page()->MaxOnline(), 5);
    }

    void layoutFollowsSize_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("600x400") << QSize(600, 400);
        QTest::newRow("371x198") << QSize(371, 198);
    }
    void layoutFollowsSize() {
        QFETCH(QSize, size);
        const int w = size.width(), h = size.height();
        m_host.pageParent.show();
        Page()->show();
        Page()->resize(size);
        QCOMPARE(Control<QWidget>(1000)->geometry(), QRect(0, 0, w, h - 25));
        QCOMPARE(Control<QWidget>(1003)->geometry(), QRect(2, h - 18, 75, 21));
        QCOMPARE(Control<QWidget>(1002)->geometry(), QRect(80, h - 23, 50, 21));
        QCOMPARE(Control<QWidget>(1001)->geometry(), QRect(133, h - 23, 90, 21));
        QCOMPARE(Control<QWidget>(1005)->geometry(), QRect(225, h - 18, 160, 21));
        QCOMPARE(Control<QWidget>(1006)->geometry(), QRect(w - 154, h - 23, 75, 21));
        QCOMPARE(Control<QWidget>(1004)->geometry(), QRect(w - 77, h - 23, 75, 21));
        m_host.pageParent.hide();
    }

    void doubleClickOpensTheHostsShares() {
        Page()->ApplyScanResult(Answer(QStringLiteral("192.168.1.5")));
        Page()->ApplyScanResult(Answer(kHost));
        auto* list = Page()->List();
        emit list->itemDoubleClicked(list->topLevelItem(1), 0);  // nothing selected
        QVERIFY(m_opened.isEmpty());
        list->topLevelItem(1)->setSelected(true);
        emit list->itemDoubleClicked(list->topLevelItem(1), 0);
        QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("smb://192.168.1.7/"))});
    }

    void helpShowsTheText() {
        QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
        QCOMPARE(m_boxes, QStringList{QStringLiteral(
                              "本功主要实现在本地连接网段内定时扫描计算机和共享资源，\r\n"
                              "如果有计算机开机、关机或共享文件夹时，将实时通知。\r\n"
                              "注意：如果扫描一次的时间很长时，建议关闭巡测共享资源。")});
    }

    void rowsFollowASortedList() {
        Page()->ApplyScanResult(Answer(QStringLiteral("10.213.7.9")));
        Page()->ApplyScanResult(Answer(QStringLiteral("10.213.7.10")));
        Page()->List()->SortColumn(0, false);  // 10.213.7.9 now first
        for (int i = 0; i < 4; ++i) Page()->ApplyScanResult(Silent(QStringLiteral("10.213.7.10")));
        QCOMPARE(m_output.shown, QStringList{QStringLiteral("10.213.7.10下线了")});
        const int row = Page()->List()->CellText(0, 0) == QStringLiteral("10.213.7.10") ? 0 : 1;
        QCOMPARE(Page()->RowImage(row), 1);
        QCOMPARE(Page()->RowImage(1 - row), 0);
    }
};

QTEST_MAIN(HostPatrolDlgTest)
#include "HostPatrolDlgTest.moc"
