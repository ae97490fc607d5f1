// The folder bar driven through its real widget: layout numbers, owner
// notifications from mouse sequences, pixels where a colour is promised, and
// the edge behaviour of every operation.
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QtTest>

#include <functional>
#include <memory>

#include "host/controls/GfxOutBarCtrl.h"

using vx::CGfxOutBarCtrl;
using vx::CGfxOutBarImageList;
using vx::OutBarDropRecord;

using Note = QPair<int, qlonglong>;
using Notes = QList<Note>;

namespace {

const QColor kIconColours[] = {Qt::red, Qt::green, Qt::yellow, Qt::magenta, Qt::cyan, Qt::gray};

QPixmap Solid(const QColor& colour, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(colour);
    return pixmap;
}

// One bar inside a shown parent, with the notifications it sends recorded.
struct Bench {
    QWidget parent;
    CGfxOutBarCtrl* bar = nullptr;
    CGfxOutBarImageList large{32, 32};
    CGfxOutBarImageList small{16, 16};
    Notes notes;
    qintptr answer = 0;
    OutBarDropRecord drop{-9, -9, -9, -9};

    explicit Bench(unsigned style, QSize size = QSize(150, 400)) {
        parent.resize(size.width() + 100, size.height() + 20);
        bar = new CGfxOutBarCtrl(&parent);
        bar->Create(CGfxOutBarCtrl::kWindowChild | CGfxOutBarCtrl::kWindowVisible,
                    QRect(QPoint(0, 0), size), &parent, 0, style);
        bar->m_stepDelay = 0;
        for (const QColor& c : kIconColours) {
            large.Add(Solid(c, 32));
            small.Add(Solid(c, 16));
        }
        bar->AssignImageList(&large, 2);
        bar->AssignImageList(&small, 1);
        QObject::connect(bar, &CGfxOutBarCtrl::OutbarNotify, bar, [this](int code, qintptr v) {
            notes.append({code, static_cast<qlonglong>(v)});
            if (code == CGfxOutBarCtrl::kNotifyItemDropped) {
                drop = *reinterpret_cast<const OutBarDropRecord*>(v);
                bar->SetNotifyResult(answer);
            }
        });
        parent.show();
    }

    void Fill(int folders, int items, const QStringList& names = {}) {
        for (int f = 0; f < folders; ++f) bar->AppendFolder(QStringLiteral("F%1").arg(f), f);
        for (int i = 0; i < items; ++i)
            bar->InsertFolderItem(0, -1, names.value(i, QString(QChar('A' + i))), i % 6, 100 + i);
        notes.clear();
    }

    QString Order() const {
        QString s;
        for (int i = 0; i < bar->ItemCount(-1); ++i) s += bar->ItemTextAt(i);
        return s;
    }

    QImage Picture() const { return bar->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QColor At(int x, int y) const { return Picture().pixelColor(x, y); }

    void Press(QPoint p) { QTest::mousePress(bar, Qt::LeftButton, {}, p); }
    void Move(QPoint p) { QTest::mouseMove(bar, p); }
    void Release(QPoint p) { QTest::mouseRelease(bar, Qt::LeftButton, {}, p); }
    // Pressed on `from`, released on `to`.
    void PressAndRelease(QPoint from, QPoint to) {
        Press(from);
        Move(to);
        Release(to);
    }
    void Click(QPoint p) {
        Move(p);
        Press(p);
        Release(p);
    }
    QPoint Icon(int item) const { return bar->IconRect(item).center(); }
    QPoint Button(int folder) const { return bar->FolderRect(folder).center(); }
};

qint64 CursorKey(const QCursor& c) { return c.pixmap().cacheKey(); }

}  // namespace

using Scenario = std::function<void(Bench&)>;
Q_DECLARE_METATYPE(Scenario)

class GfxOutBarCtrlTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void folderLayout_data();
    void folderLayout();
    void itemLayout_data();
    void itemLayout();
    void scrollArrows();
    void scrollRepeat();
    void itemsClippedToArea();
    void clickNotifications_data();
    void clickNotifications();
    void folderSlide_data();
    void folderSlide();
    void slideWaitsStepDelay();
    void clickAnimation();
    void hoverFrames();
    void keptSunkenFrame();
    void pressedFolderButton();
    void dragging_data();
    void dragging();
    void noDragWithoutStyle();
    void ownerChangesBarWhileNotified();
    void folderOperations();
    void itemOperations();
    void imageLists();
    void childWindow();
    void openChildFollowsButtons_data();
    void openChildFollowsButtons();
    void accessibility();
};

void GfxOutBarCtrlTest::initTestCase() {
    // Distinct colours for every role the bar paints with, so a pixel says
    // which one was used.
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Base, QColor(255, 255, 255));
    pal.setColor(QPalette::Button, QColor(200, 200, 200));
    pal.setColor(QPalette::Light, QColor(250, 240, 230));
    pal.setColor(QPalette::Shadow, QColor(20, 20, 20));
    pal.setColor(QPalette::Dark, QColor(120, 120, 120));
    QApplication::setPalette(pal);
}

void GfxOutBarCtrlTest::folderLayout_data() {
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("open");
    QTest::addColumn<QList<int>>("tops");
    QTest::addColumn<int>("insideTop");
    QTest::addColumn<int>("insideHeight");
    // A 150 x 400 bar: client area (1, 1) 148 x 398 inside the static edge.
    QTest::newRow("one folder") << 1 << 0 << QList<int>{0} << 22 << 377;
    QTest::newRow("three, first open") << 3 << 0 << QList<int>{0, 355, 377} << 22 << 333;
    QTest::newRow("three, middle open") << 3 << 1 << QList<int>{0, 22, 377} << 44 << 333;
    QTest::newRow("three, last open") << 3 << 2 << QList<int>{0, 22, 44} << 66 << 333;
}

