#include "plugins/common/SortListView.h"

#include "plugins/common/SortHeaderCtrl.h"
#include "plugins/common/SortListCtrl.h"

CSortListView::CSortListView(QWidget* parent) : QTreeView(parent), m_header(new CSortHeaderCtrl) {
    setHeader(m_header);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);  // the header's clicks are ours
    m_header->setSectionsClickable(true);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(0);
    m_header->setSortIndicatorShown(false);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) {
        SortColumn(column, column != m_sortColumn ? true : !m_ascending);
    });
}

CSortListView::~CSortListView() = default;

void CSortListView::SetModel(QAbstractItemModel* model, const QList<int>& widths) {
    setModel(model);
    for (int column = 0; column < widths.size(); ++column)
        m_header->resizeSection(column, widths[column]);
}

void CSortListView::SetGridLines(bool on) {
    if (m_gridLines == on) return;
    m_gridLines = on;
    viewport()->update();
}

bool CSortListView::SortColumn(int column, bool ascending) {
    if (!model() || column < 0 || column >= model()->columnCount()) return false;
    // Told to assistive technology through the model's header, as the item
    // list does.
    if (m_sortColumn >= 0 && m_sortColumn != column)
        model()->setHeaderData(m_sortColumn, Qt::Horizontal, QVariant(),
                               Qt::AccessibleDescriptionRole);
    model()->setHeaderData(column, Qt::Horizontal, CSortHeaderCtrl::DirectionText(ascending),
                           Qt::AccessibleDescriptionRole);
    m_sortColumn = column;
    m_ascending = ascending;
    m_header->SetSortImage(column, ascending);
    model()->sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    return true;
}

void CSortListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (m_gridLines) CSortListCtrl::DrawGrid(painter, option, m_header);
}
