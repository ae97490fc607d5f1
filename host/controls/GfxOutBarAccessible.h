// What assistive technology sees of the folder bar: the bar is a tab list
// whose children are one tab per folder (selected = open) followed by the open
// folder's items (selected = last clicked). Both kinds answer the press action
// as a mouse click would.
#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include "platform/AccessibleElement.h"

namespace vx {

class CGfxOutBarCtrl;

// Registers the factory once; the bar's constructor calls it.
void InstallGfxOutBarAccessibility();

class CGfxOutBarElementAccessible : public platform::AccessibleElement {
public:
    enum Kind { Folder, Item };
    CGfxOutBarElementAccessible(CGfxOutBarCtrl* bar, Kind kind, int index);

    Kind ElementKind() const { return m_kind; }
    int Index() const { return m_index; }

    bool isValid() const override;
    QString text(QAccessible::Text t) const override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

protected:
    QWidget* Owner() const override;
    void Press() override;

private:
    QPointer<CGfxOutBarCtrl> m_bar;
    Kind m_kind;
    int m_index;
};

class CGfxOutBarAccessible : public QAccessibleWidget {
public:
    explicit CGfxOutBarAccessible(QWidget* bar);
    ~CGfxOutBarAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    CGfxOutBarCtrl* Bar() const;
    QAccessibleInterface* Element(CGfxOutBarElementAccessible::Kind kind, int index) const;

    // Elements are created on first request and live as long as this
    // interface; an element whose index has gone reports itself invalid.
    mutable QHash<qint64, QAccessible::Id> m_elements;
};

}  // namespace vx
