#include "host/controls/LinkPageDlg.h"

#include <QFrame>

#include "host/frame/DialogTemplate.h"

namespace vx {

CLinkPageDlg::CLinkPageDlg(const QString& url, QWidget* parent) : QWidget(parent), m_url(url) {
    SetControlId(this, kDialogId);
    setFont(DialogFont());
    resize(du::X(249), du::Y(177));
    // The template's black frame only marks where the browser goes.
    auto* placeholder = new QFrame(this);
    SetControlId(placeholder, kPlaceholderId);
    placeholder->setFrameStyle(QFrame::Box | QFrame::Plain);
    placeholder->setGeometry(du::Rect(29, 26, 60, 55));
    m_html.ReplaceStatic(kPlaceholderId, this);
    hide();  // explicitly hidden: showing the parent must not show the page
}

void CLinkPageDlg::setVisible(bool visible) {
    const bool wasHidden = isHidden();
    QWidget::setVisible(visible);
    // A browser that never took its place on the page is never created.
    if (visible && wasHidden && !isHidden() && m_html.parentWidget() == this)
        m_html.Navigate2(m_url);
}

void CLinkPageDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_html.parentWidget() == this) m_html.setGeometry(rect());
}

}  // namespace vx