void GfxOutBarCtrlTest::folderLayout() {
    QFETCH(int, folders);
    QFETCH(int, open);
    QFETCH(QList<int>, tops);
    QFETCH(int, insideTop);
    QFETCH(int, insideHeight);
    Bench b(0x100);
    b.Fill(folders, 0);
    b.bar->SelectFolder(open);
    for (int i = 0; i < folders; ++i) {
        QCOMPARE(b.bar->FolderRect(i), QRect(1, tops[i], 148, 22));
    }
    QCOMPARE(b.bar->InsideRect(), QRect(1, insideTop, 148, insideHeight));

    // After a resize the bottom buttons follow the new bottom edge.
    b.bar->resize(150, 300);
    if (open < folders - 1) QCOMPARE(b.bar->FolderRect(folders - 1).top(), 277);
    QCOMPARE(b.bar->InsideRect().height(), insideHeight - 100);
}

void GfxOutBarCtrlTest::itemLayout_data() {
    QTest::addColumn<unsigned>("style");
    QTest::newRow("large icons") << 0x100u;
    QTest::newRow("small icons") << 0x101u;
}

void GfxOutBarCtrlTest::itemLayout() {
    QFETCH(unsigned, style);
    Bench b(style);
    b.Fill(1, 3, {"A", "Bb", QString::fromUtf8("主机巡测")});
    const QFontMetrics fm(b.bar->font());
    const int lh = fm.height();
    const QRect inside = b.bar->InsideRect();
    QCOMPARE(inside.top(), 22);
    if (style & 1) {
        const int h = std::max(16, lh);
        QCOMPARE(b.bar->ItemRect(0), QRect(6, 27, 16 + 4 + fm.horizontalAdvance("A"), h));
        QCOMPARE(b.bar->ItemRect(1).top(), 27 + h + 10);
        QCOMPARE(b.bar->ItemRect(2).top(), 27 + 2 * (h + 10));
        QCOMPARE(b.bar->IconRect(1).left(), 6);
        QCOMPARE(b.bar->LabelRect(1).left(), 6 + 16 + 4);
    } else {
        const int h = 32 + 3 + lh + 8;
        QCOMPARE(b.bar->ItemRect(0), QRect(1, 27, 148, h));
        QCOMPARE(b.bar->ItemRect(1).top(), 27 + h + 8);
        QCOMPARE(b.bar->ItemRect(2).top(), 27 + 2 * (h + 8));
        QCOMPARE(b.bar->IconRect(0), QRect(1 + (148 - 32) / 2, 27, 32, 32));
        const QRect label = b.bar->LabelRect(2);
        QCOMPARE(label.top(), b.bar->ItemRect(2).top() + 32 + 3);
        QVERIFY(qAbs((label.left() + label.right()) - (1 + 148)) <= 1);  // centred
    }
    // The pixels: icons in their own colours, the area in the background.
    const QImage image = b.Picture();
    QCOMPARE(image.pixelColor(b.Icon(0)), QColor(Qt::red));
    QCOMPARE(image.pixelColor(3, inside.bottom() - 3), b.bar->BackgroundColor());
}

void GfxOutBarCtrlTest::scrollArrows() {
    Bench b(0x100, QSize(150, 200));
    b.Fill(1, 6);
    auto upShown = [&] {
        return b.At(b.bar->UpArrowRect().left() + 1, b.bar->UpArrowRect().top() + 1) ==
               b.bar->HighlightColor();
    };
    auto downShown = [&] {
        const QRect r = b.bar->DownArrowRect();
        return b.At(r.left() + 1, r.top() + 1) == b.bar->HighlightColor();
    };
    QVERIFY(!b.bar->IsUpArrowShown());
    QVERIFY(b.bar->IsDownArrowShown());
    QVERIFY(!upShown());
    QVERIFY(downShown());
    const int side = b.bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QCOMPARE(b.bar->DownArrowRect(), QRect(1 + 148 - 5 - side, 199 - 5 - side, side, side));
    QCOMPARE(b.bar->UpArrowRect(), QRect(1 + 148 - 5 - side, 22 + 5, side, side));

    int steps = 0;
    while (b.bar->IsDownArrowShown() && steps < 10) {
        b.Click(b.bar->DownArrowRect().center());
        ++steps;
        QCOMPARE(b.bar->FirstVisibleItem(), steps);
        QVERIFY(upShown());
        QCOMPARE(downShown(), b.bar->IsDownArrowShown());
    }
    QVERIFY(steps >= 2);
    // It stops exactly when the last item fits.
    const QRect last = b.bar->ItemRect(5);
    QVERIFY(last.bottom() <= b.bar->InsideRect().bottom());
    QVERIFY(last.bottom() + b.bar->ItemRect(steps - 1).height() + 8 > b.bar->InsideRect().bottom());

    // Scrolling up stops at 0; opening a folder resets the position.
    for (int i = 0; i < steps + 2; ++i) {
        if (b.bar->IsUpArrowShown()) b.Click(b.bar->UpArrowRect().center());
    }
    QCOMPARE(b.bar->FirstVisibleItem(), 0);
    b.Click(b.bar->DownArrowRect().center());
    QCOMPARE(b.bar->FirstVisibleItem(), 1);
    b.bar->SelectFolder(0);
    QCOMPARE(b.bar->FirstVisibleItem(), 0);
}

