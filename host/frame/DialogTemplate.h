// What the host's dialogs share with their templates: a fixed dialog-unit
// base, the 9-point "宋体" font and numeric control ids.
//
// Dialog templates are laid out in dialog units, which the original dialogs
// derived from their font. We fix the base once for every host dialog rather
// than measure fonts, so layouts are the same on every desktop: one horizontal
// unit is 1.5 px and one vertical unit 1.625 px (the 9-point base of 6 x 13 px
// divided by 4 and 8).
#pragma once

#include <QRect>
#include <QString>

class QDialog;
class QFont;
class QFontMetrics;
class QObject;
class QPushButton;
class QWidget;

namespace vx {

namespace du {
constexpr int X(int units) { return (units * 3 + 1) / 2; }
constexpr int Y(int units) { return (units * 13 + 4) / 8; }
// A template rectangle given as left, top, width, height in dialog units.
constexpr QRect Rect(int x, int y, int w, int h) { return QRect(X(x), Y(y), X(w), Y(h)); }
}  // namespace du

// Makes `object` findable by its numeric id: objectName and property "vxId".
void SetControlId(QObject* object, int id);

// The templates' font (宋体, 9 pt), made once for every dialog and page.
const QFont& DialogFont();

// Id, title, template font and fixed size (in dialog units) of a dialog.
void ApplyDialogTemplate(QDialog* dialog, int id, const QString& title, int widthDu, int heightDu);

// The width a control designed `width` pixels wide needs to show `text`
// whole with `padding` pixels beside it. In the source language the design
// stands as it is; a translation may only widen it.
int WidthForText(const QFontMetrics& metrics, const QString& text, int width, int padding);

// A push button of a template, placed at `rect` (pixels).
QPushButton* MakeTemplateButton(QWidget* parent, int id, const QString& text, const QRect& rect);

}  // namespace vx
