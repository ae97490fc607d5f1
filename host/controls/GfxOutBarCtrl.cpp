#include "host/controls/GfxOutBarCtrl.h"

#include <QCursor>
#include <QPainter>

namespace vx {

CGfxOutBarCtrl::CGfxOutBarCtrl(QWidget* parent) : QWidget(parent) {}
CGfxOutBarCtrl::~CGfxOutBarCtrl() = default;

bool CGfxOutBarCtrl::Create(unsigned windowStyle, const QRect& rect, QWidget* parent, unsigned,
                            unsigned barStyle) {
    if (!parent) return false;
    setParent(parent);
    setGeometry(rect);
    m_barStyle = barStyle;
    setVisible(windowStyle & kWindowVisible);
    return true;
}
int CGfxOutBarCtrl::AppendFolder(const QString& name, quintptr data) {
    OutBarFolder f;
    f.name = name;
    f.data = data;
    m_folders.push_back(std::move(f));
    return FolderCount() - 1;
}
int CGfxOutBarCtrl::FindFolder(const QString&) const { return -1; }
QString CGfxOutBarCtrl::FolderTextAt(int) const { return {}; }
quintptr CGfxOutBarCtrl::FolderDataAt(int) const { return 0; }
void CGfxOutBarCtrl::DeleteFolder(int) {}
int CGfxOutBarCtrl::InsertFolderItem(int, int, const QString&, int, quintptr) { return -1; }
int CGfxOutBarCtrl::ItemCount(int) const { return 0; }
void CGfxOutBarCtrl::DeleteFolderItem(int, int) {}
void CGfxOutBarCtrl::SelectFolder(int) {}
CGfxOutBarImageList* CGfxOutBarCtrl::AssignImageList(CGfxOutBarImageList*, int) { return nullptr; }
CGfxOutBarImageList* CGfxOutBarCtrl::ImageList(int) const { return nullptr; }
CGfxOutBarImageList* CGfxOutBarCtrl::SetFolderImageList(int, CGfxOutBarImageList*, int) {
    return nullptr;
}
quintptr CGfxOutBarCtrl::ItemDataAt(int) const { return 0; }
QString CGfxOutBarCtrl::ItemTextAt(int) const { return {}; }
int CGfxOutBarCtrl::ItemImageAt(int) const { return -1; }
QWidget* CGfxOutBarCtrl::FolderChildWindow(int) const { return nullptr; }
void CGfxOutBarCtrl::SetFolderChildWindow(int, QWidget*) {}
void CGfxOutBarCtrl::SetClickAnimation(int periodMs) { m_clickPeriod = periodMs; }
void CGfxOutBarCtrl::SetBarStyle(unsigned style) { m_barStyle = style; }
QRect CGfxOutBarCtrl::FolderRect(int) const { return {}; }
QRect CGfxOutBarCtrl::InsideRect() const { return {}; }
QSize CGfxOutBarCtrl::ItemSize(int) const { return {}; }
QRect CGfxOutBarCtrl::ItemRect(int) const { return {}; }
QRect CGfxOutBarCtrl::IconRect(int) const { return {}; }
QRect CGfxOutBarCtrl::LabelRect(int) const { return {}; }
QRect CGfxOutBarCtrl::UpArrowRect() const { return {}; }
QRect CGfxOutBarCtrl::DownArrowRect() const { return {}; }
bool CGfxOutBarCtrl::IsUpArrowShown() const { return false; }
bool CGfxOutBarCtrl::IsDownArrowShown() const { return false; }
CGfxOutBarCtrl::HitKind CGfxOutBarCtrl::HitTest(const QPoint&, int*) const { return HitNone; }
bool CGfxOutBarCtrl::IsTimerRunning(int) const { return false; }
QPoint CGfxOutBarCtrl::ClickAnimationOffset() const { return {}; }
void CGfxOutBarCtrl::HoverTick() {}
void CGfxOutBarCtrl::ScrollRepeatTick() {}
void CGfxOutBarCtrl::ClickAnimationTick() {}
QCursor CGfxOutBarCtrl::BarCursor(int) { return QCursor(); }
void CGfxOutBarCtrl::paintEvent(QPaintEvent*) {}
void CGfxOutBarCtrl::mouseMoveEvent(QMouseEvent*) {}
void CGfxOutBarCtrl::mousePressEvent(QMouseEvent*) {}
void CGfxOutBarCtrl::mouseReleaseEvent(QMouseEvent*) {}
void CGfxOutBarCtrl::leaveEvent(QEvent*) {}
void CGfxOutBarCtrl::resizeEvent(QResizeEvent*) {}
void CGfxOutBarCtrl::timerEvent(QTimerEvent*) {}

}  // namespace vx
