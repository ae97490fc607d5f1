#include "host/frame/LanguageMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

#include "platform/MessageBox.h"
#include "platform/Translation.h"

namespace vx {
namespace {

struct Choice {
    const char* objectName;
    const char* setting;  // as stored in [界面] 语言; "" follows the desktop
    const char* text;     // a language's own name, never translated
};
// The first choice's text is the only one translated: it names no language.
constexpr Choice kChoices[] = {
    {"uiLanguageDesktop", "", QT_TRANSLATE_NOOP("vx::LanguageMenu", "跟随系统")},
    {"uiLanguageChinese", vx::platform::kSourceLanguage, "简体中文"},
    {"uiLanguageEnglish", vx::platform::kEnglish, "English"},
};

QString Tr(const char* text) { return QCoreApplication::translate("vx::LanguageMenu", text); }

}  // namespace

void AddLanguageMenu(QMenu* view) {
    view->addSeparator();
    QMenu* menu = view->addMenu(Tr(QT_TRANSLATE_NOOP("vx::LanguageMenu", "界面语言")));
    menu->setObjectName(QStringLiteral("uiLanguageMenu"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (const Choice& choice : kChoices) {
        const bool first = &choice == &kChoices[0];
        auto* action = new QAction(first ? Tr(choice.text) : QString::fromUtf8(choice.text), menu);
        action->setObjectName(QLatin1String(choice.objectName));
        action->setCheckable(true);
        action->setData(QString::fromLatin1(choice.setting));
        group->addAction(action);
        menu->addAction(action);
        QObject::connect(action, &QAction::triggered, menu, [menu, action] {
            const QString setting = action->data().toString();
            if (setting == platform::UiLanguageSetting()) return;
            const QString text =
                platform::SetUiLanguageSetting(setting)
                    ? Tr(QT_TRANSLATE_NOOP("vx::LanguageMenu", "界面语言在重新启动程序后生效"))
                    : Tr(QT_TRANSLATE_NOOP("vx::LanguageMenu", "界面语言设置没有写入"));
            platform::ShowMessageBox(text, menu->window());
        });
    }
    // A value the menu does not offer (edited by hand) means "follow the
    // desktop", as it does at start.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [group] {
        const QString stored = platform::UiLanguageSetting().trimmed();
        QAction* match = group->actions().constFirst();
        for (QAction* action : group->actions())
            if (action->data().toString() == stored) match = action;
        match->setChecked(true);
    });
}

}  // namespace vx
