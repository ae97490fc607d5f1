// The folder-and-icon bar on the left of the main window: a stack of folder
// buttons and, under the open folder's button, a column of items (an icon with
// a label). The bar knows nothing of tools; it reports clicks to its owner.
//
// Owner notifications. Every notification is the signal OutbarNotify(code,
// value), emitted synchronously on the UI thread; connect it with a direct
// connection (the default for objects of the same thread). Codes:
//   kNotifyItemClicked (1)  value = index of the clicked item in the open folder
//   kNotifyItemDropped (4)  value = a pointer to an OutBarDropRecord, valid only
//                           during the emission; the owner lets the move happen
//                           by calling SetNotifyResult(non-zero) from its slot
//   kNotifyFolderOpened (5) value = index of the folder SelectFolder opened
// The result starts at 0 before each emission, so an owner that does not
// answer (or no owner at all) refuses a drop.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "host/controls/GfxOutBarImageList.h"

namespace vx {

// What code 4 points at. folder and item are the open folder and the dragged
// item; target is the item the drop landed on (the item count for the free
// space after the last item) and newIndex the index the item would have after
// the move.
struct OutBarDropRecord {
    qint32 target;
    qint32 newIndex;
    qint32 folder;
    qint32 item;
};

class CGfxOutBarCtrl : public QWidget {
    Q_OBJECT
public:
    // The notification's traditional message number, kept for owners that
    // dispatch on it.
    static constexpr int WM_OUTBAR_NOTIFY = 0x401;
    static constexpr int kNotifyItemClicked = 1;
    static constexpr int kNotifyItemDropped = 4;
    static constexpr int kNotifyFolderOpened = 5;

    // Bar style bits (the last argument of Create).
    static constexpr unsigned kStyleSmallIcons = 0x001;
    static constexpr unsigned kStyleDragItems = 0x080;
    static constexpr unsigned kStyleSlide = 0x100;
    static constexpr unsigned kStyleKeepSunken = 0x200;
    static constexpr unsigned kDefaultStyle = 0x3FC;

    // Window style bits Create understands; the others are accepted and ignored.
    static constexpr unsigned kWindowChild = 0x40000000u;
    static constexpr unsigned kWindowVisible = 0x10000000u;

    // AssignImageList kinds.
    static constexpr int kSmallImageList = 1;
    static constexpr int kLargeImageList = 2;

    // Timer numbers, for IsTimerRunning.
    static constexpr int kHoverTimer = 1;
    static constexpr int kScrollTimer = 2;
    static constexpr int kClickTimer = 3;
    static constexpr int kHoverPeriodMs = 100;
    static constexpr int kScrollPeriodMs = 300;

    // Cursor resource numbers.
    static constexpr int kCursorDropAllowed = 177;
    static constexpr int kCursorFolder = 178;
    static constexpr int kCursorNoDrop = 179;

    static constexpr int kFolderHeight = 22;

    // Hit-test results.
    enum HitKind { HitNone, HitFolder, HitItem, HitUpArrow, HitDownArrow };

    explicit CGfxOutBarCtrl(QWidget* parent = nullptr);
    ~CGfxOutBarCtrl() override;

    // Reparents to `parent`, takes `rect`, shows the bar when windowStyle has
    // kWindowVisible, and replaces the bar style. Returns false only without a
    // parent.
    bool Create(unsigned windowStyle, const QRect& rect, QWidget* parent, unsigned id,
                unsigned barStyle);

    // The object notifications are meant for; documentation only for the
    // signal, which any number of slots may take. Null means the parent.
    void SetOwner(QObject* owner) { m_owner = owner; }
    QObject* Owner() const { return m_owner ? m_owner.data() : parent(); }

    // Called by a slot of OutbarNotify to answer the current notification.
    void SetNotifyResult(qintptr result) { m_notifyResult = result; }

    int AppendFolder(const QString& name, quintptr data);
    // Exact, case-sensitive comparison; -1 when absent.
    int FindFolder(const QString& name) const;
    int FolderCount() const { return static_cast<int>(m_folders.size()); }
    // An empty text for an index out of range.
    QString FolderTextAt(int index) const;
    quintptr FolderDataAt(int index) const;
    void DeleteFolder(int index);

    // A position below 0 or beyond the item count appends. Returns the position
    // used, or -1 when the folder does not exist.
    int InsertFolderItem(int folder, int position, const QString& text, int image, quintptr data);
    // Folder -1 means the open folder; 0 for a folder that does not exist.
    int ItemCount(int folder) const;
    void DeleteFolderItem(int folder, int item);

    void SelectFolder(int index);
    int SelectedFolder() const { return m_selFolder; }

    // kind 1: small list, kind 2: large list. Returns the list replaced; any
    // other kind changes nothing and returns null. Lists are never owned.
    CGfxOutBarImageList* AssignImageList(CGfxOutBarImageList* list, int kind);
    CGfxOutBarImageList* ImageList(int kind) const;
    // A folder's own list (kind as above) overrides the bar's; null restores it.
    CGfxOutBarImageList* SetFolderImageList(int folder, CGfxOutBarImageList* list, int kind);

    // Items of the open folder; 0 and an empty text for an invalid index.
    quintptr ItemDataAt(int item) const;
    QString ItemTextAt(int item) const;
    int ItemImageAt(int item) const;

    // Index -1 means the open folder; null when there are no folders.
    QWidget* FolderChildWindow(int index) const;
    // Shows `child` in the folder's item area instead of its items. The bar
    // reparents the window but never deletes it: when the folder or the bar
    // goes, or another child replaces it, the window is hidden and unparented.
    void SetFolderChildWindow(int index, QWidget* child);

