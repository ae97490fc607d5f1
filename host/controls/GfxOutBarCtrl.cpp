#include "host/controls/GfxOutBarCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimerEvent>

#include <algorithm>

#include "host/controls/GfxOutBarAccessible.h"

namespace vx {

namespace {

constexpr int kLargeLabelGap = 3;
constexpr int kSmallLabelGap = 4;
constexpr int kLargeSpacing = 8;
constexpr int kSmallSpacing = 10;
constexpr int kIndent = 5;
constexpr int kArrowInset = 5;
constexpr int kClickTicks = 12;

// Linux has no desktop colour to read; this blue keeps the white labels
// readable and stays distinct from every palette role the bar also uses.
const QColor kDesktopColour(58, 110, 165);

// Icon displacement on the first four of the twelve click-animation ticks.
constexpr QPoint kWiggle[] = {{-1, 1}, {0, 0}, {1, 1}, {0, 0}};

}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl(QWidget* parent) : QWidget(parent) {
    InstallGfxOutBarAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    // Painted, so it has no text of its own for a screen reader; an owner
    // may name it more precisely.
    setAccessibleName(tr("文件夹栏"));
    const QPalette pal = palette();
    m_colBackground = kDesktopColour;
    m_colLabel = pal.color(QPalette::Base);
    m_colFace = pal.color(QPalette::Button);
    m_colHighlight = pal.color(QPalette::Light);
    m_colDarkShadow = pal.color(QPalette::Shadow);
}

// Folders, items and texts are ours; image lists and child windows are not.
CGfxOutBarCtrl::~CGfxOutBarCtrl() {
    for (OutBarFolder& f : m_folders) ReleaseChild(f.child);
}

// A child window we no longer show goes back to having no parent: left among
// our children, it would be deleted with the bar behind its owner's back.
void CGfxOutBarCtrl::ReleaseChild(QWidget* child) {
    if (!child || child->parentWidget() != this) return;
    child->hide();
    child->setParent(nullptr);
}

bool CGfxOutBarCtrl::Create(unsigned windowStyle, const QRect& rect, QWidget* parent, unsigned id,
                            unsigned barStyle) {
    if (!parent) return false;
    if (parentWidget() != parent) setParent(parent);
    setGeometry(rect);
    setProperty("vxId", static_cast<int>(id));
    m_barStyle = barStyle;
    setVisible((windowStyle & kWindowVisible) != 0);
    update();
    return true;
}

qintptr CGfxOutBarCtrl::Notify(int code, qintptr value) {
    m_notifyResult = 0;
    emit OutbarNotify(code, value);
    return m_notifyResult;
}

// ---- folders -------------------------------------------------------------

int CGfxOutBarCtrl::AppendFolder(const QString& name, quintptr data) {
    OutBarFolder f;
    f.name = name;
    f.data = data;
    m_folders.push_back(std::move(f));
    // The new button takes its row from the bottom of the item area.
    FitChildWindows();
    update();
    NotifyAccessibility();
    return FolderCount() - 1;
}

int CGfxOutBarCtrl::FindFolder(const QString& name) const {
    for (int i = 0; i < FolderCount(); ++i)
        if (m_folders[i].name == name) return i;
    return -1;
}

QString CGfxOutBarCtrl::FolderTextAt(int index) const {
    if (index < 0 || index >= FolderCount()) return {};
    return m_folders[index].name;
}

quintptr CGfxOutBarCtrl::FolderDataAt(int index) const {
    if (index < 0 || index >= FolderCount()) return 0;
    return m_folders[index].data;
}

void CGfxOutBarCtrl::DeleteFolder(int index) {
    if (index < 0 || index >= FolderCount()) return;
    const bool wasOpen = index == m_selFolder;
    ReleaseChild(m_folders[index].child);
    m_folders.erase(m_folders.begin() + index);
    if (m_selFolder > index) {
        // A folder above the open one went; the open folder keeps its place in
        // the stack and stays open.
        --m_selFolder;
    } else if (wasOpen) {
        m_selFolder = std::max(index - 1, 0);
        ResetOpenFolderState();
        if (QWidget* child = FolderChildWindow(-1)) child->show();
    }
    if (m_folders.empty()) m_selFolder = 0;
    // Whichever button went, the item area moved or grew: the open folder's
    // child window goes with it, or it would cover a button or leave a gap.
    FitChildWindows();
    m_hoverFolder = -1;
    update();
    NotifyAccessibility();
}

void CGfxOutBarCtrl::ResetOpenFolderState() {
    m_firstItem = 0;
    m_lastClicked = -1;
    m_clickCounter = 0;
    m_hoverItem = -1;
    m_hoverPressed = false;
    if (m_press != Press::Folder) AbandonPress();
}

const CGfxOutBarCtrl::OutBarFolder* CGfxOutBarCtrl::OpenFolder() const {
    if (m_selFolder < 0 || m_selFolder >= FolderCount()) return nullptr;
    return &m_folders[m_selFolder];
}

// ---- items ---------------------------------------------------------------

int CGfxOutBarCtrl::InsertFolderItem(int folder, int position, const QString& text, int image,
                                     quintptr data) {
    if (folder < 0 || folder >= FolderCount()) return -1;
    auto& items = m_folders[folder].items;
    const int count = static_cast<int>(items.size());
    if (position < 0 || position > count) position = count;
    items.insert(items.begin() + position, OutBarItem{image, text, data});
    if (folder == m_selFolder && m_lastClicked >= position) ++m_lastClicked;
    update();
    NotifyAccessibility();
    return position;
}

int CGfxOutBarCtrl::ItemCount(int folder) const {
    if (folder == -1) folder = m_selFolder;
    if (folder < 0 || folder >= FolderCount()) return 0;
    return static_cast<int>(m_folders[folder].items.size());
}

void CGfxOutBarCtrl::DeleteFolderItem(int folder, int item) {
    if (folder < 0 || folder >= FolderCount()) return;
    auto& items = m_folders[folder].items;
    if (item < 0 || item >= static_cast<int>(items.size())) return;
    items.erase(items.begin() + item);
    if (folder == m_selFolder) {
        // Indexes held for the open folder must keep naming the same items.
        if (m_lastClicked == item) {
            m_lastClicked = -1;
            m_clickCounter = 0;
        } else if (m_lastClicked > item) {
            --m_lastClicked;
        }
        m_hoverItem = -1;
        m_hoverPressed = false;
        if (m_press == Press::Item) AbandonPress();
        const int count = static_cast<int>(items.size());
        if (m_firstItem >= count) m_firstItem = std::max(count - 1, 0);
    }
    update(InsideRect());
    NotifyAccessibility();
}

quintptr CGfxOutBarCtrl::ItemDataAt(int item) const {
    const OutBarFolder* f = OpenFolder();
    if (!f || item < 0 || item >= static_cast<int>(f->items.size())) return 0;
    return f->items[item].data;
}

QString CGfxOutBarCtrl::ItemTextAt(int item) const {
    const OutBarFolder* f = OpenFolder();
    if (!f || item < 0 || item >= static_cast<int>(f->items.size())) return {};
    return f->items[item].text;
}

int CGfxOutBarCtrl::ItemImageAt(int item) const {
    const OutBarFolder* f = OpenFolder();
    if (!f || item < 0 || item >= static_cast<int>(f->items.size())) return -1;
    return f->items[item].image;
}

// ---- image lists and child windows ----------------------------------------

CGfxOutBarImageList* CGfxOutBarCtrl::AssignImageList(CGfxOutBarImageList* list, int kind) {
    CGfxOutBarImageList* old = nullptr;
    if (kind == kSmallImageList) {
        old = m_smallList;
        m_smallList = list;
    } else if (kind == kLargeImageList) {
        old = m_largeList;
        m_largeList = list;
    } else {
        return nullptr;
    }
    update();
    return old;
}

CGfxOutBarImageList* CGfxOutBarCtrl::ImageList(int kind) const {
    if (kind == kSmallImageList) return m_smallList;
    if (kind == kLargeImageList) return m_largeList;
    return nullptr;
}

CGfxOutBarImageList* CGfxOutBarCtrl::SetFolderImageList(int folder, CGfxOutBarImageList* list,
                                                        int kind) {
    if (folder < 0 || folder >= FolderCount()) return nullptr;
    CGfxOutBarImageList** slot = kind == kSmallImageList   ? &m_folders[folder].smallList
                                 : kind == kLargeImageList ? &m_folders[folder].largeList
                                                           : nullptr;
    if (!slot) return nullptr;
    CGfxOutBarImageList* old = *slot;
    *slot = list;
    update();
    return old;
}

CGfxOutBarImageList* CGfxOutBarCtrl::ListFor(int folder) const {
    const bool small = m_barStyle & kStyleSmallIcons;
    if (folder >= 0 && folder < FolderCount()) {
        CGfxOutBarImageList* own =
            small ? m_folders[folder].smallList : m_folders[folder].largeList;
        if (own) return own;
    }
    return small ? m_smallList : m_largeList;
}

QWidget* CGfxOutBarCtrl::FolderChildWindow(int index) const {
    if (m_folders.empty()) return nullptr;
    if (index == -1) index = m_selFolder;
    if (index < 0 || index >= FolderCount()) return nullptr;
    return m_folders[index].child;
}

void CGfxOutBarCtrl::SetFolderChildWindow(int index, QWidget* child) {
    if (index == -1) index = m_selFolder;
    if (index < 0 || index >= FolderCount()) return;
    OutBarFolder& f = m_folders[index];
    if (f.child != child) ReleaseChild(f.child);
    f.child = child;
    if (child) {
        if (child->parentWidget() != this) child->setParent(this);
        child->setGeometry(InsideRect());
        child->setVisible(index == m_selFolder);
    }
    update();
}

void CGfxOutBarCtrl::SetClickAnimation(int periodMs) {
    m_clickPeriod = std::max(periodMs, 0);
    m_clickCounter = 0;
    if (periodMs > 0)
        m_clickTimer.start(periodMs, this);
    else
        m_clickTimer.stop();
    update(InsideRect());
}

void CGfxOutBarCtrl::SetBarStyle(unsigned style) {
    m_barStyle = style;
    update();
}

bool CGfxOutBarCtrl::IsTimerRunning(int timer) const {
    switch (timer) {
        case kHoverTimer:
            return m_hoverTimer.isActive();
        case kScrollTimer:
            return m_scrollTimer.isActive();
        case kClickTimer:
            return m_clickTimer.isActive();
        default:
            return false;
    }
}

// ---- geometry --------------------------------------------------------------

QRect CGfxOutBarCtrl::ClientRect() const { return rect().adjusted(1, 1, -1, -1); }

QRect CGfxOutBarCtrl::FolderRect(int index) const {
    const int n = FolderCount();
    if (index < 0 || index >= n) return {};
    const QRect r = ClientRect();
    const int H = kFolderHeight;
    const int top =
        index <= m_selFolder ? r.top() + index * H - 1 : r.top() + r.height() - H * (n - index);
    return QRect(r.left(), top, r.width(), H);
}

QRect CGfxOutBarCtrl::InsideRect() const {
    const QRect r = ClientRect();
    const int n = FolderCount();
    if (n == 0) return r;
    const int H = kFolderHeight;
    const int top = r.top() + (m_selFolder + 1) * H - 1;
    const int bottom = r.top() + r.height() - (n - m_selFolder - 1) * H;
    return QRect(r.left(), top, r.width(), std::max(bottom - top, 0));
}

QSize CGfxOutBarCtrl::LabelSize(const QString& text) const {
    const QFontMetrics fm(font());
    if (m_barStyle & kStyleSmallIcons) return QSize(fm.horizontalAdvance(text), fm.height());
    const QRect box(0, 0, std::max(InsideRect().width(), 1), 1 << 20);
    return fm.boundingRect(box, Qt::AlignHCenter | Qt::TextWordWrap, text).size();
}

QSize CGfxOutBarCtrl::ItemSize(int item) const {
    const OutBarFolder* f = OpenFolder();
    if (!f || item < 0 || item >= static_cast<int>(f->items.size())) return {};
    const CGfxOutBarImageList* list = ListFor(m_selFolder);
    const QSize image = list ? list->ImageSize() : QSize(0, 0);
    const QSize label = LabelSize(f->items[item].text);
    if (m_barStyle & kStyleSmallIcons)
        return QSize(image.width() + kSmallLabelGap + label.width(),
                     std::max(image.height(), label.height()));
    return QSize(std::max(image.width(), label.width()),
                 image.height() + kLargeLabelGap + label.height() + kLargeSpacing);
}

int CGfxOutBarCtrl::ItemTop(int item) const {
    const int spacing = (m_barStyle & kStyleSmallIcons) ? kSmallSpacing : kLargeSpacing;
    int y = InsideRect().top() + kIndent;
    if (item >= m_firstItem) {
        for (int i = m_firstItem; i < item; ++i) y += ItemSize(i).height() + spacing;
    } else {
        for (int i = item; i < m_firstItem; ++i) y -= ItemSize(i).height() + spacing;
    }
    return y;
}

QRect CGfxOutBarCtrl::ItemRect(int item) const {
    if (item < 0 || item >= ItemCount(-1)) return {};
    const QSize size = ItemSize(item);
    const QRect inside = InsideRect();
    if (m_barStyle & kStyleSmallIcons)
        return QRect(inside.left() + kIndent, ItemTop(item), size.width(), size.height());
    return QRect(inside.left(), ItemTop(item), inside.width(), size.height());
}

QRect CGfxOutBarCtrl::IconRect(int item) const {
    const QRect r = ItemRect(item);
    if (r.isNull()) return {};
    const CGfxOutBarImageList* list = ListFor(m_selFolder);
    const QSize image = list ? list->ImageSize() : QSize(0, 0);
    if (m_barStyle & kStyleSmallIcons)
        return QRect(QPoint(r.left(), r.top() + (r.height() - image.height()) / 2), image);
    return QRect(QPoint(r.left() + (r.width() - image.width()) / 2, r.top()), image);
}

QRect CGfxOutBarCtrl::LabelRect(int item) const {
    const QRect r = ItemRect(item);
    if (r.isNull()) return {};
    const QSize label = LabelSize(m_folders[m_selFolder].items[item].text);
    const QRect icon = IconRect(item);
    if (m_barStyle & kStyleSmallIcons)
        return QRect(QPoint(icon.left() + icon.width() + kSmallLabelGap,
                            r.top() + (r.height() - label.height()) / 2),
                     label);
    return QRect(QPoint(r.left() + (r.width() - label.width()) / 2,
                        icon.top() + icon.height() + kLargeLabelGap),
                 label);
}

QRect CGfxOutBarCtrl::UpArrowRect() const {
    const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect inside = InsideRect();
    return QRect(inside.left() + inside.width() - kArrowInset - side, inside.top() + kArrowInset,
                 side, side);
}

QRect CGfxOutBarCtrl::DownArrowRect() const {
    const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect inside = InsideRect();
    return QRect(inside.left() + inside.width() - kArrowInset - side,
                 inside.top() + inside.height() - kArrowInset - side, side, side);
}

bool CGfxOutBarCtrl::IsUpArrowShown() const {
    return OpenFolder() && !FolderChildWindow(-1) && m_firstItem > 0;
}

bool CGfxOutBarCtrl::IsDownArrowShown() const {
    const int count = ItemCount(-1);
    if (!OpenFolder() || FolderChildWindow(-1) || count == 0) return false;
    const QRect inside = InsideRect();
    const QRect last = ItemRect(count - 1);
    return last.top() + last.height() > inside.top() + inside.height();
}

CGfxOutBarCtrl::HitKind CGfxOutBarCtrl::HitTest(const QPoint& pos, int* index) const {
    auto result = [index](HitKind kind, int i) {
        if (index) *index = i;
        return kind;
    };
    if (!ClientRect().contains(pos)) return result(HitNone, -1);
    if (IsUpArrowShown() && UpArrowRect().contains(pos)) return result(HitUpArrow, -1);
    if (IsDownArrowShown() && DownArrowRect().contains(pos)) return result(HitDownArrow, -1);
    for (int i = 0; i < FolderCount(); ++i)
        if (FolderRect(i).contains(pos)) return result(HitFolder, i);
    const QRect inside = InsideRect();
    if (OpenFolder() && !FolderChildWindow(-1) && inside.contains(pos)) {
        const int bottom = inside.top() + inside.height();
        for (int i = m_firstItem; i < ItemCount(-1); ++i) {
            const QRect item = ItemRect(i);
            if (item.top() >= bottom) break;
            const bool hit = (m_barStyle & kStyleSmallIcons)
                                 ? item.contains(pos)
                                 : IconRect(i).contains(pos) || LabelRect(i).contains(pos);
            if (hit) return result(HitItem, i);
        }
    }
    return result(HitNone, -1);
}

// The counter is 0 at rest; ticks 1 to 4 of each round of twelve displace.
QPoint CGfxOutBarCtrl::ClickAnimationOffset() const {
    if (m_clickCounter >= 1 && m_clickCounter <= 4) return kWiggle[m_clickCounter - 1];
    return {};
}

bool CGfxOutBarCtrl::ChildHasFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus != this && isAncestorOf(focus);
}

