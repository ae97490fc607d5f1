// Taking a list along: the rows of a report list as tab-separated text for
// the clipboard, or as a CSV file that spreadsheet programs open with the
// Chinese column titles intact.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class CSortListCtrl;
class QAbstractItemModel;

namespace vx::common {

// A list as the user sees it: the column titles, then each row's cell texts.
struct ListTable {
    QStringList titles;
    QList<QStringList> rows;
};

// The list's columns and its rows in the order shown; with `selectedOnly`
// only the selected rows.
ListTable TableOf(const CSortListCtrl& list, bool selectedOnly);
// A list over a model: its horizontal header titles, then every row's
// display texts in the model's order.
ListTable TableOf(const QAbstractItemModel& model);

// Titles line, then one line per row; cells joined by tabs, lines ended by
// "\n". Tabs and line breaks inside a cell become spaces, so a pasted row
// stays one row.
QString ToTabText(const ListTable& table);

// RFC 4180: UTF-8 with a byte-order mark, CRLF line ends, a cell quoted when
// it holds a comma, quote, CR or LF (quotes doubled).
QByteArray ToCsv(const ListTable& table);
// Files are written with vx::platform::WriteWholeFile (platform/WholeFile.h).

}  // namespace vx::common
