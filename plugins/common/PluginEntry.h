// The export every tool plug-in defines: CreateObj installs the plug-in's
// translation (once) and answers index 0 with the plug-in's one tool and
// null for every other index. Put
//     VX_TOOL_FACTORY(CMyTool)
// in exactly one source file of the plug-in; a plug-in with several tools
// puts VX_TOOL_FACTORIES(CFirstTool, CSecondTool) there instead.
#pragma once

#include <QtGlobal>

#include <new>

#include "contract/ToolContract.h"
#include "platform/Translation.h"

// vx_add_plugin names the module; a source built some other way has none.
#ifndef VX_MODULE_NAME
#define VX_MODULE_NAME ""
#endif

namespace vx::plugin {

// A tool's name "folder_tool" is a key: it names the tool's settings section
// and its entry under "工具显示", and tools are found by it. It is never
// translated; the host shows each part of it through
// QCoreApplication::translate("ToolName", part), whose English each plug-in
// carries for its own tool and for the folder they all share.
[[maybe_unused]] inline constexpr const char* kToolFolder =
    QT_TRANSLATE_NOOP("ToolName", "搜索工具");

// Nothing may be thrown across the contract; a tool that cannot be built
// is answered with null, as if the plug-in offered none.
template <class ToolClass>
CToolBase* CreateSingleTool(int index, ToolHostContext* context) noexcept {
    if (index != 0) {
        return nullptr;
    }
    try {
        return new ToolClass(context);
    } catch (...) {
        return nullptr;
    }
}

// Several tools in one plug-in: index i answers with the i-th class.
template <class... ToolClasses>
CToolBase* CreateToolAt(int index, ToolHostContext* context) noexcept {
    CToolBase* tool = nullptr;
    int i = 0;
    (void)((index == i++ ? (tool = CreateSingleTool<ToolClasses>(0, context), true) : false) || ...);
    return tool;
}

}  // namespace vx::plugin

#define VX_TOOL_FACTORY(ToolClass)                                         \
    extern "C" CToolBase* CreateObj(int index, ToolHostContext* context) { \
        ::vx::platform::InstallModuleTranslator(QStringLiteral(VX_MODULE_NAME)); \
        return ::vx::plugin::CreateSingleTool<ToolClass>(index, context);  \
    }

#define VX_TOOL_FACTORIES(...)                                              \
    extern "C" CToolBase* CreateObj(int index, ToolHostContext* context) { \
        ::vx::platform::InstallModuleTranslator(QStringLiteral(VX_MODULE_NAME)); \
        return ::vx::plugin::CreateToolAt<__VA_ARGS__>(index, context);    \
    }