// ---- hover -------------------------------------------------------------------

void CGfxOutBarCtrl::UpdateHover(const QPoint& pos) {
    int index = -1;
    const HitKind kind = HitTest(pos, &index);
    const int folder = kind == HitFolder ? index : -1;
    const int item = kind == HitItem ? index : -1;
    if (folder != m_hoverFolder || item != m_hoverItem) {
        m_hoverFolder = folder;
        m_hoverItem = item;
        m_hoverPressed = false;
        update();
    }
    if ((folder >= 0 || item >= 0) && !m_hoverTimer.isActive())
        m_hoverTimer.start(kHoverPeriodMs, this);
    if (kind == HitFolder)
        setCursor(BarCursor(kCursorFolder));
    else
        unsetCursor();
}

void CGfxOutBarCtrl::HoverTick() {
    if (rect().contains(mapFromGlobal(QCursor::pos())) && underMouse()) return;
    m_hoverTimer.stop();
    if (m_press != Press::None) return;
    if (m_hoverFolder >= 0 || m_hoverItem >= 0) {
        m_hoverFolder = m_hoverItem = -1;
        m_hoverPressed = false;
        update();
    }
}

void CGfxOutBarCtrl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_press == Press::None) HoverTick();
}

// ---- mouse ---------------------------------------------------------------------

void CGfxOutBarCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // A press whose release never came (the grab went elsewhere) must not
    // lock the bar.
    AbandonPress();
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    int index = -1;
    switch (HitTest(pos, &index)) {
        case HitFolder:
            m_press = Press::Folder;
            m_pressIndex = index;
            m_pressInside = true;
            update(FolderRect(index));
            break;
        case HitItem:
            m_press = Press::Item;
            m_pressIndex = index;
            m_pressInside = true;
            m_hoverItem = index;
            m_hoverPressed = true;
            update(InsideRect());
            break;
        case HitUpArrow:
        case HitDownArrow: {
            const bool up = HitTest(pos) == HitUpArrow;
            m_press = up ? Press::UpArrow : Press::DownArrow;
            (up ? m_upPushed : m_downPushed) = true;
            m_scrollTimer.start(kScrollPeriodMs, this);
            update(up ? UpArrowRect() : DownArrowRect());
            break;
        }
        case HitNone:
            break;
    }
}

void CGfxOutBarCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    int index = -1;
    const HitKind kind = HitTest(pos, &index);
    switch (m_press) {
        case Press::None:
            UpdateHover(pos);
            break;
        case Press::Folder: {
            const bool inside = kind == HitFolder && index == m_pressIndex;
            if (inside != m_pressInside) {
                m_pressInside = inside;
                update(FolderRect(m_pressIndex));
            }
            break;
        }
        case Press::Item:
            if (m_dragging) {
                UpdateDragCursor(pos);
                break;
            }
            if ((m_barStyle & kStyleDragItems) && kind != HitItem) {
                m_dragging = true;
                m_hoverItem = -1;
                m_hoverPressed = false;
                UpdateDragCursor(pos);
                break;
            }
            {
                const bool inside = kind == HitItem && index == m_pressIndex;
                if (inside != m_hoverPressed) {
                    m_hoverPressed = inside;
                    update(InsideRect());
                }
            }
            break;
        case Press::UpArrow:
        case Press::DownArrow: {
            const bool up = m_press == Press::UpArrow;
            bool& pushed = up ? m_upPushed : m_downPushed;
            const bool on = kind == (up ? HitUpArrow : HitDownArrow);
            if (on != pushed) {
                pushed = on;
                update(up ? UpArrowRect() : DownArrowRect());
            }
            break;
        }
    }
}

void CGfxOutBarCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_press == Press::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    int index = -1;
    const HitKind kind = HitTest(pos, &index);
    const Press press = m_press;
    const int pressed = m_pressIndex;
    m_press = Press::None;
    m_pressIndex = -1;
    m_pressInside = false;
    switch (press) {
        case Press::None:
            break;
        case Press::Folder:
            update();
            if (kind == HitFolder && index != m_selFolder) SelectFolder(index);
            break;
        case Press::Item:
            m_hoverPressed = false;
            if (m_dragging) {
                FinishDrag(pos, pressed);
                break;
            }
            update(InsideRect());
            if (kind == HitItem && index == pressed) ClickItem(index);
            break;
        case Press::UpArrow:
        case Press::DownArrow: {
            const bool up = press == Press::UpArrow;
            if (kind == (up ? HitUpArrow : HitDownArrow)) ScrollStep(up);
            m_scrollTimer.stop();
            m_upPushed = m_downPushed = false;
            update();
            break;
        }
    }
    if (m_press == Press::None) UpdateHover(pos);
}

void CGfxOutBarCtrl::AbandonPress() {
    if (m_press == Press::None) return;
    StopDrag();
    m_scrollTimer.stop();
    m_press = Press::None;
    m_pressIndex = -1;
    m_pressInside = false;
    m_hoverPressed = false;
    m_upPushed = m_downPushed = false;
    update();
}

