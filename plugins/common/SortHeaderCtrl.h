// The header of a CSortListCtrl. It remembers the sort column and direction
// and draws the sorted column's section itself: a flat face, the caption
// inset from the edges and a small 3-D triangle pointing up (ascending) or
// down (descending). A column that was sorted before keeps being drawn by us,
// without the triangle, so the look of the header does not jump back and
// forth between our drawing and the style's.
#pragma once

#include <QHeaderView>
#include <QSet>

class CSortHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CSortHeaderCtrl(QWidget* parent = nullptr);

    // Stores column and direction, switches that column to our drawing and
    // repaints the whole header.
    void SetSortImage(int column, bool ascending);

    int GetSortColumn() const { return m_sortColumn; }
    // "升序" or "降序", as a screen reader says it of the sorted column.
    static QString DirectionText(bool ascending);
    bool IsSortAscending() const { return m_ascending; }
    // True for every column SetSortImage has ever been called with.
    bool IsOwnerDrawn(int column) const { return m_ownerDrawn.contains(column); }

    // The section held down by the mouse while the mouse is over it, or -1.
    int PressedSection() const { return m_pressed; }

    // The label and triangle geometry of one owner-drawn section whose
    // rectangle is r (header coordinates, top 0). Exposed so that the
    // painting and its tests agree on one calculation.
    struct SectionGeometry {
        QRect label;      // where the caption goes; empty when it has no room
        int quarter = 0;  // a quarter of the section's height, rounded down
    };
    static SectionGeometry Geometry(const QRect& r, bool pressed, bool sorted);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawOwnSection(QPainter* painter, const QRect& rect, int logicalIndex) const;
    void DrawTriangle(QPainter* painter, const QRect& rect) const;

    int m_sortColumn = -1;
    bool m_ascending = true;
    QSet<int> m_ownerDrawn;
    int m_held = -1;     // the section the press began on
    int m_pressed = -1;  // m_held while the mouse is over it, else -1
};
