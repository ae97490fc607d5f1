// A report list over a model, for lists too long to hold an item per row:
// the same header, grid lines and column-click sorting as CSortListCtrl
// (ascending on a new column, toggling on the same one), with the sorting
// itself left to the model's sort().
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QTreeView>

class CSortHeaderCtrl;

class CSortListView : public QTreeView {
    Q_OBJECT
public:
    explicit CSortListView(QWidget* parent = nullptr);
    ~CSortListView() override;

    // Sets the model; widths[i] (pixels) goes to column i.
    void SetModel(QAbstractItemModel* model, const QList<int>& widths);

    void SetGridLines(bool on);

    // Sorts the model by a column and shows the direction in the header.
    bool SortColumn(int column, bool ascending);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_ascending; }

    CSortHeaderCtrl* SortHeader() const { return m_header; }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    CSortHeaderCtrl* m_header;
    int m_sortColumn = -1;
    bool m_ascending = true;
    bool m_gridLines = false;
};
