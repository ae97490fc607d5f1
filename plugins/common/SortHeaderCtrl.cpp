#include "plugins/common/SortHeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "plugins/common/SortHeaderAccessible.h"

namespace {

// A line as the classic raster device draws it: from `from` up to but not
// including `to`, so that a line continued from its end point does not paint
// the corner twice. The triangle's coordinates are given that way.
void AppendLine(QPolygon& points, QPoint from, QPoint to) {
    int x = from.x(), y = from.y();
    const int dx = std::abs(to.x() - x), dy = -std::abs(to.y() - y);
    const int sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
    int err = dx + dy;
    while (x != to.x() || y != to.y()) {
        points.append(QPoint(x, y));
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

}  // namespace

QString CSortHeaderCtrl::DirectionText(bool ascending) {
    return ascending ? tr("升序") : tr("降序");
}

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // The sections are drawn here, not by widgets of their own; screen
    // readers learn of them through the header's accessible interface.
    InstallSortHeaderAccessibility();
    // Pressed, not grabbed at a divider to be resized: the header says so
    // only for a press on the section itself.
    connect(this, &QHeaderView::sectionPressed, this, [this](int section) {
        m_held = m_pressed = section;
        viewport()->update();
    });
}

void CSortHeaderCtrl::SetSortImage(int column, bool ascending) {
    m_sortColumn = column;
    m_ascending = ascending;
    m_ownerDrawn.insert(column);
    viewport()->update();
}

CSortHeaderCtrl::SectionGeometry CSortHeaderCtrl::Geometry(const QRect& r, bool pressed,
                                                           bool sorted) {
    // Edges as right/bottom-exclusive coordinates, like the drawing rules.
    int left = r.x(), top = r.y(), right = r.x() + r.width();
    const int bottom = r.y() + r.height();
    SectionGeometry g;
    g.quarter = (bottom - top) / 4;
    if (pressed) {
        left += 1;
        top += 2;
        right += 1;
    }
    if (sorted) {
        right -= 3 * g.quarter;
    }
    left += g.quarter;
    right -= g.quarter;
    if (left < right) {
        g.label = QRect(left, top, right - left, bottom - top);
    }
    return g;
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (m_ownerDrawn.contains(logicalIndex)) {
        DrawOwnSection(painter, rect, logicalIndex);
    } else {
        QHeaderView::paintSection(painter, rect, logicalIndex);
    }
}

void CSortHeaderCtrl::DrawOwnSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setClipRect(rect);
    painter->fillRect(rect, palette().color(QPalette::Button));

    const QAbstractItemModel* m = model();
    const QString text =
        m ? m->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString().left(255)
          : QString();
    const int format =
        m ? m->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt() : 0;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (format & Qt::AlignHCenter) {
        horizontal = Qt::AlignHCenter;
    } else if (format & Qt::AlignRight) {
        horizontal = Qt::AlignRight;
    }

    const bool sorted = logicalIndex == m_sortColumn;
    const SectionGeometry g = Geometry(rect, logicalIndex == m_pressed, sorted);
    if (!g.label.isEmpty()) {
        painter->setFont(font());
        painter->setPen(palette().color(QPalette::ButtonText));
        const QString shown = fontMetrics().elidedText(text, Qt::ElideRight, g.label.width());
        painter->drawText(
            g.label, int(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine | Qt::TextDontClip,
            shown);
    }
    if (sorted) {
        DrawTriangle(painter, rect);
    }
    painter->restore();
}

// Drawn on the unpressed rectangle, so the triangle stays put while the
// caption moves with the press.
void CSortHeaderCtrl::DrawTriangle(QPainter* painter, const QRect& rect) const {
    const int r = rect.x() + rect.width();
    const int b = rect.y() + rect.height();
    const int q = rect.height() / 4;
    QPolygon light, dark;
    if (m_ascending) {
        AppendLine(light, {r - 2 * q, q}, {r - q, b - q - 1});
        AppendLine(light, {r - q, b - q - 1}, {r - 3 * q - 2, b - q - 1});
        AppendLine(dark, {r - 3 * q - 1, b - q - 1}, {r - 2 * q, q - 1});
    } else {
        AppendLine(light, {r - q - 1, q}, {r - 2 * q - 1, b - q});
        AppendLine(dark, {r - 2 * q - 2, b - q}, {r - 3 * q - 1, q});
        AppendLine(dark, {r - 3 * q - 1, q}, {r - q - 1, q});
    }
    painter->setPen(QPen(palette().color(QPalette::Light), 0));
    painter->drawPoints(light);
    painter->setPen(QPen(palette().color(QPalette::Dark), 0));
    painter->drawPoints(dark);
}

// Dragged off the section it looks released, and pressed again when the
// mouse comes back, as a push button does.
void CSortHeaderCtrl::mouseMoveEvent(QMouseEvent* event) {
    QHeaderView::mouseMoveEvent(event);
    if (m_held >= 0) {
        const int shown = logicalIndexAt(event->position().toPoint()) == m_held ? m_held : -1;
        if (shown != m_pressed) {
            m_pressed = shown;
            viewport()->update();
        }
    }
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    m_held = m_pressed = -1;
    QHeaderView::mouseReleaseEvent(event);
    viewport()->update();
}
