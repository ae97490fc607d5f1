// The bar's three cursors, drawn here so that they need no image files: a
// pointer with a folder tab (over folder buttons), a pointer with an insertion
// bar (drop allowed) and a barred circle (no drop).
#include <QBitmap>
#include <QCursor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "host/controls/GfxOutBarCtrl.h"

namespace vx {

namespace {

constexpr int kSide = 32;

void DrawPointer(QPainter& p) {
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 17);
    arrow.lineTo(5, 13);
    arrow.lineTo(8, 20);
    arrow.lineTo(10, 19);
    arrow.lineTo(7, 12);
    arrow.lineTo(12, 12);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
}

QPixmap Canvas() {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QCursor FolderCursor() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    DrawPointer(p);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(13, 18, 14, 9);
    p.drawRect(13, 15, 6, 3);
    return QCursor(pixmap, 1, 1);
}

QCursor DropCursor() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    DrawPointer(p);
    // A small copy of the insertion mark the bar draws.
    p.fillRect(QRect(12, 24, 17, 1), Qt::black);
    static constexpr int kHeads[] = {7, 5, 3, 1};
    for (int k = 0; k < 4; ++k) {
        p.fillRect(QRect(12 + k, 24 - kHeads[k] / 2, 1, kHeads[k]), Qt::black);
        p.fillRect(QRect(28 - k, 24 - kHeads[k] / 2, 1, kHeads[k]), Qt::black);
    }
    return QCursor(pixmap, 1, 1);
}

QCursor NoDropCursor() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 5));
    p.drawEllipse(QPointF(16, 16), 10, 10);
    p.drawLine(QPointF(9, 9), QPointF(23, 23));
    p.setPen(QPen(Qt::black, 3));
    p.drawEllipse(QPointF(16, 16), 10, 10);
    p.drawLine(QPointF(9, 9), QPointF(23, 23));
    return QCursor(pixmap, 16, 16);
}

}  // namespace

QCursor CGfxOutBarCtrl::BarCursor(int resource) {
    switch (resource) {
        case kCursorFolder: {
            static const QCursor cursor = FolderCursor();
            return cursor;
        }
        case kCursorDropAllowed: {
            static const QCursor cursor = DropCursor();
            return cursor;
        }
        case kCursorNoDrop: {
            static const QCursor cursor = NoDropCursor();
            return cursor;
        }
        default:
            return QCursor(Qt::ArrowCursor);
    }
}

}  // namespace vx