void GfxOutBarCtrlTest::scrollRepeat() {
    Bench b(0x100, QSize(150, 200));
    b.Fill(1, 6);
    const QPoint arrow = b.bar->DownArrowRect().center();
    b.Move(arrow);
    b.Press(arrow);
    QCOMPARE(b.bar->FirstVisibleItem(), 0);  // a press alone does not scroll
    QVERIFY(b.bar->IsTimerRunning(CGfxOutBarCtrl::kScrollTimer));
    const QRect r = b.bar->DownArrowRect();
    QCOMPARE(b.At(r.left(), r.top()), QColor(120, 120, 120));  // drawn pushed
    b.bar->ScrollRepeatTick();
    b.bar->ScrollRepeatTick();
    QCOMPARE(b.bar->FirstVisibleItem(), 2);
    // Off the arrow the repeat pauses; back on it, it resumes.
    b.Move(QPoint(3, 100));
    b.bar->ScrollRepeatTick();
    QCOMPARE(b.bar->FirstVisibleItem(), 2);
    b.Move(arrow);
    b.bar->ScrollRepeatTick();
    QCOMPARE(b.bar->FirstVisibleItem(), 3);
    b.Release(arrow);
    QCOMPARE(b.bar->FirstVisibleItem(), 4);
    QVERIFY(!b.bar->IsTimerRunning(CGfxOutBarCtrl::kScrollTimer));
    QVERIFY(b.notes.isEmpty());
}

void GfxOutBarCtrlTest::itemsClippedToArea() {
    Bench b(0x100, QSize(150, 200));
    b.Fill(2, 6);
    const QRect button = b.bar->FolderRect(1);
    int cut = -1;
    for (int i = 0; i < 6 && cut < 0; ++i)
        if (b.bar->IconRect(i).intersects(button)) cut = i;
    QVERIFY(cut >= 0);
    const QImage image = b.Picture();
    const QRect icon = b.bar->IconRect(cut);
    QCOMPARE(image.pixelColor(icon.center().x(), button.top() + 5), b.bar->FaceColor());
    QCOMPARE(image.pixelColor(icon.center().x(), button.top() - 2), kIconColours[cut]);
    // The hidden part is not clickable either.
    b.Click(QPoint(icon.center().x(), button.top() + 5));
    QCOMPARE(b.notes, Notes({{5, 1}}));
}

void GfxOutBarCtrlTest::clickNotifications_data() {
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<Notes>("expected");
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("lastClicked");

    QTest::newRow("click an icon")
        << Scenario([](Bench& b) { b.Click(b.Icon(1)); }) << Notes{{1, 1}} << 0 << 1;
    QTest::newRow("click a label")
        << Scenario([](Bench& b) { b.Click(b.bar->LabelRect(2).center()); }) << Notes{{1, 2}} << 0
        << 2;
    QTest::newRow("press one item, release on another")
        << Scenario([](Bench& b) { b.PressAndRelease(b.Icon(0), b.Icon(1)); }) << Notes{} << 0
        << -1;
    QTest::newRow("leave the item and come back") << Scenario([](Bench& b) {
        b.Press(b.Icon(0));
        b.Move(b.Icon(1));
        b.Move(b.Icon(0));
        b.Release(b.Icon(0));
    }) << Notes{{1, 0}} << 0 << 0;
    QTest::newRow("press item, release on a folder")
        << Scenario([](Bench& b) { b.PressAndRelease(b.Icon(0), b.Button(2)); }) << Notes{} << 0
        << -1;
    QTest::newRow("press folder A, release on folder B")
        << Scenario([](Bench& b) { b.PressAndRelease(b.Button(1), b.Button(2)); }) << Notes{{5, 2}}
        << 2 << -1;
    QTest::newRow("click another folder")
        << Scenario([](Bench& b) { b.Click(b.Button(1)); }) << Notes{{5, 1}} << 1 << -1;
    QTest::newRow("click the open folder's button")
        << Scenario([](Bench& b) { b.Click(b.Button(0)); }) << Notes{} << 0 << -1;
    QTest::newRow("press folder, release on an item")
        << Scenario([](Bench& b) { b.PressAndRelease(b.Button(1), b.Icon(0)); }) << Notes{} << 0
        << -1;
    QTest::newRow("a release that never came does not lock the bar") << Scenario([](Bench& b) {
        b.Press(b.Icon(0));
        b.bar->hide();
        b.bar->show();
        b.Click(b.Icon(1));
    }) << Notes{{1, 1}} << 0 << 1;
    QTest::newRow("reopen the open folder") << Scenario([](Bench& b) {
        b.Click(b.Icon(2));
        b.bar->SelectFolder(0);
    }) << Notes{{1, 2}, {5, 0}} << 0 << -1;
    QTest::newRow("click then open another folder") << Scenario([](Bench& b) {
        b.Click(b.Icon(2));
        b.bar->SelectFolder(2);
    }) << Notes{{1, 2}, {5, 2}} << 2 << -1;
}

void GfxOutBarCtrlTest::clickNotifications() {
    QFETCH(Scenario, scenario);
    QFETCH(Notes, expected);
    QFETCH(int, open);
    QFETCH(int, lastClicked);
    Bench b(0x100);
    b.Fill(3, 3);
    scenario(b);
    QCOMPARE(b.notes, expected);
    QCOMPARE(b.bar->SelectedFolder(), open);
    QCOMPARE(b.bar->LastClickedItem(), lastClicked);
}

void GfxOutBarCtrlTest::folderSlide_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<int>("stepDelay");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("bandTop");
    QTest::addColumn<int>("bandBottom");
    // 150 x 400 bar, three folders: the band that changes runs from under the
    // upper open button to above the buttons that stay at the bottom.
    QTest::newRow("0 to 2") << 0 << 2 << 0x100u << 0 << 18 << 22 << 399;
    QTest::newRow("2 to 0") << 2 << 0 << 0x100u << 0 << 18 << 22 << 399;
    QTest::newRow("0 to 1") << 0 << 1 << 0x100u << 0 << 17 << 22 << 377;
    QTest::newRow("1 to 2") << 1 << 2 << 0x100u << 0 << 17 << 44 << 399;
    QTest::newRow("same folder") << 1 << 1 << 0x100u << 0 << 0 << 0 << 0;
    QTest::newRow("without the slide style") << 0 << 2 << 0x000u << 0 << 0 << 0 << 0;
    QTest::newRow("negative step delay") << 0 << 2 << 0x100u << -1 << 0 << 0 << 0;
}

