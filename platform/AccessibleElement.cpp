#include "platform/AccessibleElement.h"

namespace vx::platform {

QObject* AccessibleElement::object() const { return nullptr; }

QWindow* AccessibleElement::window() const {
    QWidget* owner = Owner();
    return owner ? owner->window()->windowHandle() : nullptr;
}

QAccessibleInterface* AccessibleElement::parent() const {
    QWidget* owner = Owner();
    return owner ? QAccessible::queryAccessibleInterface(owner) : nullptr;
}

QAccessibleInterface* AccessibleElement::child(int) const { return nullptr; }

int AccessibleElement::childCount() const { return 0; }

int AccessibleElement::indexOfChild(const QAccessibleInterface*) const { return -1; }

QAccessibleInterface* AccessibleElement::childAt(int, int) const { return nullptr; }

void AccessibleElement::setText(QAccessible::Text, const QString&) {}

void* AccessibleElement::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList AccessibleElement::actionNames() const { return {pressAction()}; }

void AccessibleElement::doAction(const QString& actionName) {
    if (isValid() && actionName == pressAction()) Press();
}

QStringList AccessibleElement::keyBindingsForAction(const QString&) const { return {}; }

}  // namespace vx::platform
