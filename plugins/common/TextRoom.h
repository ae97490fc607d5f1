// Room for translated texts in pages laid out from fixed pixel geometry. The
// geometry was drawn for the source language's texts, and in that language
// it stays exactly as drawn; in any other a control whose text would be cut
// grows, and the controls beside it move along.
#pragma once

#include <QRect>
#include <QStringList>

class QWidget;

namespace vx::common {

// Whether layouts make room for their texts: in every language but the
// source language (platform/Translation.h).
bool LayoutGrows();

// The width `control` needs to show `text` whole: the text of a label, a
// check box or a push button, an item of a combo box.
int NeededWidth(const QWidget* control, const QString& text);

// `designed`, or where layouts grow at least what `control` needs for its
// own text and each of `texts` (others it may show later).
int FitWidth(const QWidget* control, int designed, const QStringList& texts = {});

// Places controls along one line at their designed rectangles. Each control
// grown for its text moves the ones placed after it by as much: rightwards
// for a line anchored at the left, leftwards (and the control grows to its
// left) for one anchored at the right, placed from the right edge inwards.
class CTextRow {
public:
    enum Anchor { kLeft, kRight };
    explicit CTextRow(Anchor anchor = kLeft) : m_anchor(anchor) {}

    void Place(QWidget* control, const QRect& designed, const QStringList& texts = {});

private:
    Anchor m_anchor;
    int m_shift = 0;
};

}  // namespace vx::common
