// The tool object "搜索工具_设置共享资源": owns the page and the share layer.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>

#include "contract/ToolContract.h"

namespace vx::platform {
class IUserShares;
}

namespace vx::sharesetter {

class CShareSetterDlg;

// What the tool does to the machine; tests give fakes.
struct ShareServices {
    std::shared_ptr<vx::platform::IUserShares> shares;
    // The machine's shares as the network sees them ("127.0.0.1").
    std::function<QStringList()> machineShares;
};

class CShareSetterTool final : public CToolBase {
public:
    explicit CShareSetterTool(ToolHostContext* context);
    CShareSetterTool(ToolHostContext* context, ShareServices services);
    ~CShareSetterTool() override;

    ToolHostContext* Context() const { return m_context; }
    ShareServices& Services() { return m_services; }
    CShareSetterDlg* Page() const;

private:
    ShareServices m_services;
};

}  // namespace vx::sharesetter
