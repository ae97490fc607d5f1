#include "plugins/common/PluginEntry.h"
#include "plugins/hostpatrol/HostHistoryTool.h"
#include "plugins/hostpatrol/HostPatrolTool.h"

VX_TOOL_FACTORIES(vx::hostpatrol::CHostPatrolTool, vx::hostpatrol::CHostHistoryTool)
