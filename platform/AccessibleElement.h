// A part of a custom-painted control that has no widget of its own (a folder
// button of the folder bar, a column of a sorted header): a leaf that
// assistive technology can name, locate and press. A derived class says
// which control owns it, whether it still exists, what it is called, where
// it is, and what pressing it does.
#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>

namespace vx::platform {

class AccessibleElement : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        QWidget* owner = Owner();
        return owner ? owner->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        QWidget* owner = Owner();
        return owner ? QAccessible::queryAccessibleInterface(owner) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override {
        if (isValid() && actionName == pressAction()) Press();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    // The control the element belongs to; null once it is gone.
    virtual QWidget* Owner() const = 0;
    // What a click on the element does. Called only while it is valid.
    virtual void Press() = 0;
};

}  // namespace vx::platform
