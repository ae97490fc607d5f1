#include "plugins/common/TextRoom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

#include "platform/Translation.h"

namespace vx::common {
namespace {

// Wide enough that no style's margins take it all.
constexpr int kProbeWidth = 1000;

// What a control of its kind keeps around its text: frame, margins, the
// check box's indicator, the combo box's arrow.
int Surround(const QWidget* control) {
    const QStyle* style = control->style();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = QRect(0, 0, kProbeWidth, button->height());
        const QStyle::SubElement text = qobject_cast<const QCheckBox*>(control)
                                            ? QStyle::SE_CheckBoxContents
                                            : QStyle::SE_PushButtonContents;
        return kProbeWidth - style->subElementRect(text, &option, button).width();
    }
    if (auto* combo = qobject_cast<const QComboBox*>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.rect = QRect(0, 0, kProbeWidth, combo->height());
        return kProbeWidth - style
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo)
                                 .width();
    }
    if (auto* label = qobject_cast<const QLabel*>(control)) {
        const QMargins m = label->contentsMargins();
        return m.left() + m.right() + 2 * label->margin();
    }
    return 0;
}

QString OwnText(const QWidget* control) {
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    return {};
}

}  // namespace

bool LayoutGrows() { return platform::UiLanguage() != QLatin1String(platform::kSourceLanguage); }

int NeededWidth(const QWidget* control, const QString& text) {
    return control->fontMetrics().horizontalAdvance(text) + Surround(control);
}

int FitWidth(const QWidget* control, int designed, const QStringList& texts) {
    if (!LayoutGrows()) return designed;
    QStringList all = texts;
    all << OwnText(control);
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        for (int i = 0; i < combo->count(); ++i) all << combo->itemText(i);
    int width = designed;
    for (const QString& text : std::as_const(all))
        if (!text.isEmpty()) width = std::max(width, NeededWidth(control, text));
    return width;
}

void CTextRow::Place(QWidget* control, const QRect& designed, const QStringList& texts) {
    const int grown = FitWidth(control, designed.width(), texts) - designed.width();
    QRect rect = designed;
    if (m_anchor == kLeft) {
        rect.translate(m_shift, 0);
        rect.setWidth(rect.width() + grown);
    } else {
        rect.translate(-m_shift, 0);
        rect.setLeft(rect.left() - grown);
    }
    control->setGeometry(rect);
    m_shift += grown;
}

}  // namespace vx::common
