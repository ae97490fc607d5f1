#include "host/tasks/TaskBrowseDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "host/tasks/TaskManager.h"

namespace vx {

namespace {

// The dialog template is laid out in dialog units of a 9-point font, where
// one unit is about one and a half pixels either way.
QRect FromDialogUnits(int x, int y, int w, int h) {
    auto px = [](int units) { return units * 3 / 2; };
    return {px(x), px(y), px(w), px(h)};
}

void SetId(QWidget* w, int id) {
    w->setObjectName(QString::number(id));
    w->setProperty("vxId", id);
}

}  // namespace

CTaskBrowseDlg::CTaskBrowseDlg(CTaskManager* manager, QWidget* parent)
    : QDialog(parent), m_manager(manager) {
    setObjectName(QStringLiteral("157"));
    setProperty("vxId", 157);
    setWindowTitle(QStringLiteral("任务浏览"));
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(FromDialogUnits(0, 0, 228, 164).size());

    m_list = new QTableWidget(0, 3, this);
    SetId(m_list, 1002);
    m_list->setGeometry(FromDialogUnits(7, 7, 214, 132));
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("任务类型"), QStringLiteral("执行数"), QStringLiteral("等待数")});
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->setColumnWidth(0, 120);
    m_list->setColumnWidth(1, 80);
    m_list->setColumnWidth(2, 80);
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    SetId(close, 1);
    close->setGeometry(FromDialogUnits(171, 143, 50, 14));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    Refresh();
    // A child of the dialog: it ends with the window, as nothing stops it.
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &CTaskBrowseDlg::OnTimer);
    m_timer->start();
}

void CTaskBrowseDlg::OnTimer() { Refresh(); }

void CTaskBrowseDlg::Refresh() {
    // Rebuilt from nothing each time, so selection and scrolling do not
    // survive a tick.
    m_list->setRowCount(0);
    if (!m_manager) return;
    QList<TaskTypeStat> stats;
    m_manager->GetTaskTypeStats(stats);
    m_list->setRowCount(static_cast<int>(stats.size()));
    for (int i = 0; i < stats.size(); ++i) {
        const TaskTypeStat& row = stats[i];
        m_list->setItem(i, 0, new QTableWidgetItem(row.typeName));
        m_list->setItem(i, 1, new QTableWidgetItem(QString::number(row.executing)));
        m_list->setItem(i, 2, new QTableWidgetItem(QString::number(row.waiting)));
    }
}

}  // namespace vx
