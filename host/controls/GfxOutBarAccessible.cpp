#include "host/controls/GfxOutBarAccessible.h"

#include "host/controls/GfxOutBarCtrl.h"

namespace vx {

namespace {

QAccessibleInterface* OutBarFactory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<CGfxOutBarCtrl*>(object)) return new CGfxOutBarAccessible(bar);
    return nullptr;
}

}  // namespace

void InstallGfxOutBarAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&OutBarFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

// ---- one folder button or item -----------------------------------------------

CGfxOutBarElementAccessible::CGfxOutBarElementAccessible(CGfxOutBarCtrl* bar, Kind kind, int index)
    : m_bar(bar), m_kind(kind), m_index(index) {}

bool CGfxOutBarElementAccessible::isValid() const {
    if (!m_bar || m_index < 0) return false;
    return m_index < (m_kind == Folder ? m_bar->FolderCount() : m_bar->ItemCount(-1));
}

QWidget* CGfxOutBarElementAccessible::Owner() const { return m_bar.data(); }

QString CGfxOutBarElementAccessible::text(QAccessible::Text t) const {
    if (!isValid() || t != QAccessible::Name) return {};
    return m_kind == Folder ? m_bar->FolderTextAt(m_index) : m_bar->ItemTextAt(m_index);
}

QRect CGfxOutBarElementAccessible::rect() const {
    if (!isValid()) return {};
    const QRect local = m_kind == Folder ? m_bar->FolderRect(m_index)
                                         : m_bar->IconRect(m_index) | m_bar->LabelRect(m_index);
    return QRect(m_bar->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::Role CGfxOutBarElementAccessible::role() const {
    return m_kind == Folder ? QAccessible::PageTab : QAccessible::ListItem;
}

QAccessible::State CGfxOutBarElementAccessible::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    s.selectable = true;
    if (m_kind == Folder) {
        s.selected = m_index == m_bar->SelectedFolder();
        s.expanded = s.selected;
        s.collapsed = !s.selected;
        s.expandable = true;
    } else {
        s.selected = m_index == m_bar->LastClickedItem();
        const QRect inside = m_bar->InsideRect();
        const QRect item = m_bar->ItemRect(m_index);
        s.offscreen = !inside.intersects(item) || m_bar->FolderChildWindow(-1) != nullptr;
        s.invisible = s.offscreen;
    }
    if (!m_bar->isVisible()) s.invisible = true;
    return s;
}

void CGfxOutBarElementAccessible::Press() {
    CGfxOutBarCtrl* bar = m_bar;
    if (m_kind == Folder) {
        // Like a click: the open folder's own button does nothing.
        if (m_index != bar->SelectedFolder()) bar->SelectFolder(m_index);
        return;
    }
    bar->ClickItem(m_index);
}

// ---- the bar -----------------------------------------------------------------

CGfxOutBarAccessible::CGfxOutBarAccessible(QWidget* bar)
    : QAccessibleWidget(bar, QAccessible::PageTabList) {}

CGfxOutBarAccessible::~CGfxOutBarAccessible() {
    for (QAccessible::Id id : std::as_const(m_elements)) QAccessible::deleteAccessibleInterface(id);
}

CGfxOutBarCtrl* CGfxOutBarAccessible::Bar() const { return static_cast<CGfxOutBarCtrl*>(widget()); }

QAccessibleInterface* CGfxOutBarAccessible::Element(CGfxOutBarElementAccessible::Kind kind,
                                                    int index) const {
    const qint64 key = (static_cast<qint64>(kind) << 32) | static_cast<quint32>(index);
    auto it = m_elements.constFind(key);
    if (it != m_elements.constEnd()) return QAccessible::accessibleInterface(*it);
    auto* element = new CGfxOutBarElementAccessible(Bar(), kind, index);
    m_elements.insert(key, QAccessible::registerAccessibleInterface(element));
    return element;
}

int CGfxOutBarAccessible::childCount() const {
    return Bar()->FolderCount() + Bar()->ItemCount(-1) + QAccessibleWidget::childCount();
}

QAccessibleInterface* CGfxOutBarAccessible::child(int index) const {
    const int folders = Bar()->FolderCount();
    const int items = Bar()->ItemCount(-1);
    if (index < 0) return nullptr;
    if (index < folders) return Element(CGfxOutBarElementAccessible::Folder, index);
    if (index < folders + items) return Element(CGfxOutBarElementAccessible::Item, index - folders);
    return QAccessibleWidget::child(index - folders - items);
}

int CGfxOutBarAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (const auto* e = dynamic_cast<const CGfxOutBarElementAccessible*>(child)) {
        if (!e->isValid()) return -1;
        return e->ElementKind() == CGfxOutBarElementAccessible::Folder
                   ? e->Index()
                   : Bar()->FolderCount() + e->Index();
    }
    const int own = QAccessibleWidget::indexOfChild(child);
    return own < 0 ? -1 : Bar()->FolderCount() + Bar()->ItemCount(-1) + own;
}

QAccessibleInterface* CGfxOutBarAccessible::childAt(int x, int y) const {
    const QPoint local = Bar()->mapFromGlobal(QPoint(x, y));
    int index = -1;
    switch (Bar()->HitTest(local, &index)) {
        case CGfxOutBarCtrl::HitFolder:
            return Element(CGfxOutBarElementAccessible::Folder, index);
        case CGfxOutBarCtrl::HitItem:
            return Element(CGfxOutBarElementAccessible::Item, index);
        default:
            return QAccessibleWidget::childAt(x, y);
    }
}

}  // namespace vx
