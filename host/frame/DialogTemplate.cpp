#include "host/frame/DialogTemplate.h"

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QPushButton>

#include "platform/ControlId.h"
#include "platform/Translation.h"

namespace vx {

void SetControlId(QObject* object, int id) { platform::Numbered(object, id); }

const QFont& DialogFont() {
    static const QFont font = [] {
        QFont f(QStringLiteral("宋体"));
        f.setPointSize(9);
        return f;
    }();
    return font;
}

void ApplyDialogTemplate(QDialog* dialog, int id, const QString& title, int widthDu, int heightDu) {
    SetControlId(dialog, id);
    dialog->setWindowTitle(title);
    dialog->setFont(DialogFont());
    dialog->setFixedSize(du::X(widthDu), du::Y(heightDu));
}

int WidthForText(const QFontMetrics& metrics, const QString& text, int width, int padding) {
    if (platform::UiLanguage() == QLatin1String(platform::kSourceLanguage)) return width;
    return qMax(width, metrics.horizontalAdvance(text) + padding);
}

QPushButton* MakeTemplateButton(QWidget* parent, int id, const QString& text, const QRect& rect) {
    auto* button = new QPushButton(text, parent);
    SetControlId(button, id);
    button->setGeometry(rect);
    // Only the button a template marks as default answers Enter.
    button->setAutoDefault(false);
    return button;
}

}  // namespace vx
