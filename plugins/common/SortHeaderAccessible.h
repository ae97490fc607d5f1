// What assistive technology sees of a CSortHeaderCtrl: the header is a group
// of column headers, one child per column in the order shown, named by its
// caption and described "升序" / "降序" while the list is sorted by it. The
// press action sorts as a click on the column does.
#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include "platform/AccessibleElement.h"

class CSortHeaderCtrl;

// Registers the factory of this module once; CSortHeaderCtrl's constructor
// calls it. A plug-in carries its own copy, which it takes out of Qt's list
// again when the library is unloaded.
void InstallSortHeaderAccessibility();

class CSortHeaderSectionAccessible : public vx::platform::AccessibleElement {
public:
    CSortHeaderSectionAccessible(CSortHeaderCtrl* header, int logicalIndex);

    int LogicalIndex() const { return m_logical; }

    bool isValid() const override;
    QString text(QAccessible::Text t) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override;

protected:
    QWidget* Owner() const override;
    void Press() override;

private:
    QPointer<CSortHeaderCtrl> m_header;
    int m_logical;
};

class CSortHeaderAccessible : public QAccessibleWidget {
public:
    explicit CSortHeaderAccessible(CSortHeaderCtrl* header);
    ~CSortHeaderAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    CSortHeaderCtrl* Header() const;
    QAccessibleInterface* Section(int logicalIndex) const;

    // Created on first request, kept as long as this interface; a section
    // whose column has gone reports itself invalid.
    mutable QHash<int, QAccessible::Id> m_sections;
};
