#include "plugins/common/SortListCtrl.h"

#include <QMouseEvent>
#include <QPainter>

#include <charconv>
#include <vector>

#include "platform/ProfileFile.h"
#include "plugins/common/SortHeaderCtrl.h"

// A row as the control made it: the texts it was given, kept apart from the
// visible ones, and the caller's pointer.
class CSortListCtrl::Row : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 0x5ec;
    Row() : QTreeWidgetItem(kType) {}

    QStringList texts;     // one per column
    void* data = nullptr;  // the caller's; never freed here
};

namespace {

int Atoi(const QString& text) { return vx::platform::ProfileFile::ParseLeadingInt(text); }

// atof: leading blanks, a sign, then the longest number; 0 when there is none.
// Decoded by hand because the C library's reading of '.' follows the locale
// the application set.
double Atof(const QString& text) {
    int i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    QByteArray bytes;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // from_chars takes a '-' of its own, which would let "--5" through.
    if (i < text.size() && text[i] == u'-') {
        return 0;
    }
    for (; i < text.size() && text[i].unicode() < 0x80; ++i) {
        bytes.append(char(text[i].unicode()));
    }
    double value = 0;
    std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    return negative ? -value : value;
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool IsNumber(const QString& text) {
    int dots = 0;
    for (QChar c : text) {
        if (c == u'.') {
            if (++dots > 1) {
                return false;
            }
        } else if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

// dd-mm-yyyy
bool IsDate(const QString& text) {
    if (text.size() != 10 || text[2] != u'-' || text[5] != u'-') {
        return false;
    }
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (!IsDigit(text[i])) {
            return false;
        }
    }
    return true;
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent), m_header(new CSortHeaderCtrl) {
    setHeader(m_header);
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);  // rows added after a sort stay where they are put
    m_header->setSectionsClickable(true);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(0);
    m_header->setSortIndicatorShown(false);
    connect(m_header, &QHeaderView::sectionClicked, this, &CSortListCtrl::OnColumnClick);
}

CSortListCtrl::~CSortListCtrl() = default;

QList<QPair<QString, int>> CSortListCtrl::ParseColumns(const QString& columns) {
    QList<QPair<QString, int>> parsed;
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = columns.indexOf(u',', start);
        if (comma < 0) {
            return parsed;
        }
        const qsizetype semicolon = columns.indexOf(u';', comma + 1);
        const qsizetype end = semicolon < 0 ? columns.size() : semicolon;
        parsed.append({columns.mid(start, comma - start),
                       std::max(0, Atoi(columns.mid(comma + 1, end - comma - 1)))});
        start = semicolon < 0 ? columns.size() : semicolon + 1;
    }
}

bool CSortListCtrl::SetColumns(const QString& columns) {
    for (const auto& [caption, width] : ParseColumns(columns)) {
        // The count covers a column that failed too, so that it always
        // matches what rows are sized for; rows that exist already get an
        // empty text for the new column, as a row added now would.
        const int index = m_columnCount++;
        for (int r = 0; r < topLevelItemCount(); ++r) {
            if (Row* row = RowAt(r)) row->texts.resize(m_columnCount);
        }
        setColumnCount(m_columnCount);
        if (columnCount() != m_columnCount) {
            return false;
        }
        QTreeWidgetItem* head = headerItem();
        head->setText(index, caption);
        head->setTextAlignment(index, Qt::AlignLeft | Qt::AlignVCenter);
        m_header->resizeSection(index, width);
    }
    return true;
}

void CSortListCtrl::SetImageList(const QList<QIcon>& images) { m_images = images; }

void CSortListCtrl::SetGridLines(bool on) {
    if (m_gridLines == on) return;
    m_gridLines = on;
    viewport()->update();
}

void CSortListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    if (m_gridLines) DrawGrid(painter, option, m_header);
}

void CSortListCtrl::DrawGrid(QPainter* painter, const QStyleOptionViewItem& option,
                             const QHeaderView* header) {
    const QWidget* view = header->parentWidget();
    const auto rgb = static_cast<QRgb>(
        view->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, view));
    const QRect r = option.rect;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(QColor::fromRgba(rgb), 0));
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    // Each column's right edge, where a divider of the header sits above it.
    for (int column = 0; column < header->count(); ++column) {
        if (header->isSectionHidden(column)) continue;
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}

CSortListCtrl::Row* CSortListCtrl::MakeRow(const QStringList& texts, int image) const {
    auto* row = new Row;
    row->texts.reserve(m_columnCount);
    for (int c = 0; c < m_columnCount; ++c) {
        const QString text = c < texts.size() ? texts[c] : QString();
        row->texts.append(text);
        row->setText(c, text);
    }
    if (image >= 0 && image < m_images.size()) {
        row->setIcon(0, m_images[image]);
    }
    return row;
}