void GfxOutBarCtrlTest::folderSlide() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(unsigned, style);
    QFETCH(int, stepDelay);
    QFETCH(int, frames);
    QFETCH(int, bandTop);
    QFETCH(int, bandBottom);
    Bench b(style);
    b.Fill(3, 2);
    b.bar->SelectFolder(from);
    b.notes.clear();
    b.bar->m_stepDelay = stepDelay;
    QList<QImage> shown;
    b.bar->SetSlideObserver(
        [&](const QImage& frame) { shown.append(frame.convertToFormat(QImage::Format_RGB32)); });
    const QImage before = b.Picture();
    b.bar->SelectFolder(to);
    QCOMPARE(b.notes, Notes({{5, to}}));
    QCOMPARE(shown.size(), frames);
    if (frames == 0) return;
    const QImage after = b.Picture();
    QCOMPARE(shown.last(), after);
    const int w = after.width();
    const QImage first = shown.first();
    if (to > from) {
        // The new state rises from the bottom of the band, one button per step.
        QCOMPARE(first.copy(0, bandBottom - 22, w, 22), after.copy(0, bandTop, w, 22));
        QCOMPARE(first.copy(0, bandTop, w, 40), before.copy(0, bandTop, w, 40));
    } else {
        QCOMPARE(first.copy(0, bandTop, w, 22), after.copy(0, bandBottom - 22, w, 22));
        QCOMPARE(first.copy(0, bandBottom - 40, w, 40), before.copy(0, bandBottom - 40, w, 40));
    }
    // Outside the band nothing moves.
    QCOMPARE(first.copy(0, 0, w, bandTop), before.copy(0, 0, w, bandTop));
}

void GfxOutBarCtrlTest::slideWaitsStepDelay() {
    Bench b(0x100);
    b.Fill(3, 1);
    b.bar->m_stepDelay = 10;
    QElapsedTimer clock;
    clock.start();
    b.bar->SelectFolder(1);  // 17 pictures, a delay after all but the last
    QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
}

void GfxOutBarCtrlTest::clickAnimation() {
    Bench b(0x100);
    b.Fill(1, 8);
    b.bar->SetClickAnimation(200);
    QVERIFY(b.bar->IsTimerRunning(CGfxOutBarCtrl::kClickTimer));
    QCOMPARE(b.bar->ClickAnimationPeriod(), 200);
    b.bar->ClickAnimationTick();  // nothing clicked yet: nothing moves
    QCOMPARE(b.bar->ClickAnimationCounter(), 0);

    b.Click(b.Icon(0));
    const QRect icon = b.bar->IconRect(0);
    const QList<QPoint> expected = {{-1, 1}, {0, 0}, {1, 1}, {0, 0}, {}, {},
                                    {},      {},     {},     {},     {}, {}};
    for (int round = 0; round < 2; ++round) {
        for (int tick = 0; tick < 12; ++tick) {
            b.bar->ClickAnimationTick();
            QCOMPARE(b.bar->ClickAnimationOffset(), expected[tick]);
        }
    }
    // Clicking another item starts its wiggle from the beginning.
    b.bar->ClickAnimationTick();
    b.bar->ClickAnimationTick();
    b.Click(b.Icon(1));
    QCOMPARE(b.bar->ClickAnimationCounter(), 0);
    b.Click(b.Icon(0));

    // Displaced left and down: the rightmost column shows the background.
    b.bar->ClickAnimationTick();
    QImage image = b.Picture();
    QCOMPARE(image.pixelColor(icon.right(), icon.top() + 10), b.bar->BackgroundColor());
    QCOMPARE(image.pixelColor(icon.left() - 1, icon.top() + 10), QColor(Qt::red));
    QCOMPARE(image.pixelColor(icon.left() + 5, icon.top()), b.bar->BackgroundColor());
    for (int i = 0; i < 4; ++i) b.bar->ClickAnimationTick();
    image = b.Picture();
    QCOMPARE(image.pixelColor(icon.right(), icon.top() + 10), QColor(Qt::red));

    // An item scrolled partly out of the area does not move.
    b.Click(b.bar->DownArrowRect().center());
    b.bar->ClickAnimationTick();
    QCOMPARE(b.bar->ClickAnimationCounter(), 0);

    b.bar->SetClickAnimation(0);
    QVERIFY(!b.bar->IsTimerRunning(CGfxOutBarCtrl::kClickTimer));
    QCOMPARE(b.bar->ClickAnimationPeriod(), 0);
    b.bar->SetClickAnimation(-5);
    QVERIFY(!b.bar->IsTimerRunning(CGfxOutBarCtrl::kClickTimer));
}

