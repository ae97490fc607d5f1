// The host patrol tool as the exit tests load it: the real page with its
// message boxes, in a library of its own, but with a probe that answers
// nothing and no local segment, so that no sweep can ever leave the process.
#include "plugins/hostpatrol/HostPatrolTool.h"

namespace {

class SilentProbe final : public vx::hostpatrol::IHostProbe {
public:
    bool ResolveMac(const QString&, QString&) override { return false; }
    void EnumHostShares(const QString&, QStringList&) override {}
};

}  // namespace

CToolBase* CreateObj(int index, ToolHostContext* context) {
    if (index != 0) return nullptr;
    return new vx::hostpatrol::CHostPatrolTool(context, std::make_shared<SilentProbe>(),
                                               [] { return QString(); });
}
