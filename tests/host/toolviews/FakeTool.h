// A tool with a plain page under the host's page parent, for tests that need
// tools without plug-in libraries.
#pragma once

#include <QPixmap>

#include "contract/ToolContract.h"

class FakeTool : public CToolBase {
public:
    FakeTool(ToolHostContext* context, const QString& name, QColor colour = Qt::blue)
        : CToolBase(context) {
        m_name = name;
        QPixmap picture(32, 32);
        picture.fill(colour);
        m_icon = QIcon(picture);
        m_page = new QWidget(context->toolHost ? context->toolHost->GetPageParent() : nullptr);
        m_page->setObjectName(name);
        m_page->hide();
    }
    ~FakeTool() override { delete m_page.data(); }
    QWidget* Page() const { return m_page; }
};
