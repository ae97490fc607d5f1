#include "host/tools/ToolShowView.h"

#include "host/tools/ToolListView.h"

namespace vx {

CToolShowView::CToolShowView(QWidget* parent) : QWidget(parent) {}

void CToolShowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_listView) {
        if (QWidget* page = m_listView->CurrentPage()) page->setGeometry(rect());
    }
}

}  // namespace vx
