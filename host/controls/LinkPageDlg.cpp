#include "host/controls/LinkPageDlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/DesktopServices.h"

namespace vx {

CLinkPageDlg::CLinkPageDlg(const QString& url, QWidget* parent) : QWidget(parent), m_url(url) {
    setObjectName(QString::number(kDialogId));
    setProperty("vxId", kDialogId);
    m_link = new QLabel(this);
    m_link->setObjectName(QString::number(kPlaceholderId));
    m_link->setProperty("vxId", kPlaceholderId);
    m_link->setTextFormat(Qt::RichText);
    m_link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(m_url.toHtmlEscaped()));
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setAlignment(Qt::AlignCenter);
    connect(m_link, &QLabel::linkActivated, this,
            [](const QString& link) { platform::OpenUrl(QUrl(link)); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_link);
    hide();  // explicitly hidden: showing the parent must not show the page
}

}  // namespace vx
