// A report list whose columns come from one string, whose rows keep their own
// copies of the texts they were given plus one caller pointer each, and which
// sorts by a column when its header is clicked (ascending on a new column,
// toggling on the same one).
//
// Sorting compares the texts the rows were given (AddRow / SetCellText), not
// what may have been written into the items by other means. The kind of
// comparison is decided by the first row's text alone: numbers (digits and at
// most one '.', empty counts as 0), day-month-year dates (dd-mm-yyyy, compared
// year, month, day), otherwise locale-aware case-sensitive text. Rows added
// after a sort are appended unsorted until the next sort.
//
// Every row must be added through AddRow. The caller pointers are never
// freed or dereferenced by the control.
#pragma once

#include <QIcon>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTreeWidget>

class CSortHeaderCtrl;

class CSortListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSortListCtrl(QWidget* parent = nullptr);
    ~CSortListCtrl() override;

    // "caption,width;caption,width;..." appended after the existing columns;
    // rows already in the list get empty texts for them. A trailing ';' is
    // optional; text after the last ';' without a ',' is ignored; a width
    // that is missing or not a number is 0. Returns false when a column could
    // not be created (the ones before it stay).
    bool SetColumns(const QString& columns);
    // The same string as (caption, width) pairs, for lists over a model.
    static QList<QPair<QString, int>> ParseColumns(const QString& columns);
    int ColumnCount() const { return m_columnCount; }

    // Images for AddRow, by index. An index outside the list shows none.
    void SetImageList(const QList<QIcon>& images);

    // Lines between rows and between columns, in the style's grid colour.
    void SetGridLines(bool on);
    bool GridLines() const { return m_gridLines; }

    // Appends a row; texts[i] goes into column i. Exactly ColumnCount() texts
    // are used: missing ones are empty, extra ones ignored. Returns the row
    // index, or -1 when the list has no columns.
    int AddRow(const QStringList& texts, int image);
    // The same for many rows at once, inserted in one step (a list of
    // thousands fills many times faster than row by row).
    void AddRows(const QList<QStringList>& rows, int image);

    // Sets a cell's text and the row's copy of it. False for a cell that does
    // not exist (the copy is then unchanged).
    bool SetCellText(int row, int column, const QString& text);
    QString CellText(int row, int column) const;
    // The row's copy of a column's text, as sorting sees it.
    QString SortText(int row, int column) const;

    // The caller's pointer of a row; false / null past the last row.
    bool SetRowData(int row, void* data);
    void* GetRowData(int row) const;

    bool DeleteRow(int row);
    int RowCount() const;

    // Sorts the rows by a column and shows the direction in the header.
    // False for a column that does not exist (nothing changes then).
    bool SortColumn(int column, bool ascending);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_ascending; }

    CSortHeaderCtrl* SortHeader() const { return m_header; }

    // The row comparison, <0, 0 or >0 for `first` against `second` in
    // ascending order. The kind of comparison is chosen by `first` alone,
    // so Compare(a, b) and Compare(b, a) need not be opposites.
    static int Compare(const QString& first, const QString& second, bool ascending);
    // The grid lines of one row, along the columns of `header` (whose
    // parent is the list).
    static void DrawGrid(QPainter* painter, const QStyleOptionViewItem& option,
                         const QHeaderView* header);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private slots:
    void OnColumnClick(int column);

private:
    class Row;
    Row* RowAt(int row) const;
    Row* MakeRow(const QStringList& texts, int image) const;

    CSortHeaderCtrl* m_header;
    int m_columnCount = 0;
    int m_sortColumn = -1;
    bool m_ascending = true;
    bool m_gridLines = false;
    QList<QIcon> m_images;
};