void GfxOutBarCtrlTest::hoverFrames() {
    Bench b(0x100);
    b.Fill(2, 2);
    const QColor dark = b.bar->DarkShadowColor();
    const QColor back = b.bar->BackgroundColor();
    const QColor face = b.bar->FaceColor();
    QVERIFY(dark != back && back != face && face != dark && b.bar->HighlightColor() != face);

    // Folder button hover: two lines along the bottom and right edges.
    const QRect button = b.bar->FolderRect(1);
    b.Move(b.Button(1));
    QCOMPARE(b.bar->HoverFolder(), 1);
    QVERIFY(b.bar->IsTimerRunning(CGfxOutBarCtrl::kHoverTimer));
    QCOMPARE(CursorKey(b.bar->cursor()), CursorKey(CGfxOutBarCtrl::BarCursor(178)));
    QImage image = b.Picture();
    QCOMPARE(image.pixelColor(60, button.bottom()), dark);
    QCOMPARE(image.pixelColor(60, button.bottom() - 1), back);
    QCOMPARE(image.pixelColor(button.right(), button.center().y()), dark);
    QCOMPARE(image.pixelColor(button.right() - 1, button.center().y()), back);

    b.Move(QPoint(3, 200));
    QCOMPARE(b.bar->HoverFolder(), -1);
    QVERIFY(CursorKey(b.bar->cursor()) != CursorKey(CGfxOutBarCtrl::BarCursor(178)));
    image = b.Picture();
    QCOMPARE(image.pixelColor(60, button.bottom()), back);
    QCOMPARE(image.pixelColor(60, button.bottom() - 1), face);

    // Item hover: a raised frame one pixel outside the icon.
    const QRect icon = b.bar->IconRect(1);
    b.Move(b.Icon(1));
    QCOMPARE(b.bar->HoverItem(), 1);
    image = b.Picture();
    QCOMPARE(image.pixelColor(icon.left() - 1, icon.center().y()), face);
    QCOMPARE(image.pixelColor(icon.center().x(), icon.top() - 1), face);
    QCOMPARE(image.pixelColor(icon.right() + 1, icon.center().y()), dark);
    QCOMPARE(image.pixelColor(icon.center().x(), icon.bottom() + 1), dark);
    // Pressed: sunken.
    b.Press(b.Icon(1));
    image = b.Picture();
    QCOMPARE(image.pixelColor(icon.left() - 1, icon.center().y()), dark);
    QCOMPARE(image.pixelColor(icon.right() + 1, icon.center().y()), b.bar->HighlightColor());
    b.Release(b.Icon(1));

    // Leaving the bar removes the frames; the timer then stops itself.
    QTest::mouseMove(&b.parent, QPoint(b.parent.width() - 5, 10));
    b.bar->HoverTick();
    QCOMPARE(b.bar->HoverItem(), -1);
    QVERIFY(!b.bar->IsTimerRunning(CGfxOutBarCtrl::kHoverTimer));
    image = b.Picture();
    QCOMPARE(image.pixelColor(icon.left() - 1, icon.center().y()), back);
    QCOMPARE(image.pixelColor(icon.right() + 1, icon.center().y()), back);
}

void GfxOutBarCtrlTest::keptSunkenFrame() {
    Bench b(0x300);
    b.Fill(1, 3);
    const QRect first = b.bar->IconRect(1);
    b.Click(b.Icon(1));
    // The pointer still hovers the clicked item: the sunken frame stays.
    QImage image = b.Picture();
    QCOMPARE(image.pixelColor(first.left() - 1, first.center().y()), b.bar->DarkShadowColor());
    QCOMPARE(image.pixelColor(first.right() + 1, first.center().y()), b.bar->HighlightColor());
    b.Click(b.Icon(2));
    b.Move(QPoint(3, 300));
    image = b.Picture();
    QCOMPARE(image.pixelColor(first.left() - 1, first.center().y()), b.bar->BackgroundColor());
    const QRect second = b.bar->IconRect(2);
    QCOMPARE(image.pixelColor(second.left() - 1, second.center().y()), b.bar->DarkShadowColor());
    // Without the style no frame remains once the pointer is gone.
    b.bar->SetBarStyle(0x100);
    image = b.Picture();
    QCOMPARE(image.pixelColor(second.left() - 1, second.center().y()), b.bar->BackgroundColor());
}

void GfxOutBarCtrlTest::pressedFolderButton() {
    Bench b(0x100);
    b.Fill(2, 0);
    const QRect button = b.bar->FolderRect(1);
    QCOMPARE(b.At(button.left(), button.top() + 1), b.bar->HighlightColor());
    QCOMPARE(b.At(button.left(), button.top()), b.bar->BackgroundColor());
    b.Press(b.Button(1));
    QCOMPARE(b.At(button.left(), button.top() + 1), b.bar->DarkShadowColor());
    b.Move(QPoint(3, 200));  // off the button: drawn normal again
    QCOMPARE(b.At(button.left(), button.top() + 1), b.bar->HighlightColor());
    b.Release(QPoint(3, 200));
    QVERIFY(b.notes.isEmpty());
}

void GfxOutBarCtrlTest::dragging_data() {
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");  // 4: the free space below the last item; -1: nowhere
    QTest::addColumn<qlonglong>("answer");
    QTest::addColumn<bool>("notified");
    QTest::addColumn<QList<int>>("record");
    QTest::addColumn<QString>("order");
    QTest::newRow("down onto an item")
        << 0x080u << 0 << 2 << 1LL << true << QList<int>{2, 1, 0, 0} << "BACD";
    QTest::newRow("up onto an item")
        << 0x080u << 3 << 1 << 1LL << true << QList<int>{1, 1, 0, 3} << "ADBC";
    QTest::newRow("onto the next item")
        << 0x080u << 1 << 2 << 1LL << true << QList<int>{2, 1, 0, 1} << "ABCD";
    QTest::newRow("below the last item")
        << 0x080u << 0 << 4 << 1LL << true << QList<int>{4, 3, 0, 0} << "BCDA";
    QTest::newRow("owner refuses")
        << 0x080u << 0 << 2 << 0LL << true << QList<int>{2, 1, 0, 0} << "ABCD";
    QTest::newRow("back onto itself") << 0x080u << 1 << 1 << 1LL << false << QList<int>{} << "ABCD";
    QTest::newRow("small icons, onto an item")
        << 0x081u << 0 << 2 << 1LL << true << QList<int>{2, 1, 0, 0} << "BACD";
    QTest::newRow("small icons, below the last item")
        << 0x081u << 2 << 4 << 1LL << true << QList<int>{4, 3, 0, 2} << "ABDC";
    QTest::newRow("nowhere") << 0x080u << 1 << -1 << 1LL << false << QList<int>{} << "ABCD";
}

