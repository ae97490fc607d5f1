#include "host/update/ReportList.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "host/frame/DialogTemplate.h"

namespace vx {

QTreeWidget* MakeReportList(QWidget* parent, const QList<QPair<QString, int>>& columns) {
    auto* list = new QTreeWidget(parent);
    SetControlId(list, 1002);
    // The dialog's one list has no label of its own: it goes by the dialog's title.
    list->setAccessibleName(parent->windowTitle());
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Grid lines between rows and columns.
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0;"
                                       " border-bottom: 1px solid #d0d0d0; }"));
    QStringList headers;
    for (const auto& c : columns) headers << c.first;
    list->setHeaderLabels(headers);
    list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->header()->setStretchLastSection(false);
    for (int i = 0; i < columns.size(); ++i) list->setColumnWidth(i, columns[i].second);
    return list;
}

}  // namespace vx
