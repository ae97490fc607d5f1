// Everything the bar draws: the live bar, and the two pictures a folder
// slide moves between.
#include <QPainter>
#include <QThread>

#include <algorithm>

#include "host/controls/GfxOutBarCtrl.h"

namespace vx {

namespace {

void FrameRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const int x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();
    p.fillRect(QRect(x0, y0, r.width() - 1, 1), topLeft);
    p.fillRect(QRect(x0, y0, 1, r.height() - 1), topLeft);
    p.fillRect(QRect(x1, y0, 1, r.height()), bottomRight);
    p.fillRect(QRect(x0, y1, r.width(), 1), bottomRight);
}

}  // namespace

// ---- painting ----------------------------------------------------------------

void CGfxOutBarCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_slideFrame.isNull()) {
        p.drawImage(0, 0, m_slideFrame);
        return;
    }
    PaintBar(p, true);
}

void CGfxOutBarCtrl::PaintBar(QPainter& p, bool live) const {
    const QRect client = ClientRect();
    // The static edge: shadow top-left, highlight bottom-right.
    FrameRect(p, rect(), palette().color(QPalette::Dark), m_colHighlight);
    p.save();
    p.setClipRect(client);
    p.setFont(font());
    const bool hasChild = FolderChildWindow(-1) != nullptr;
    if (!hasChild) p.fillRect(InsideRect(), m_colBackground);
    if (m_folders.empty()) p.fillRect(client, m_colBackground);
    for (int i = 0; i < FolderCount(); ++i)
        PaintFolderButton(p, i,
                          live && m_press == Press::Folder && m_pressInside && m_pressIndex == i);
    if (!hasChild && OpenFolder()) {
        PaintItems(p, live);
        if (IsUpArrowShown()) PaintArrow(p, UpArrowRect(), true, live && m_upPushed);
        if (IsDownArrowShown()) PaintArrow(p, DownArrowRect(), false, live && m_downPushed);
        if (live && m_dragging) PaintInsertionMark(p);
    }
    if (live && !ChildHasFocus()) {
        if (m_hoverFolder >= 0 && !(m_press == Press::Folder && m_pressInside))
            PaintFolderHover(p, m_hoverFolder);
        const bool quietItem = m_hoverItem == m_lastClicked && m_press != Press::Item &&
                               (m_clickPeriod > 0 || (m_barStyle & kStyleKeepSunken));
        if (m_hoverItem >= 0 && !hasChild && !quietItem)
            PaintItemFrame(p, m_hoverItem, m_hoverPressed);
    }
    p.restore();
}

void CGfxOutBarCtrl::PaintFolderButton(QPainter& p, int index, bool pressed) const {
    const QRect r = FolderRect(index);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), m_colBackground);
    const QRect frame = r.adjusted(0, 1, 0, 0);
    QRect face = frame.adjusted(1, 1, -1, -1);
    if (pressed) {
        FrameRect(p, frame, m_colDarkShadow, m_colHighlight);
        FrameRect(p, face, m_colBackground, m_colFace);
        face = face.adjusted(1, 1, -1, -1);
    } else {
        FrameRect(p, frame, m_colHighlight, m_colBackground);
    }
    p.fillRect(face, m_colFace);
    p.setPen(palette().color(QPalette::ButtonText));
    const QRect text = pressed ? frame.translated(1, 1) : frame;
    p.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, m_folders[index].name);
}

void CGfxOutBarCtrl::PaintFolderHover(QPainter& p, int index) const {
    const QRect r = FolderRect(index);
    if (r.isNull()) return;
    const int right = r.left() + r.width() - 1, bottom = r.top() + r.height() - 1;
    p.fillRect(QRect(r.left(), bottom, r.width(), 1), m_colDarkShadow);
    p.fillRect(QRect(right, r.top() + 1, 1, r.height() - 1), m_colDarkShadow);
    p.fillRect(QRect(r.left() + 1, bottom - 1, r.width() - 2, 1), m_colBackground);
    p.fillRect(QRect(right - 1, r.top() + 2, 1, r.height() - 3), m_colBackground);
}

void CGfxOutBarCtrl::PaintItemFrame(QPainter& p, int item, bool sunken) const {
    const QRect frame = IconRect(item).adjusted(-1, -1, 1, 1);
    if (frame.isNull()) return;
    p.save();
    p.setClipRect(InsideRect());
    if (sunken)
        FrameRect(p, frame, m_colDarkShadow, m_colHighlight);
    else
        FrameRect(p, frame, m_colFace, m_colDarkShadow);
    p.restore();
}

void CGfxOutBarCtrl::PaintItems(QPainter& p, bool live) const {
    const QRect inside = InsideRect();
    const int bottom = inside.top() + inside.height();
    const OutBarFolder* f = OpenFolder();
    const CGfxOutBarImageList* list = ListFor(m_selFolder);
    const bool small = m_barStyle & kStyleSmallIcons;
    p.save();
    p.setClipRect(inside, Qt::IntersectClip);
    p.setPen(m_colLabel);
    for (int i = m_firstItem; i < ItemCount(-1); ++i) {
        if (ItemTop(i) >= bottom) break;
        const QRect icon = IconRect(i);
        QPoint at = icon.topLeft();
        if (live && i == m_lastClicked && m_clickPeriod > 0 && m_clickCounter >= 1 &&
            m_clickCounter <= 4 && inside.contains(ItemRect(i))) {
            p.fillRect(icon, m_colBackground);
            at += ClickAnimationOffset();
        }
        if (list) list->Draw(p, f->items[i].image, at);
        const int flags = small ? Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine
                                : Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
        p.drawText(LabelRect(i), flags, f->items[i].text);
        if (i == m_lastClicked && (m_barStyle & kStyleKeepSunken)) PaintItemFrame(p, i, true);
    }
    p.restore();
}

