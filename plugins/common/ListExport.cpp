#include "plugins/common/ListExport.h"

#include <QAbstractItemModel>

#include "plugins/common/SortListCtrl.h"

namespace vx::common {

ListTable TableOf(const CSortListCtrl& list, bool selectedOnly) {
    ListTable table;
    const QTreeWidgetItem* header = list.headerItem();
    for (int c = 0; c < list.ColumnCount(); ++c) table.titles << header->text(c);
    for (int r = 0; r < list.RowCount(); ++r) {
        if (selectedOnly && !list.topLevelItem(r)->isSelected()) continue;
        QStringList cells;
        for (int c = 0; c < list.ColumnCount(); ++c) cells << list.CellText(r, c);
        table.rows << cells;
    }
    return table;
}

ListTable TableOf(const QAbstractItemModel& model) {
    ListTable table;
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c)
        table.titles << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    const int rows = model.rowCount();
    table.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        cells.reserve(columns);
        for (int c = 0; c < columns; ++c) cells << model.data(model.index(r, c)).toString();
        table.rows << cells;
    }
    return table;
}

namespace {

QString TabCell(QString cell) {
    for (QChar& c : cell)
        if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    return cell;
}

QByteArray CsvCell(const QString& cell) {
    QByteArray bytes = cell.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') || bytes.contains('\n')) {
        bytes.replace("\"", "\"\"");
        return '"' + bytes + '"';
    }
    return bytes;
}

}  // namespace

QString ToTabText(const ListTable& table) {
    QString out;
    auto line = [&out](const QStringList& cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i) out += u'\t';
            out += TabCell(cells[i]);
        }
        out += u'\n';
    };
    line(table.titles);
    for (const QStringList& row : table.rows) line(row);
    return out;
}

QByteArray ToCsv(const ListTable& table) {
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&out](const QStringList& cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i) out += ',';
            out += CsvCell(cells[i]);
        }
        out += "\r\n";
    };
    line(table.titles);
    for (const QStringList& row : table.rows) line(row);
    return out;
}

}  // namespace vx::common