int CSortListCtrl::AddRow(const QStringList& texts, int image) {
    if (m_columnCount <= 0) {
        return -1;
    }
    addTopLevelItem(MakeRow(texts, image));
    return topLevelItemCount() - 1;
}

void CSortListCtrl::AddRows(const QList<QStringList>& rows, int image) {
    if (m_columnCount <= 0) return;
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& texts : rows) items.append(MakeRow(texts, image));
    addTopLevelItems(items);
}

CSortListCtrl::Row* CSortListCtrl::RowAt(int row) const {
    QTreeWidgetItem* item = row >= 0 ? topLevelItem(row) : nullptr;
    // A row put in by other means than AddRow has no copies; treat it as
    // absent rather than reading what is not there.
    return item && item->type() == Row::kType ? static_cast<Row*>(item) : nullptr;
}

bool CSortListCtrl::SetCellText(int row, int column, const QString& text) {
    Row* r = RowAt(row);
    if (!r || column < 0 || column >= m_columnCount) {
        return false;
    }
    r->setText(column, text);
    r->texts[column] = text;
    return true;
}

QString CSortListCtrl::CellText(int row, int column) const {
    const QTreeWidgetItem* item = row >= 0 ? topLevelItem(row) : nullptr;
    return item ? item->text(column) : QString();
}

QString CSortListCtrl::SortText(int row, int column) const {
    const Row* r = RowAt(row);
    return r ? r->texts.value(column) : QString();
}

bool CSortListCtrl::SetRowData(int row, void* data) {
    Row* r = RowAt(row);
    if (!r) {
        return false;
    }
    r->data = data;
    return true;
}

void* CSortListCtrl::GetRowData(int row) const {
    const Row* r = RowAt(row);
    return r ? r->data : nullptr;
}

bool CSortListCtrl::DeleteRow(int row) {
    if (row < 0 || row >= topLevelItemCount()) {
        return false;
    }
    delete takeTopLevelItem(row);
    return true;
}

int CSortListCtrl::RowCount() const { return topLevelItemCount(); }

int CSortListCtrl::Compare(const QString& first, const QString& second, bool ascending) {
    const QString& a = ascending ? first : second;
    const QString& b = ascending ? second : first;
    if (IsNumber(first)) {
        const double x = Atof(a);
        const double y = Atof(b);
        return x < y ? -1 : (x == y ? 0 : 1);
    }
    if (IsDate(first)) {
        for (auto [pos, len] : {std::pair{6, 4}, {3, 2}, {0, 2}}) {
            const int x = Atoi(a.mid(pos, len));
            const int y = Atoi(b.mid(pos, len));
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
        return 0;
    }
    const int byLocale = QString::localeAwareCompare(a, b);
    // The collation may call different texts equal; fall back on the code
    // points so that different texts never compare equal.
    return byLocale != 0 ? Sign(byLocale) : Sign(a.compare(b));
}

bool CSortListCtrl::SortColumn(int column, bool ascending) {
    if (column < 0 || column >= m_columnCount) {
        return false;
    }
    if (m_sortColumn >= 0 && m_sortColumn != column) {
        headerItem()->setData(m_sortColumn, Qt::AccessibleDescriptionRole, QVariant());
    }
    m_sortColumn = column;
    m_ascending = ascending;
    m_header->SetSortImage(column, ascending);
    headerItem()->setData(column, Qt::AccessibleDescriptionRole,
                          CSortHeaderCtrl::DirectionText(ascending));

    QTreeWidgetItem* current = currentItem();
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QList<QTreeWidgetItem*> rows = invisibleRootItem()->takeChildren();

    // A merge sort of our own: the comparison is chosen by its first
    // argument, so it is not a consistent ordering, and the library sorts
    // may step outside the range when given one. Merging never does, and it
    // keeps equal rows in their order.
    const auto key = [&](QTreeWidgetItem* item) -> const QString& {
        static const QString none;
        return item->type() == Row::kType ? static_cast<Row*>(item)->texts[column] : none;
    };
    std::vector<QTreeWidgetItem*> from(rows.begin(), rows.end());
    std::vector<QTreeWidgetItem*> to(from.size());
    const size_t n = from.size();
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n);
            const size_t hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                to[k++] =
                    Compare(key(from[i]), key(from[j]), ascending) > 0 ? from[j++] : from[i++];
            }
            while (i < mid) to[k++] = from[i++];
            while (j < hi) to[k++] = from[j++];
        }
        from.swap(to);
    }
    addTopLevelItems(QList<QTreeWidgetItem*>(from.begin(), from.end()));

    if (current) {
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    }
    for (QTreeWidgetItem* item : selected) {
        item->setSelected(true);
    }
    return true;
}

void CSortListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // Pages act on a double click of the left button only (opening a host or
    // a folder); for another button the second click is just another press.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CSortListCtrl::OnColumnClick(int column) {
    const bool ascending = column != m_sortColumn ? true : !m_ascending;
    SortColumn(column, ascending);
}
