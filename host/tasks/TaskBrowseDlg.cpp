#include "host/tasks/TaskBrowseDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "host/frame/DialogTemplate.h"
#include "host/tasks/TaskManager.h"
#include "platform/Translation.h"

namespace vx {

CTaskBrowseDlg::CTaskBrowseDlg(CTaskManager* manager, QWidget* parent)
    : QDialog(parent), m_manager(manager) {
    ApplyDialogTemplate(this, 157, tr("任务浏览"), 228, 164);
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_list = new QTableWidget(0, 3, this);
    SetControlId(m_list, 1002);
    // The dialog's one list has no label of its own: it goes by the dialog's title.
    m_list->setAccessibleName(windowTitle());
    m_list->setGeometry(du::Rect(7, 7, 214, 132));
    m_list->setHorizontalHeaderLabels({tr("任务类型"), tr("执行数"), tr("等待数")});
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

    QPushButton* close = MakeTemplateButton(this, 1, tr("关闭"), du::Rect(171, 143, 50, 14));
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
        // A task type is named after its tool and counted by that name: only
        // the cell shows it translated.
        m_list->setItem(i, 0, new QTableWidgetItem(platform::ShownToolName(row.typeName)));
        m_list->setItem(i, 1, new QTableWidgetItem(QString::number(row.executing)));
        m_list->setItem(i, 2, new QTableWidgetItem(QString::number(row.waiting)));
    }
}

}  // namespace vx
