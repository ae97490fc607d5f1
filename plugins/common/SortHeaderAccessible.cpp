#include "plugins/common/SortHeaderAccessible.h"

#include "plugins/common/SortHeaderCtrl.h"

namespace {

QAccessibleInterface* SortHeaderFactory(const QString&, QObject* object) {
    if (auto* header = qobject_cast<CSortHeaderCtrl*>(object))
        return new CSortHeaderAccessible(header);
    return nullptr;
}

// Qt keeps factories in one list for the whole process. This module may be a
// plug-in that is unloaded long before the program ends, so its factory
// leaves the list when the library's statics are destroyed.
struct FactoryRegistration {
    FactoryRegistration() { QAccessible::installFactory(&SortHeaderFactory); }
    ~FactoryRegistration() { QAccessible::removeFactory(&SortHeaderFactory); }
};

}  // namespace

void InstallSortHeaderAccessibility() { static const FactoryRegistration registration; }

// ---- one column header ----------------------------------------------------------

CSortHeaderSectionAccessible::CSortHeaderSectionAccessible(CSortHeaderCtrl* header,
                                                           int logicalIndex)
    : m_header(header), m_logical(logicalIndex) {}

bool CSortHeaderSectionAccessible::isValid() const {
    return m_header && m_logical >= 0 && m_logical < m_header->count();
}

QWidget* CSortHeaderSectionAccessible::Owner() const { return m_header.data(); }

QString CSortHeaderSectionAccessible::text(QAccessible::Text t) const {
    if (!isValid() || !m_header->model()) return {};
    const QAbstractItemModel* model = m_header->model();
    switch (t) {
        case QAccessible::Name:
            return model->headerData(m_logical, Qt::Horizontal, Qt::DisplayRole).toString();
        case QAccessible::Description:
            if (m_logical != m_header->GetSortColumn()) return {};
            return CSortHeaderCtrl::DirectionText(m_header->IsSortAscending());
        default:
            return {};
    }
}

QRect CSortHeaderSectionAccessible::rect() const {
    if (!isValid()) return {};
    const QRect local(m_header->sectionViewportPosition(m_logical), 0,
                      m_header->sectionSize(m_logical), m_header->height());
    return QRect(m_header->viewport()->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State CSortHeaderSectionAccessible::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    s.pressed = m_logical == m_header->PressedSection();
    if (m_header->isSectionHidden(m_logical) || !m_header->isVisible()) s.invisible = true;
    return s;
}

// What a click on the column does: the list sorts by it.
void CSortHeaderSectionAccessible::Press() { emit m_header->sectionClicked(m_logical); }

// ---- the header ------------------------------------------------------------------

CSortHeaderAccessible::CSortHeaderAccessible(CSortHeaderCtrl* header)
    : QAccessibleWidget(header, QAccessible::Grouping, CSortHeaderCtrl::tr("列标题")) {}

CSortHeaderAccessible::~CSortHeaderAccessible() {
    for (QAccessible::Id id : std::as_const(m_sections)) QAccessible::deleteAccessibleInterface(id);
}

CSortHeaderCtrl* CSortHeaderAccessible::Header() const {
    return static_cast<CSortHeaderCtrl*>(widget());
}

QAccessibleInterface* CSortHeaderAccessible::Section(int logicalIndex) const {
    auto it = m_sections.constFind(logicalIndex);
    if (it != m_sections.constEnd()) return QAccessible::accessibleInterface(*it);
    auto* section = new CSortHeaderSectionAccessible(Header(), logicalIndex);
    m_sections.insert(logicalIndex, QAccessible::registerAccessibleInterface(section));
    return section;
}

int CSortHeaderAccessible::childCount() const { return Header()->count(); }

QAccessibleInterface* CSortHeaderAccessible::child(int index) const {
    if (index < 0 || index >= Header()->count()) return nullptr;
    return Section(Header()->logicalIndex(index));
}

int CSortHeaderAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* section = dynamic_cast<const CSortHeaderSectionAccessible*>(child);
    if (!section || !section->isValid()) return -1;
    return Header()->visualIndex(section->LogicalIndex());
}

QAccessibleInterface* CSortHeaderAccessible::childAt(int x, int y) const {
    const QPoint local = Header()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!Header()->viewport()->rect().contains(local)) return nullptr;
    const int logical = Header()->logicalIndexAt(local);
    return logical < 0 ? nullptr : Section(logical);
}
