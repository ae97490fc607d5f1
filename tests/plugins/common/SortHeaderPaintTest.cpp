// The sorted column's header as drawn: pixels at the triangle's coordinates,
// the caption inside its label rectangle, the shift of a pressed header.
#include <QtTest>

#include "plugins/common/SortHeaderCtrl.h"
#include "plugins/common/SortListCtrl.h"

namespace {

const QColor kFace(200, 200, 200);
const QColor kLight(255, 255, 255);
const QColor kDark(60, 60, 60);
const QColor kText(0, 0, 255);

// Edges of a section, right and bottom exclusive.
struct Edges {
    int l, r, b, q;
};

// The bounding box of everything in [x0, x1) that is not face colour.
QRect Ink(const QImage& image, int x0, int x1) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = x0; x < x1; ++x) {
            if (image.pixelColor(x, y) != kFace) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace

class SortHeaderPaintTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_list.reset(new CSortListCtrl);
        m_list->SetColumns("Name,100;Address,140;Time,120");
        m_list->AddRow({"a", "b", "c"}, 0);
        QPalette palette = m_list->palette();
        palette.setColor(QPalette::Button, kFace);
        palette.setColor(QPalette::Light, kLight);
        palette.setColor(QPalette::Dark, kDark);
        palette.setColor(QPalette::ButtonText, kText);
        m_list->SortHeader()->setPalette(palette);
        m_list->resize(420, 200);
        m_list->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    }
    void cleanup() { m_list.reset(); }

    void triangle_data() {
        QTest::addColumn<bool>("ascending");
        QTest::newRow("ascending") << true;
        QTest::newRow("descending") << false;
    }
    void triangle() {
        QFETCH(bool, ascending);
        m_list->SortColumn(1, ascending);
        const QImage image = Grab();
        const Edges e = SectionEdges(1);
        QVERIFY(e.q >= 3);
        const int l = e.l, r = e.r, b = e.b, q = e.q;

        if (ascending) {
            // The dark edge runs up to the apex from the left and may end on it.
            QVERIFY(image.pixelColor(r - 2 * q, q) != kFace);
            QCOMPARE(image.pixelColor(r - q, b - q - 1), kLight);         // right corner
            QCOMPARE(image.pixelColor(r - 2 * q, b - q - 1), kLight);     // base
            QCOMPARE(image.pixelColor(r - 3 * q - 1, b - q - 1), kDark);  // left corner
            QCOMPARE(image.pixelColor(r - 2 * q, q - 1), kFace);          // end point left out
            QCOMPARE(image.pixelColor(r - 2 * q, b - q), kFace);          // below the base
            QVERIFY(Near(image, {r - 2 * q, q}, {r - q, b - q - 1}, kLight));
            QVERIFY(Near(image, {r - 3 * q - 1, b - q - 1}, {r - 2 * q, q - 1}, kDark));
        } else {
            QCOMPARE(image.pixelColor(r - q - 1, q), kLight);         // right corner
            QCOMPARE(image.pixelColor(r - 2 * q - 2, b - q), kDark);  // apex
            QCOMPARE(image.pixelColor(r - 2 * q - 1, b - q), kFace);  // end point left out
            QCOMPARE(image.pixelColor(r - 3 * q - 1, q), kDark);      // left corner
            QCOMPARE(image.pixelColor(r - 2 * q, q), kDark);          // top edge
            QCOMPARE(image.pixelColor(r - 2 * q, q - 1), kFace);      // above it
            QVERIFY(Near(image, {r - q - 1, q}, {r - 2 * q - 1, b - q}, kLight));
            QVERIFY(Near(image, {r - 2 * q - 2, b - q}, {r - 3 * q - 1, q}, kDark));
        }
        // Nothing of the triangle outside its box, the face filled edge to edge.
        const QRect triangle = Ink(image, r - 3 * q - 2, r);
        QVERIFY(triangle.top() >= q - 1 && triangle.bottom() <= b - q);
        QCOMPARE(image.pixelColor(l, b - 1), kFace);
        QCOMPARE(image.pixelColor(r - 1, 0), kFace);

        // The caption stays inside its label rectangle, left of the triangle.
        const QRect caption = Ink(image, l, r - 3 * q - 2);
        QVERIFY(!caption.isEmpty());
        QVERIFY2(caption.left() >= l + q && caption.left() <= l + q + 2,
                 qPrintable(QString::number(caption.left())));
        QVERIFY(caption.right() < r - 4 * q);
        QVERIFY(!HasColour(image, l, r - 3 * q - 2, kLight));
    }

    // A pressed header moves its caption by one pixel right and (the top by
    // two, the bottom not at all, vertically centred) one down; the triangle
    // stays where it was. Dragged off the section it looks released.
    void pressedHeaderMovesTheCaptionOnly() {
        m_list->SortColumn(1, true);
        const Edges e = SectionEdges(1);
        const QImage before = Grab();
        QTest::mousePress(m_list->SortHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(e.l + 10, e.b / 2));
        QCOMPARE(m_list->SortHeader()->PressedSection(), 1);
        const QImage pressed = Grab();
        QWidget* viewport = m_list->SortHeader()->viewport();
        QTest::mouseMove(viewport, QPoint(e.r + 10, e.b / 2));
        QCOMPARE(m_list->SortHeader()->PressedSection(), -1);
        const QRect section(e.l, 0, e.r - e.l, e.b);
        QCOMPARE(Grab().copy(section), before.copy(section));
        QTest::mouseMove(viewport, QPoint(e.l + 10, e.b / 2));
        QCOMPARE(m_list->SortHeader()->PressedSection(), 1);
        QTest::mouseRelease(m_list->SortHeader()->viewport(), Qt::LeftButton, {},
                            QPoint(e.l + 10, e.b / 2));

        const int split = e.r - 3 * e.q - 2;
        QCOMPARE(Ink(pressed, e.l, split), Ink(before, e.l, split).translated(1, 1));
        QCOMPARE(pressed.copy(split, 0, e.r - split, e.b), before.copy(split, 0, e.r - split, e.b));
        // The release was a click: the column is sorted the other way now.
        QVERIFY(!m_list->IsSortAscending());
    }

    // Grabbing the divider to resize a column is no press of the section.
    void dividerGrabIsNoPress() {
        m_list->SortColumn(1, true);
        const Edges e = SectionEdges(1);
        QWidget* viewport = m_list->SortHeader()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(e.r - 1, e.b / 2));
        QCOMPARE(m_list->SortHeader()->PressedSection(), -1);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(e.r - 1, e.b / 2));
        QVERIFY(m_list->IsSortAscending());
    }

    // Once sorted, a column stays ours but loses the triangle.
    void earlierSortedColumnKeepsOurDrawing() {
        m_list->SortColumn(0, true);
        m_list->SortColumn(2, false);
        const QImage image = Grab();
        const Edges e = SectionEdges(0);
        QCOMPARE(image.pixelColor(e.l, 0), kFace);
        QCOMPARE(image.pixelColor(e.r - 1, e.b - 1), kFace);
        QVERIFY(!HasColour(image, e.l, e.r, kLight));
        QVERIFY(!HasColour(image, e.l, e.r, kDark));
        const QRect caption = Ink(image, e.l, e.r);
        QVERIFY(caption.left() >= e.l + e.q && caption.right() < e.r - e.q);
    }

    void rightAlignedCaptionEndsAtTheLabel() {
        m_list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        m_list->SortColumn(1, true);
        const Edges e = SectionEdges(1);
        const QRect caption = Ink(Grab(), e.l, e.r - 3 * e.q - 2);
        QVERIFY2(caption.right() < e.r - 4 * e.q && caption.right() >= e.r - 4 * e.q - 3,
                 qPrintable(QString::number(caption.right())));
    }

    void longCaptionIsElidedInsideTheLabel() {
        m_list->headerItem()->setText(0, QString(60, u'W'));
        m_list->SortColumn(0, true);
        const QImage image = Grab();
        const Edges e = SectionEdges(0);
        const QRect caption = Ink(image, e.l, e.r - 3 * e.q - 2);
        QVERIFY(caption.right() < e.r - 4 * e.q);
    }

    // The caption is left out when the label has no width left (q = 5).
    void geometry_data() {
        QTest::addColumn<QRect>("section");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QRect>("label");
        QTest::newRow("no room") << QRect(0, 0, 25, 20) << false << true << QRect();
        QTest::newRow("one pixel") << QRect(0, 0, 26, 20) << false << true << QRect(5, 0, 1, 20);
    }
    void geometry() {
        QFETCH(QRect, section);
        QFETCH(bool, pressed);
        QFETCH(bool, sorted);
        QFETCH(QRect, label);
        QCOMPARE(CSortHeaderCtrl::Geometry(section, pressed, sorted).label, label);
    }

private:
    QImage Grab() {
        return m_list->SortHeader()->viewport()->grab().toImage().convertToFormat(
            QImage::Format_RGB32);
    }
    Edges SectionEdges(int column) const {
        CSortHeaderCtrl* header = m_list->SortHeader();
        const int l = header->sectionViewportPosition(column);
        const int h = header->viewport()->height();
        return {l, l + header->sectionSize(column), h, h / 4};
    }
    // The middle of the edge from a to b is drawn in `colour` (give or take
    // a pixel sideways, as a rasteriser rounds).
    static bool Near(const QImage& image, QPoint a, QPoint b, const QColor& colour) {
        const QPoint mid = (a + b) / 2;
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixelColor(mid.x() + dx, mid.y()) == colour) return true;
        return false;
    }
    static bool HasColour(const QImage& image, int x0, int x1, const QColor& colour) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = x0; x < x1; ++x)
                if (image.pixelColor(x, y) == colour) return true;
        return false;
    }

    std::unique_ptr<CSortListCtrl> m_list;
};

QTEST_MAIN(SortHeaderPaintTest)
#include "SortHeaderPaintTest.moc"
