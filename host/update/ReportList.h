// The report lists of the update and component dialogs: left-aligned
// columns of fixed pixel widths, grid lines, whole rows selected, list 1002,
// named for assistive technology after the dialog's title (set it first).
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QTreeWidget;
class QWidget;

namespace vx {

QTreeWidget* MakeReportList(QWidget* parent, const QList<QPair<QString, int>>& columns);

}  // namespace vx