void CGfxOutBarCtrl::hideEvent(QHideEvent* event) {
    AbandonPress();
    QWidget::hideEvent(event);
}

void CGfxOutBarCtrl::ScrollStep(bool up) {
    if (up) {
        if (m_firstItem > 0) --m_firstItem;
    } else if (IsDownArrowShown()) {
        ++m_firstItem;
    }
    update();
}

void CGfxOutBarCtrl::ScrollRepeatTick() {
    if (m_press == Press::UpArrow && m_upPushed)
        ScrollStep(true);
    else if (m_press == Press::DownArrow && m_downPushed)
        ScrollStep(false);
}

// ---- dragging ----------------------------------------------------------------

int CGfxOutBarCtrl::DropTarget(const QPoint& pos) const {
    int index = -1;
    if (HitTest(pos, &index) == HitItem) return index;
    const int count = ItemCount(-1);
    const QRect inside = InsideRect();
    if (count > 0 && inside.contains(pos) && !FolderChildWindow(-1)) {
        const QRect last = ItemRect(count - 1);
        if (pos.y() >= last.top() + last.height()) return count;
    }
    return -1;
}

void CGfxOutBarCtrl::UpdateDragCursor(const QPoint& pos) {
    const int target = DropTarget(pos);
    setCursor(BarCursor(target >= 0 ? kCursorDropAllowed : kCursorNoDrop));
    if (target != m_dropPos) {
        m_dropPos = target;
        update(InsideRect());
    }
}

