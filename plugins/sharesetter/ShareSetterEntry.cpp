#include "plugins/common/PluginEntry.h"
#include "plugins/sharesetter/ShareSetterTool.h"

VX_TOOL_FACTORY(vx::sharesetter::CShareSetterTool)