    // Above 0 starts the click animation with that period; 0 or less stops it.
    void SetClickAnimation(int periodMs);
    int ClickAnimationPeriod() const { return m_clickPeriod; }

    // The delay after each step of the folder slide; negative switches the
    // slide off.
    int m_stepDelay = 10;

    unsigned BarStyle() const { return m_barStyle; }
    void SetBarStyle(unsigned style);

    // Geometry, in widget coordinates, as the bar lays itself out. The client
    // rectangle lies inside the bar's one-pixel static edge.
    QRect ClientRect() const;
    QRect FolderRect(int index) const;
    QRect InsideRect() const;  // the item area
    QSize ItemSize(int item) const;
    QRect ItemRect(int item) const;
    QRect IconRect(int item) const;
    QRect LabelRect(int item) const;
    QRect UpArrowRect() const;
    QRect DownArrowRect() const;
    bool IsUpArrowShown() const;
    bool IsDownArrowShown() const;
    HitKind HitTest(const QPoint& pos, int* index = nullptr) const;

    int FirstVisibleItem() const { return m_firstItem; }
    int LastClickedItem() const { return m_lastClicked; }
    int HoverFolder() const { return m_hoverFolder; }
    int HoverItem() const { return m_hoverItem; }
    bool IsTimerRunning(int timer) const;
    int ClickAnimationCounter() const { return m_clickCounter; }
    // The displacement of the last clicked item's icon in the current tick.
    QPoint ClickAnimationOffset() const;
    bool IsDragging() const { return m_dragging; }
    // The item position the insertion mark shows, -1 when none.
    int DropPosition() const { return m_dropPos; }

    // Timer handlers; the timers call them, and tests call them directly.
    void HoverTick();
    void ScrollRepeatTick();
    void ClickAnimationTick();

    // Receives each picture of a folder slide as it is shown (for tests).
    void SetSlideObserver(std::function<void(const QImage&)> observer) {
        m_slideObserver = std::move(observer);
    }

    // The bar's colours, taken from the palette at construction.
    QColor BackgroundColor() const { return m_colBackground; }
    QColor LabelColor() const { return m_colLabel; }
    QColor FaceColor() const { return m_colFace; }
    QColor HighlightColor() const { return m_colHighlight; }
    QColor DarkShadowColor() const { return m_colDarkShadow; }

    // The cursor the bar uses for resource number 177, 178 or 179.
    static QCursor BarCursor(int resource);

signals:
    void OutbarNotify(int code, qintptr value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct OutBarItem {
        int image = 0;
        QString text;
        quintptr data = 0;
    };
    struct OutBarFolder {
        QString name;
        quintptr data = 0;
        CGfxOutBarImageList* largeList = nullptr;
        CGfxOutBarImageList* smallList = nullptr;
        std::vector<OutBarItem> items;
        QPointer<QWidget> child;
    };
    enum class Press { None, Folder, Item, UpArrow, DownArrow };

    qintptr Notify(int code, qintptr value);
    const OutBarFolder* OpenFolder() const;
    CGfxOutBarImageList* ListFor(int folder) const;
    QSize LabelSize(const QString& text) const;
    int ItemTop(int item) const;
    void PaintBar(QPainter& p, bool live) const;
    void PaintArrow(QPainter& p, const QRect& r, bool up, bool pushed) const;
    void PaintItemFrame(QPainter& p, int item, bool sunken) const;
    void PaintFolderButton(QPainter& p, int index, bool pressed) const;
    void PaintItems(QPainter& p, bool live) const;
    void PaintInsertionMark(QPainter& p) const;
    void PaintFolderHover(QPainter& p, int index) const;
    void UpdateHover(const QPoint& pos);
    void ScrollStep(bool up);
    void SlideTo(int newFolder);
    QImage PictureState(int folder, int firstItem);
    bool ChildHasFocus() const;
    void NotifyAccessibility();
    void NotifyAccessibleSelection(int child);
    void ClickItem(int index);
    void ResetOpenFolderState();
    void FitChildWindows();
    void ReleaseChild(QWidget* child);
    void StopDrag();
    void AbandonPress();
    void UpdateDragCursor(const QPoint& pos);
    int DropTarget(const QPoint& pos) const;
    void FinishDrag(const QPoint& pos, int dragged);
    void MoveItem(int from, int to);
    friend class CGfxOutBarAccessible;
    friend class CGfxOutBarElementAccessible;

    std::vector<OutBarFolder> m_folders;
    int m_selFolder = 0;
    int m_firstItem = 0;
    int m_hoverFolder = -1;
    int m_hoverItem = -1;
    bool m_hoverPressed = false;
    int m_lastClicked = -1;
    int m_clickCounter = 0;
    int m_clickPeriod = 0;
    CGfxOutBarImageList* m_smallList = nullptr;
    CGfxOutBarImageList* m_largeList = nullptr;
    unsigned m_barStyle = kDefaultStyle;

    bool m_upPushed = false;
    bool m_downPushed = false;

    Press m_press = Press::None;
    int m_pressIndex = -1;
    bool m_pressInside = false;
    bool m_dragging = false;
    int m_dropPos = -1;

    QPointer<QObject> m_owner;
    qintptr m_notifyResult = 0;

    QBasicTimer m_hoverTimer;
    QBasicTimer m_scrollTimer;
    QBasicTimer m_clickTimer;

    // While a slide runs, the picture to show instead of the live bar.
    QImage m_slideFrame;
    std::function<void(const QImage&)> m_slideObserver;

    QColor m_colBackground;
    QColor m_colLabel;
    QColor m_colFace;
    QColor m_colHighlight;
    QColor m_colDarkShadow;
};

}  // namespace vx
