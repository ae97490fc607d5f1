// The task browse dialog through its real widgets (offscreen), and the two
// task commands against a real manager.
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "FakeTask.h"
#include "host/frame/DialogTemplate.h"
#include "host/tasks/TaskBrowseDlg.h"
#include "host/tasks/TaskCommands.h"
#include "host/tasks/TaskManager.h"

using namespace std::chrono_literals;
using vx::CTaskBrowseDlg;
using Manager = vx::CTaskManager;
using vx::SchedulerOptions;

namespace {

QStringList Rows(QTableWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << (list->item(r, c) ? list->item(r, c)->text() : QStringLiteral("<none>"));
        rows << cells.join('|');
    }
    return rows;
}

// 32 executing and 222 waiting patrol tasks, as after one cycle of a sweep.
void AddSweep(Manager& m, FakeJournal& journal) {
    AddPatrolTasks(m, journal, 254);
    m.RunSchedulerCycle();
}

}  // namespace

class TaskBrowseDlgTest : public QObject {
    Q_OBJECT

private slots:
    void dialogIsLaidOutAsItsTemplate();
    void listFollowsTheManagerAtEveryTick();
    void refreshTimerKeepsRunning();
    void cancelCommand_data();
    void cancelCommand();
    void setMaxThreadsCommand_data();
    void setMaxThreadsCommand();
};

void TaskBrowseDlgTest::dialogIsLaidOutAsItsTemplate() {
    Manager m(nullptr, Manual());
    CTaskBrowseDlg dlg(&m);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("任务浏览"));
    QVERIFY(dlg.isModal());

    auto* list = dlg.findChild<QTableWidget*>("1002");
    QVERIFY(list);
    QCOMPARE(list->property("vxId").toInt(), 1002);
    QCOMPARE(list->columnCount(), 3);
    QCOMPARE(list->geometry(), vx::du::Rect(7, 7, 214, 132));
    QCOMPARE(dlg.size(), QSize(vx::du::X(228), vx::du::Y(164)));
    const QStringList headers{"任务类型", "执行数", "等待数"};
    const QList<int> widths{120, 80, 80};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(list->horizontalHeaderItem(c)->text(), headers[c]);
        QCOMPARE(list->columnWidth(c), widths[c]);
    }
    QVERIFY(list->horizontalHeader()->defaultAlignment() & Qt::AlignLeft);
    QVERIFY(list->showGrid());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!list->verticalHeader()->isVisible());

    auto* close = dlg.findChild<QPushButton*>("1");
    QVERIFY(close);
    QCOMPARE(close->text(), QStringLiteral("关闭"));
    QCOMPARE(close->geometry(), vx::du::Rect(171, 143, 50, 14));
    QVERIFY(close->isDefault());
    dlg.show();
    close->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TaskBrowseDlgTest::listFollowsTheManagerAtEveryTick() {
    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    CTaskBrowseDlg empty(&m);
    QCOMPARE(empty.List()->rowCount(), 0);

    AddSweep(m, journal);
    m.AddTask(new FakeTask(999, QStringLiteral("其他"), &journal));
    CTaskBrowseDlg dlg(&m);
    QCOMPARE(Rows(dlg.List()), (QStringList{kPatrol + "|32|222", "其他|0|1"}));

    // Rebuilt from nothing: a selection does not survive the tick.
    dlg.List()->selectRow(1);
    vx::CancelAllTasksCommand(m, output);
    dlg.OnTimer();
    QCOMPARE(dlg.List()->rowCount(), 0);
    QVERIFY(dlg.List()->selectionModel()->selectedRows().isEmpty());

    m.AddTask(new FakeTask(1000, kPatrol, &journal));
    dlg.OnTimer();
    QCOMPARE(Rows(dlg.List()), QStringList{kPatrol + "|0|1"});
    m.CancelAllTasks();

    CTaskBrowseDlg noManager(nullptr);
    noManager.OnTimer();
    QCOMPARE(noManager.List()->rowCount(), 0);
}

void TaskBrowseDlgTest::refreshTimerKeepsRunning() {
    FakeJournal journal;
    Manager m(nullptr, Manual());
    CTaskBrowseDlg dlg(&m);
    QVERIFY(dlg.RefreshTimer()->isActive());
    QCOMPARE(dlg.RefreshTimer()->interval(), 500);
    QVERIFY(!dlg.RefreshTimer()->isSingleShot());

    m.AddTask(new FakeTask(0, kPatrol, &journal));
    QTRY_COMPARE_WITH_TIMEOUT(dlg.List()->rowCount(), 1, 1500);
    m.CancelAllTasks();
    QTRY_COMPARE_WITH_TIMEOUT(dlg.List()->rowCount(), 0, 1500);
}

void TaskBrowseDlgTest::cancelCommand_data() {
    QTest::addColumn<int>("tasks");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("no tasks") << 0 << false << QStringList{};
    QTest::newRow("a whole sweep") << 254 << false << QStringList{"共有254个任务被取消"};
    // The count is of the tasks present, a refuser included.
    QTest::newRow("one refusing task") << 1 << true << QStringList{"共有1个任务被取消"};
}

void TaskBrowseDlgTest::cancelCommand() {
    QFETCH(int, tasks);
    QFETCH(bool, refuse);
    QFETCH(QStringList, log);

    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    FakeTask* kept = nullptr;
    if (refuse) {
        kept = new FakeTask(0, kPatrol, &journal, 0);
        m.AddTask(kept);
    } else {
        AddPatrolTasks(m, journal, tasks);
    }
    m.RunSchedulerCycle();

    vx::CancelAllTasksCommand(m, output);
    QCOMPARE(output.Messages(), log);
    QCOMPARE(m.GetTaskCount(kPatrol), refuse ? 1 : 0);
    if (kept) {
        m.RemoveTask(kept);
        delete kept;
    }
}

void TaskBrowseDlgTest::setMaxThreadsCommand_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("started");  // of 300 waiting tasks, in one cycle

    QTest::newRow("256") << "256" << 256 << 256;
    QTest::newRow("1") << "1" << 1 << 1;
    QTest::newRow("32 again") << "32" << 32 << 32;
    QTest::newRow("64") << "64" << 64 << 64;
    QTest::newRow("8") << "8" << 8 << 8;
    QTest::newRow("no digits") << "abc" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("digits then text") << "12abc" << 12 << 12;
    QTest::newRow("leading blanks") << "  16" << 16 << 16;
}

void TaskBrowseDlgTest::setMaxThreadsCommand() {
    QFETCH(QString, text);
    QFETCH(int, maximum);
    QFETCH(int, started);

    FakeJournal journal;
    FakeOutput output;
    Manager m(&output, Manual());
    AddPatrolTasks(m, journal, 300);

    vx::SetMaxThreadsCommand(m, output, text);
    QCOMPARE(m.MaxThreads(), maximum);
    QCOMPARE(output.Messages(), QStringList{"设置当前执行线程数最大值=" + text});
    m.RunSchedulerCycle();
    QCOMPARE(journal.Events().size(), started);
    m.CancelAllTasks();
}

QTEST_MAIN(TaskBrowseDlgTest)
#include "TaskBrowseDlgTest.moc"
