#include "host/tools/LinkTool.h"

#include <QPainter>
#include <QPixmap>

#include "host/controls/LinkPageDlg.h"

namespace vx {
namespace {

// A globe, drawn rather than shipped: the host's own icon for its web links.
QIcon LinkIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 2));
    p.setBrush(QColor(0xd8, 0xe8, 0xfa));
    const QRectF r(3, 3, 26, 26);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(10, 3, 12, 26));
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.drawLine(QPointF(6, 9.5), QPointF(26, 9.5));
    p.drawLine(QPointF(6, 22.5), QPointF(26, 22.5));
    return QIcon(pm);
}

}  // namespace

CLinkTool::CLinkTool(ToolHostContext* context, const QString& fullName, const QString& url)
    : CToolBase(context) {
    QWidget* parent =
        m_context && m_context->toolHost ? m_context->toolHost->GetPageParent() : nullptr;
    m_page = new CLinkPageDlg(url, parent);
    m_name = fullName;
    m_icon = LinkIcon();
}

CLinkTool::~CLinkTool() { delete m_page.data(); }

}  // namespace vx