void CGfxOutBarCtrl::PaintArrow(QPainter& p, const QRect& r, bool up, bool pushed) const {
    p.fillRect(r, m_colFace);
    if (pushed) {
        FrameRect(p, r, palette().color(QPalette::Dark), palette().color(QPalette::Dark));
    } else {
        FrameRect(p, r, m_colFace, m_colDarkShadow);
        FrameRect(p, r.adjusted(1, 1, -1, -1), m_colHighlight, palette().color(QPalette::Dark));
    }
    // A solid triangle, nudged by one pixel while pushed like a pressed button.
    const int shift = pushed ? 1 : 0;
    const int half = std::max(r.width() / 4, 1);
    const int cx = r.left() + r.width() / 2 + shift;
    const int cy = r.top() + r.height() / 2 + shift;
    for (int row = 0; row < half; ++row) {
        const int y = up ? cy - half / 2 + row : cy + half / 2 - row;
        p.fillRect(QRect(cx - row, y, 2 * row + 1, 1), Qt::black);
    }
}

void CGfxOutBarCtrl::PaintInsertionMark(QPainter& p) const {
    const int count = ItemCount(-1);
    if (m_dropPos < 0 || count == 0) return;
    const QRect inside = InsideRect();
    int y;
    enum { Below, Above, Both } heads;
    if (m_dropPos >= count) {
        const QRect last = ItemRect(count - 1);
        y = last.top() + last.height() - 1 + 6;
        heads = Above;
    } else if (m_dropPos == m_firstItem) {
        y = ItemRect(m_dropPos).top() - 2;
        heads = Below;
    } else {
        y = ItemRect(m_dropPos).top() - ((m_barStyle & kStyleSmallIcons) ? 5 : 13);
        heads = Both;
    }
    const int left = inside.left() + 2, right = inside.left() + inside.width() - 3;
    p.fillRect(QRect(left, y, right - left + 1, 1), Qt::black);
    static constexpr int kHeads[] = {7, 5, 3, 1};
    for (int k = 0; k < 4; ++k) {
        const int len = kHeads[k];
        const int top = heads == Below ? y : heads == Above ? y - len + 1 : y - len / 2;
        p.fillRect(QRect(left + k, top, 1, len), Qt::black);
        p.fillRect(QRect(right - k, top, 1, len), Qt::black);
    }
}

// ---- folder slide ----------------------------------------------------------------

QImage CGfxOutBarCtrl::PictureState(int folder, int firstItem) {
    const int oldFolder = m_selFolder, oldFirst = m_firstItem;
    m_selFolder = folder;
    m_firstItem = firstItem;
    // At the screen's pixel ratio, so the slide is as sharp as the bar.
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(m_colBackground);
    {
        QPainter p(&image);
        PaintBar(p, false);
        if (QWidget* child = FolderChildWindow(-1)) {
            child->resize(InsideRect().size());
            child->render(&p, InsideRect().topLeft(), QRegion(), QWidget::DrawChildren);
        }
    }
    m_selFolder = oldFolder;
    m_firstItem = oldFirst;
    return image;
}

void CGfxOutBarCtrl::SlideTo(int newFolder) {
    const QImage before = PictureState(m_selFolder, m_firstItem);
    const QImage after = PictureState(newFolder, 0);
    const QRect client = ClientRect();
    const int H = kFolderHeight;
    const int n = FolderCount();
    const bool downwards = newFolder > m_selFolder;
    const int upper = std::min(newFolder, m_selFolder);
    const int lower = std::max(newFolder, m_selFolder);
    // The band between the topmost open button and the buttons that stay at
    // the bottom is the only part that differs between the two states.
    const int y0 = client.top() + (upper + 1) * H - 1;
    const int y1 = client.top() + client.height() - (n - lower - 1) * H;
    const int band = y1 - y0;
    if (band <= 0) return;
    const qreal ratio = after.devicePixelRatio();
    // A band of the new picture, in its pixels, drawn at `top` in the frame.
    auto bandOfAfter = [&](QPainter& p, int top, int from, int height) {
        p.drawImage(QRectF(0, top, width(), height), after,
                    QRectF(0, from * ratio, after.width(), height * ratio));
    };
    for (int shown = H;; shown += H) {
        const int visible = std::min(shown, band);
        QImage frame = before;
        {
            QPainter p(&frame);
            p.setClipRect(QRect(client.left(), y0, client.width(), band));
            if (downwards) {
                // The new state comes up from below: its band's top part
                // enters at the bottom.
                bandOfAfter(p, y1 - visible, y0, visible);
            } else {
                // The new state comes down from above: its band's bottom part
                // enters at the top.
                bandOfAfter(p, y0, y1 - visible, visible);
            }
        }
        m_slideFrame = frame;
        if (m_slideObserver) m_slideObserver(frame);
        repaint();
        if (visible >= band) break;
        if (m_stepDelay > 0) QThread::msleep(static_cast<unsigned long>(m_stepDelay));
    }
    m_slideFrame = QImage();
}

}  // namespace vx
