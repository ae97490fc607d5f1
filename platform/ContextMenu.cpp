#include "platform/ContextMenu.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>
#include <QPoint>
#include <QVariant>

namespace vx::platform {
namespace {

constexpr char kWatchedProperty[] = "vx.contextMenuWatched";

// The application with its open popup menus among its children, after the
// windows Qt lists itself.
class ApplicationAccessible : public QAccessibleApplication {
public:
    int childCount() const override {
        return QAccessibleApplication::childCount() + int(OpenMenus().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) return QAccessibleApplication::child(index);
        const QList<QMenu*> menus = OpenMenus();
        return index - windows < menus.size()
                   ? QAccessible::queryAccessibleInterface(menus.at(index - windows))
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const int window = QAccessibleApplication::indexOfChild(child);
        if (window >= 0 || !child) return window;
        const qsizetype menu = OpenMenus().indexOf(qobject_cast<QMenu*>(child->object()));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + int(menu);
    }

private:
    // Visible menus that call the application their parent: a menu of a
    // menu bar or a submenu has a parent of its own that lists it.
    QList<QMenu*> OpenMenus() const {
        QList<QMenu*> menus;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* menu = qobject_cast<QMenu*>(window);
            if (!menu || !menu->isVisible()) continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(menu);
            if (iface && iface->parent() == this) menus.append(menu);
        }
        return menus;
    }
};

QAccessibleInterface* ApplicationFactory(const QString&, QObject* object) {
    return object && object == qApp ? new ApplicationAccessible : nullptr;
}

void Announce(QMenu* menu, QAccessible::Event type) {
    QAccessibleEvent event(menu, type);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

void PopupContextMenu(QMenu* menu, QWidget* owner, const QPoint& globalPos) {
    if (!menu) return;
    if (owner && menu->accessibleName().isEmpty()) {
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(owner))
            menu->setAccessibleName(iface->text(QAccessible::Name));
    }
    // AT-SPI turns Qt's creation and destruction events into the
    // application's children-changed signals, the only ones that make a
    // client look at the application's children again. The menu itself
    // lives on; only its place among them comes and goes.
    if (!menu->property(kWatchedProperty).toBool()) {
        menu->setProperty(kWatchedProperty, true);
        QObject::connect(menu, &QMenu::aboutToHide, menu,
                         [menu] { Announce(menu, QAccessible::ObjectDestroyed); });
    }
    menu->popup(globalPos);
    if (menu->isVisible()) Announce(menu, QAccessible::ObjectCreated);
}

void InstallPopupMenuAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ApplicationFactory);
        return true;
    }();
    Q_UNUSED(installed);
    if (!qApp) return;
    // An interface made for the application before the factory was there
    // stays in Qt's cache: replace it.
    QAccessibleInterface* current = QAccessible::queryAccessibleInterface(qApp);
    if (current && !dynamic_cast<ApplicationAccessible*>(current)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
        QAccessible::queryAccessibleInterface(qApp);
    }
}

}  // namespace vx::platform