void CGfxOutBarCtrl::StopDrag() {
    if (!m_dragging) return;
    m_dragging = false;
    m_dropPos = -1;
    unsetCursor();
}

void CGfxOutBarCtrl::FinishDrag(const QPoint& pos, int dragged) {
    const int target = DropTarget(pos);
    StopDrag();
    const int count = ItemCount(-1);
    if (dragged >= 0 && dragged < count && target >= 0 && target != dragged) {
        // Dropping on an item puts the dragged one in its place; coming from
        // above, the removal first shifts that place up by one.
        const int newIndex = target >= count ? count - 1 : dragged < target ? target - 1 : target;
        OutBarDropRecord record{target, newIndex, m_selFolder, dragged};
        const int folder = m_selFolder;
        const qintptr answer = Notify(kNotifyItemDropped, reinterpret_cast<qintptr>(&record));
        // The owner may have changed the bar from its slot.
        if (answer != 0 && folder == m_selFolder && count == ItemCount(-1))
            MoveItem(dragged, newIndex);
    }
    update();
}

void CGfxOutBarCtrl::MoveItem(int from, int to) {
    auto& items = m_folders[m_selFolder].items;
    if (from == to) return;
    OutBarItem moved = std::move(items[from]);
    items.erase(items.begin() + from);
    items.insert(items.begin() + to, std::move(moved));
    if (m_lastClicked == from)
        m_lastClicked = to;
    else if (from < m_lastClicked && m_lastClicked <= to)
        --m_lastClicked;
    else if (to <= m_lastClicked && m_lastClicked < from)
        ++m_lastClicked;
    NotifyAccessibility();
}

