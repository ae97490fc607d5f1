// Dialog templates are laid out in dialog units, which the original dialogs
// derived from their 9-point font. We fix the base once for every host
// dialog rather than measure fonts, so layouts are the same on every desktop:
// one horizontal unit is 1.5 px and one vertical unit 1.625 px (the 9-point
// "宋体" base of 6 x 13 px divided by 4 and 8).
#pragma once

#include <QRect>

namespace vx::du {

constexpr int X(int units) { return (units * 3 + 1) / 2; }
constexpr int Y(int units) { return (units * 13 + 4) / 8; }
// A template rectangle given as left, top, width, height in dialog units.
constexpr QRect Rect(int x, int y, int w, int h) { return QRect(X(x), Y(y), X(w), Y(h)); }

}  // namespace vx::du
