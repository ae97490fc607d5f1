// What the host's main window offers a tool: the parent of its page, the
// options dialog, and registration with the tool list.
#pragma once

#include "contract/ToolContract.h"

namespace vx {

class CVexmorDoc;

class CToolHost : public ::CToolHost {
public:
    explicit CToolHost(CVexmorDoc* doc) : m_doc(doc) {}

    // The frame's tool show view; null while there is no frame.
    QWidget* GetPageParent() override;
    QWidget* GetOptionParent() override;
    void AddTool(const QString& name, const QIcon& icon, QWidget* page) override;
    void AddOptionPage(const QString& name, const QIcon& icon, COptionPage* page) override;

private:
    CVexmorDoc* m_doc;  // not owned; outlives this object
};

}  // namespace vx
