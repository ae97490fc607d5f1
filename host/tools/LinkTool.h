// A host tool whose page shows one web address ("Vexmor空间_我的主页" and the
// two download-site pages).
#pragma once

#include "contract/ToolContract.h"

namespace vx {

class CLinkTool : public CToolBase {
public:
    CLinkTool(ToolHostContext* context, const QString& fullName, const QString& url);
    ~CLinkTool() override;
};

}  // namespace vx