// ---- folder change -----------------------------------------------------------

void CGfxOutBarCtrl::SelectFolder(int index) {
    if (index < 0 || index >= FolderCount()) return;
    if (QWidget* child = FolderChildWindow(-1)) child->hide();
    if (index != m_selFolder && (m_barStyle & kStyleSlide) && m_stepDelay >= 0 && isVisible())
        SlideTo(index);
    m_selFolder = index;
    ResetOpenFolderState();
    m_hoverFolder = -1;
    if (QWidget* child = FolderChildWindow(index)) {
        child->setGeometry(InsideRect());
        child->show();
    }
    Notify(kNotifyFolderOpened, index);
    update();
    NotifyAccessibility();
    NotifyAccessibleSelection(index);
}

void CGfxOutBarCtrl::ClickItem(int index) {
    if (index < 0 || index >= ItemCount(-1)) return;
    // A new item starts its wiggle from the first tick; the old one is
    // repainted at rest.
    if (m_lastClicked != index) m_clickCounter = 0;
    m_lastClicked = index;
    update(InsideRect());
    NotifyAccessibleSelection(FolderCount() + index);
    Notify(kNotifyItemClicked, index);
}

// ---- timers, resize, cursors ---------------------------------------------------

void CGfxOutBarCtrl::ClickAnimationTick() {
    const QRect inside = InsideRect();
    const QRect item = ItemRect(m_lastClicked);
    if (m_lastClicked < 0 || FolderChildWindow(-1) || !inside.contains(item)) {
        m_clickCounter = 0;
        return;
    }
    m_clickCounter = (m_clickCounter + 1) % kClickTicks;
    if (m_clickCounter >= 1 && m_clickCounter <= 5)
        update(IconRect(m_lastClicked).adjusted(-2, -2, 2, 2));
}

void CGfxOutBarCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_hoverTimer.timerId())
        HoverTick();
    else if (event->timerId() == m_scrollTimer.timerId())
        ScrollRepeatTick();
    else if (event->timerId() == m_clickTimer.timerId())
        ClickAnimationTick();
    else
        QWidget::timerEvent(event);
}

void CGfxOutBarCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitChildWindows();
}

void CGfxOutBarCtrl::FitChildWindows() {
    const QRect inside = InsideRect();
    for (OutBarFolder& f : m_folders)
        if (f.child) f.child->setGeometry(inside);
}

void CGfxOutBarCtrl::NotifyAccessibleSelection(int child) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(this, QAccessible::Selection);
    event.setChild(child);
    QAccessible::updateAccessibility(&event);
}

void CGfxOutBarCtrl::NotifyAccessibility() {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

}  // namespace vx
