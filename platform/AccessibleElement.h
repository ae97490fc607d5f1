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
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface*) const override;
    QAccessibleInterface* childAt(int, int) const override;
    void setText(QAccessible::Text, const QString&) override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override;

protected:
    // The control the element belongs to; null once it is gone.
    virtual QWidget* Owner() const = 0;
    // What a click on the element does. Called only while it is valid.
    virtual void Press() = 0;
};

}  // namespace vx::platform
