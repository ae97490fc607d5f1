#include "plugins/common/PluginEntry.h"
#include "plugins/hostpatrol/HostPatrolTool.h"

VX_TOOL_FACTORY(vx::hostpatrol::CHostPatrolTool)
