// The top-right pane: an empty view that parents every tool page and keeps
// the page that is showing fitted to itself.
#pragma once

#include <QWidget>

namespace vx {

class CToolListView;

class CToolShowView : public QWidget {
    Q_OBJECT
public:
    explicit CToolShowView(QWidget* parent = nullptr);

    // The list view whose current page follows this view's size.
    void SetToolListView(CToolListView* listView) { m_listView = listView; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CToolListView* m_listView = nullptr;  // not owned; a sibling pane
};

}  // namespace vx
