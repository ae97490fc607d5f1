// A tool that adds a page to the host's options dialog and keeps its window
// as the contract asks: under GetOptionParent(), held in a QPointer, deleted
// by the tool only while it still exists. What the tool finds at its end is
// logged through the fixture log.
#include <QPointer>

#include "tests/fixtures/FixtureTool.h"

namespace {

class OptionPage final : public COptionPage {
public:
    explicit OptionPage(QWidget* parent) : m_window(new QWidget(parent)) {
        m_window->setObjectName(QStringLiteral("fixtureOptionPage"));
        m_window->hide();
    }
    ~OptionPage() override { delete m_window.data(); }
    QWidget* GetPageWnd() override { return m_window; }
    void SaveOptions() override { fixture::Log(QStringLiteral("save options")); }
    bool WindowAlive() const { return !m_window.isNull(); }

private:
    QPointer<QWidget> m_window;
};

class OptionTool final : public fixture::CFixtureTool {
public:
    explicit OptionTool(ToolHostContext* context)
        : CFixtureTool(context, QStringLiteral("测试_选项工具")),
          m_option(context->toolHost->GetOptionParent()) {}
    ~OptionTool() override {
        fixture::Log(QStringLiteral("option window ") +
                     (m_option.WindowAlive() ? QStringLiteral("alive") : QStringLiteral("gone")));
    }
    void RegisterTool() override {
        CFixtureTool::RegisterTool();
        m_context->toolHost->AddOptionPage(QStringLiteral("测试选项"), QIcon(), &m_option);
    }

private:
    OptionPage m_option;
};

}  // namespace

CToolBase* CreateObj(int index, ToolHostContext* context) {
    return index == 0 ? new OptionTool(context) : nullptr;
}
