// A tool with a page in the host's options dialog, kept as the contract asks:
// a window under GetOptionParent(), deleted by the tool only while a QPointer
// says it still exists. The log tells what the tool found at its end.
#include "tests/fixtures/FixtureTool.h"

namespace {

class OptionTool final : public fixture::CFixtureTool, public COptionPage {
public:
    explicit OptionTool(ToolHostContext* context)
        : CFixtureTool(context, QStringLiteral("测试_选项工具")),
          m_window(new QWidget(context->toolHost->GetOptionParent())) {
        m_window->hide();
    }
    ~OptionTool() override {
        fixture::Log(QStringLiteral("option window ") +
                     (m_window ? QStringLiteral("alive") : QStringLiteral("gone")));
        delete m_window.data();
    }
    void RegisterTool() override {
        CFixtureTool::RegisterTool();
        m_context->toolHost->AddOptionPage(QStringLiteral("测试选项"), QIcon(), this);
    }
    QWidget* GetPageWnd() override { return m_window; }
    void SaveOptions() override {}

private:
    QPointer<QWidget> m_window;
};

}  // namespace

CToolBase* CreateObj(int index, ToolHostContext* context) {
    return index == 0 ? new OptionTool(context) : nullptr;
}