void GfxOutBarCtrlTest::dragging() {
    QFETCH(unsigned, style);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(qlonglong, answer);
    QFETCH(bool, notified);
    QFETCH(QList<int>, record);
    QFETCH(QString, order);
    Bench b(style);
    b.Fill(1, 4);
    b.answer = answer;
    const QRect inside = b.bar->InsideRect();
    const QPoint nowhere(3, b.bar->ItemRect(from).top() + 3);  // in the item, off icon and label
    const QPoint end(60, b.bar->ItemRect(3).bottom() + 20);
    b.Move(b.Icon(from));
    b.Press(b.Icon(from));
    b.Move(nowhere);
    QVERIFY(b.bar->IsDragging());
    QCOMPARE(b.bar->DropPosition(), -1);
    QCOMPARE(CursorKey(b.bar->cursor()), CursorKey(CGfxOutBarCtrl::BarCursor(179)));
    const QPoint target = to == 4 ? end : to >= 0 ? b.Icon(to) : nowhere;
    b.Move(target);
    if (to >= 0) {
        QCOMPARE(b.bar->DropPosition(), to);
        QCOMPARE(CursorKey(b.bar->cursor()), CursorKey(CGfxOutBarCtrl::BarCursor(177)));
        // The insertion mark: a black line 2 pixels in from each side.
        int y = to == 4   ? b.bar->ItemRect(3).bottom() + 6
                : to == 0 ? b.bar->ItemRect(0).top() - 2
                          : b.bar->ItemRect(to).top() - ((style & 1) ? 5 : 13);
        const QImage image = b.Picture();
        QCOMPARE(image.pixelColor(inside.left() + 10, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(inside.left() + 2, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(inside.left() + 1, y), b.bar->BackgroundColor());
        QCOMPARE(image.pixelColor(inside.right() - 2, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(inside.right() - 1, y), b.bar->BackgroundColor());
    }
    b.Release(target);
    QVERIFY(!b.bar->IsDragging());
    QCOMPARE(b.notes.isEmpty(), !notified);
    if (notified) {
        QCOMPARE(b.notes.size(), 1);
        QCOMPARE(b.notes[0].first, 4);
        QCOMPARE((QList<int>{b.drop.target, b.drop.newIndex, b.drop.folder, b.drop.item}), record);
    }
    QCOMPARE(b.Order(), order);
    // User data travels with the item.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(b.bar->ItemDataAt(i), quintptr(100 + (b.Order()[i].unicode() - 'A')));
}

void GfxOutBarCtrlTest::noDragWithoutStyle() {
    Bench b(0x100);
    b.Fill(1, 4);
    b.answer = 1;
    b.Press(b.Icon(0));
    b.Move(QPoint(3, 30));
    QVERIFY(!b.bar->IsDragging());
    b.Move(b.Icon(2));
    b.Release(b.Icon(2));
    QVERIFY(b.notes.isEmpty());
    QCOMPARE(b.Order(), QString("ABCD"));
}

void GfxOutBarCtrlTest::ownerChangesBarWhileNotified() {
    // An owner that removes items from its slot and still agrees to the move.
    Bench b(0x080);
    b.Fill(2, 4);
    b.answer = 1;
    QObject::connect(b.bar, &CGfxOutBarCtrl::OutbarNotify, b.bar, [&](int code, qintptr) {
        if (code == CGfxOutBarCtrl::kNotifyItemDropped) b.bar->DeleteFolderItem(0, 3);
        if (code == CGfxOutBarCtrl::kNotifyItemClicked) b.bar->DeleteFolder(0);
    });
    b.Press(b.Icon(0));
    b.Move(QPoint(3, b.bar->ItemRect(0).top() + 3));
    b.Move(b.Icon(3));
    b.Release(b.Icon(3));
    QCOMPARE(b.Order(), QString("ABC"));
    b.bar->grab();
    // And one that deletes the open folder when an item is clicked.
    b.Click(b.Icon(1));
    QCOMPARE(b.bar->FolderCount(), 1);
    QCOMPARE(b.bar->LastClickedItem(), -1);
    b.Move(QPoint(60, 100));
    b.bar->grab();
}

void GfxOutBarCtrlTest::folderOperations() {
    Bench b(0x000);
    QCOMPARE(b.bar->FolderCount(), 0);
    QCOMPARE(b.bar->FolderChildWindow(-1), nullptr);
    QCOMPARE(b.bar->ItemCount(-1), 0);
    b.bar->SelectFolder(0);  // nothing to open: no notification, no crash
    b.bar->DeleteFolder(0);
    QVERIFY(b.notes.isEmpty());
    b.bar->grab();

    QCOMPARE(b.bar->AppendFolder("Tools", 7), 0);
    QCOMPARE(b.bar->AppendFolder("tools", 8), 1);
    QCOMPARE(b.bar->AppendFolder(QString::fromUtf8("搜索工具"), 9), 2);
    QCOMPARE(b.bar->AppendFolder("Tools", 10), 3);
    QCOMPARE(b.bar->FindFolder("Tools"), 0);
    QCOMPARE(b.bar->FindFolder("tools"), 1);
    QCOMPARE(b.bar->FindFolder("TOOLS"), -1);
    QCOMPARE(b.bar->FindFolder(QString::fromUtf8("搜索工具")), 2);
    QCOMPARE(b.bar->FindFolder(""), -1);
    QCOMPARE(b.bar->FolderTextAt(1), QString("tools"));
    QCOMPARE(b.bar->FolderTextAt(4), QString());
    QCOMPARE(b.bar->FolderDataAt(2), quintptr(9));

    // Deleting a folder above the open one keeps the same folder open.
    b.bar->SelectFolder(2);
    b.bar->DeleteFolder(0);
    QCOMPARE(b.bar->SelectedFolder(), 1);
    QCOMPARE(b.bar->FolderTextAt(1), QString::fromUtf8("搜索工具"));
    // Deleting the open folder opens the one before it.
    b.bar->DeleteFolder(1);
    QCOMPARE(b.bar->SelectedFolder(), 0);
    QCOMPARE(b.bar->FolderTextAt(0), QString("tools"));
    // Deleting the open folder 0 leaves the next one, now 0, open.
    b.bar->InsertFolderItem(0, -1, "x", 0, 1);
    b.bar->DeleteFolder(0);
    QCOMPARE(b.bar->FolderCount(), 1);
    QCOMPARE(b.bar->SelectedFolder(), 0);
    QCOMPARE(b.bar->FolderTextAt(0), QString("Tools"));
    QCOMPARE(b.bar->ItemCount(-1), 0);
    // Out of range: nothing happens.
    b.bar->DeleteFolder(5);
    b.bar->DeleteFolder(-1);
    QCOMPARE(b.bar->FolderCount(), 1);
    b.bar->DeleteFolder(0);
    QCOMPARE(b.bar->FolderCount(), 0);
    b.bar->grab();
    QVERIFY(b.notes.isEmpty() || b.notes.last().first == 5);
}

void GfxOutBarCtrlTest::itemOperations() {
    Bench b(0x100);
    b.Fill(2, 0);
    QCOMPARE(b.bar->InsertFolderItem(0, -1, "a", 0, 1), 0);
    QCOMPARE(b.bar->InsertFolderItem(0, -1, "c", 0, 3), 1);
    QCOMPARE(b.bar->InsertFolderItem(0, 1, "b", 0, 2), 1);
    QCOMPARE(b.bar->InsertFolderItem(0, 99, "d", 0, 4), 3);
    QCOMPARE(b.bar->InsertFolderItem(0, -7, "e", 0, 5), 4);
    QCOMPARE(b.bar->InsertFolderItem(0, 0, "z", 0, 0), 0);
    QCOMPARE(b.bar->InsertFolderItem(9, 0, "nowhere", 0, 0), -1);
    QCOMPARE(b.Order(), QString("zabcde"));
    QCOMPARE(b.bar->InsertFolderItem(1, -1, "other", 0, 42), 0);
    QCOMPARE(b.bar->ItemCount(0), 6);
    QCOMPARE(b.bar->ItemCount(1), 1);
    QCOMPARE(b.bar->ItemCount(-1), 6);
    QCOMPARE(b.bar->ItemCount(2), 0);
    QCOMPARE(b.bar->ItemDataAt(2), quintptr(2));
    QCOMPARE(b.bar->ItemDataAt(6), quintptr(0));
    QCOMPARE(b.bar->ItemDataAt(-1), quintptr(0));
    QCOMPARE(b.bar->ItemTextAt(6), QString());

    // The last clicked item keeps being the same item as others come and go.
    b.Click(b.Icon(2));
    QCOMPARE(b.bar->LastClickedItem(), 2);
    b.bar->InsertFolderItem(0, 0, "y", 0, 0);
    QCOMPARE(b.bar->LastClickedItem(), 3);
    b.bar->DeleteFolderItem(0, 0);
    QCOMPARE(b.bar->LastClickedItem(), 2);
    b.bar->DeleteFolderItem(0, 2);
    QCOMPARE(b.bar->LastClickedItem(), -1);
    QCOMPARE(b.Order(), QString("zacde"));
    b.bar->DeleteFolderItem(0, 5);
    b.bar->DeleteFolderItem(0, -1);
    b.bar->DeleteFolderItem(3, 0);
    QCOMPARE(b.bar->ItemCount(0), 5);
    b.bar->SelectFolder(1);
    QCOMPARE(b.bar->ItemTextAt(0), QString("other"));
    QCOMPARE(b.bar->ItemDataAt(0), quintptr(42));

    // A scrolled folder whose items are deleted never scrolls past its end.
    Bench s(0x100, QSize(150, 200));
    s.Fill(1, 6);
    while (s.bar->IsDownArrowShown()) s.Click(s.bar->DownArrowRect().center());
    QVERIFY(s.bar->FirstVisibleItem() > 1);
    while (s.bar->ItemCount(0) > 1) s.bar->DeleteFolderItem(0, s.bar->ItemCount(0) - 1);
    QCOMPARE(s.bar->FirstVisibleItem(), 0);
    s.bar->grab();
}

void GfxOutBarCtrlTest::imageLists() {
    Bench b(0x100);
    b.Fill(1, 1);
    CGfxOutBarImageList other(32, 32);
    other.Add(Solid(Qt::blue, 32));
    QCOMPARE(b.bar->AssignImageList(&other, 2), &b.large);
    QCOMPARE(b.bar->AssignImageList(&other, 3), nullptr);
    QCOMPARE(b.bar->AssignImageList(&other, 0), nullptr);
    QCOMPARE(b.bar->ImageList(2), &other);
    QCOMPARE(b.bar->ImageList(1), &b.small);
    QCOMPARE(b.At(b.Icon(0).x(), b.Icon(0).y()), QColor(Qt::blue));
    // A folder's own list comes first.
    CGfxOutBarImageList own(32, 32);
    own.Add(Solid(Qt::darkGreen, 32));
    b.bar->SetFolderImageList(0, &own, 2);
    QCOMPARE(b.At(b.Icon(0).x(), b.Icon(0).y()), QColor(Qt::darkGreen));
    b.bar->SetFolderImageList(0, nullptr, 2);
    QCOMPARE(b.At(b.Icon(0).x(), b.Icon(0).y()), QColor(Qt::blue));
    // An image index beyond the list draws no icon but keeps the label.
    b.bar->InsertFolderItem(0, -1, "B", 17, 0);
    QCOMPARE(b.At(b.Icon(1).x(), b.Icon(1).y()), b.bar->BackgroundColor());
    // Without any list items are still laid out and hit.
    b.bar->AssignImageList(nullptr, 2);
    b.Click(b.bar->LabelRect(1).center());
    QCOMPARE(b.notes, Notes({{1, 1}}));
    // The bar never deletes a list it was given.
    delete b.bar;
    QCOMPARE(other.ImageCount(), 1);
    QCOMPARE(b.large.ImageCount(), 6);
}

void GfxOutBarCtrlTest::childWindow() {
    Bench b(0x100);
    b.Fill(2, 3);
    auto* child = new QWidget;
    QPointer<QWidget> guard(child);
    b.bar->SetFolderChildWindow(1, child);
    QCOMPARE(b.bar->FolderChildWindow(1), child);
    QCOMPARE(b.bar->FolderChildWindow(0), nullptr);
    QCOMPARE(b.bar->FolderChildWindow(-1), nullptr);
    QVERIFY(!child->isVisible());
    b.bar->SelectFolder(1);
    QCOMPARE(b.bar->FolderChildWindow(-1), child);
    QVERIFY(child->isVisible());
    QCOMPARE(child->geometry(), b.bar->InsideRect());
    QVERIFY(!b.bar->IsDownArrowShown());
    b.bar->resize(150, 300);
    QCOMPARE(child->geometry(), b.bar->InsideRect());
    b.bar->SelectFolder(0);
    QVERIFY(!child->isVisible());
    // The slide pictures the child window in its place.
    child->setAutoFillBackground(true);
    QPalette pal = child->palette();
    pal.setColor(QPalette::Window, QColor(255, 128, 0));
    child->setPalette(pal);
    QList<QImage> shown;
    b.bar->SetSlideObserver([&](const QImage& frame) { shown.append(frame); });
    b.bar->SelectFolder(1);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.last().pixelColor(b.bar->InsideRect().center()), QColor(255, 128, 0));

    // While a child window has the focus the bar draws no hover frame.
    auto* edit = new QLineEdit(child);
    edit->setGeometry(0, 0, 50, 20);
    edit->show();
    QApplication::setActiveWindow(&b.parent);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    const QRect button = b.bar->FolderRect(0);
    b.Move(b.Button(0));
    QCOMPARE(b.bar->HoverFolder(), 0);
    QCOMPARE(b.At(60, button.bottom()), b.bar->BackgroundColor());
    edit->clearFocus();
    QCOMPARE(b.At(60, button.bottom()), b.bar->DarkShadowColor());

    // The child belongs to whoever gave it, also after its folder has gone.
    auto* second = new QWidget;
    QPointer<QWidget> secondGuard(second);
    b.bar->SetFolderChildWindow(0, second);
    b.bar->DeleteFolder(0);
    QCOMPARE(second->parentWidget(), nullptr);
    QVERIFY(!second->isVisible());
    delete b.bar;
    QVERIFY(!guard.isNull());
    QVERIFY(!secondGuard.isNull());
    delete child;
    delete second;
}

// Buttons that come or go move the open folder's item area; the folder stays
// open and its child window fills the new area.
void GfxOutBarCtrlTest::openChildFollowsButtons_data() {
    QTest::addColumn<int>("open");
    QTest::addColumn<Scenario>("change");
    QTest::addColumn<int>("openAfter");
    QTest::newRow("folder above deleted")
        << 2 << Scenario([](Bench& b) { b.bar->DeleteFolder(0); }) << 1;
    QTest::newRow("folder below deleted")
        << 0 << Scenario([](Bench& b) { b.bar->DeleteFolder(2); }) << 0;
    QTest::newRow("folder appended")
        << 1 << Scenario([](Bench& b) { b.bar->AppendFolder("F3", 3); }) << 1;
}

void GfxOutBarCtrlTest::openChildFollowsButtons() {
    QFETCH(int, open);
    QFETCH(Scenario, change);
    QFETCH(int, openAfter);
    Bench b(0x000);
    b.Fill(3, 0);
    auto* child = new QWidget;
    b.bar->SetFolderChildWindow(open, child);
    b.bar->SelectFolder(open);
    change(b);
    QCOMPARE(b.bar->SelectedFolder(), openAfter);
    QCOMPARE(b.bar->FolderChildWindow(-1), child);
    QVERIFY(child->isVisible());
    QCOMPARE(child->geometry(), b.bar->InsideRect());
}

void GfxOutBarCtrlTest::accessibility() {
    Bench b(0x100);
    b.Fill(2, 3);
    b.bar->SelectFolder(0);
    b.notes.clear();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b.bar);
    QVERIFY(iface);
    QCOMPARE(iface->childCount(), 5);
    QAccessibleInterface* folder = iface->child(1);
    QCOMPARE(folder->text(QAccessible::Name), QString("F1"));
    QCOMPARE(folder->role(), QAccessible::PageTab);
    QVERIFY(!folder->state().selected);
    QVERIFY(iface->child(0)->state().selected);
    QAccessibleInterface* item = iface->child(3);
    QCOMPARE(item->text(QAccessible::Name), QString("B"));
    QCOMPARE(item->role(), QAccessible::ListItem);
    QCOMPARE(iface->indexOfChild(item), 3);
    QCOMPARE(item->parent(), iface);
    const QPoint global = b.bar->mapToGlobal(b.Icon(1));
    QCOMPARE(iface->childAt(global.x(), global.y()), item);

    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(b.notes, Notes({{1, 1}}));
    QVERIFY(item->state().selected);
    folder->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(b.bar->SelectedFolder(), 1);
    QVERIFY(folder->state().selected);
    QCOMPARE(iface->childCount(), 2);  // folder 1 holds no items
    QVERIFY(!item->isValid());
}

QTEST_MAIN(GfxOutBarCtrlTest)
#include "GfxOutBarCtrlTest.moc"
