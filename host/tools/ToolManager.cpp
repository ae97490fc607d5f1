#include "host/tools/ToolManager.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "host/tools/NameList.h"
#include "platform/AsciiCase.h"
#include "platform/ElfCheck.h"
#include "platform/MessageBox.h"
#include "platform/PluginFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"
#include "platform/VersionInfo.h"

// Quiet unless asked for (QT_LOGGING_RULES="vx.tools.debug=true").
Q_LOGGING_CATEGORY(lcTools, "vx.tools", QtInfoMsg)

namespace vx {
namespace {

using platform::AsciiLower;
using platform::ProfileFile;

const QString kComponentSection = QStringLiteral("组件管理");
const QString kDisabledKey = QStringLiteral("禁用组件");
const QString kDisplaySection = QStringLiteral("工具显示");
// Tools that search for computers come before every tool left at the default order.
const QString kSearchComputers = QStringLiteral("搜索计算机");
constexpr int kDisabledBuffer = 1024;
constexpr int kDisplayBuffer = 10;
constexpr int kBuiltinOrder = 65535;

}  // namespace

CToolManager::PluginLibraries::~PluginLibraries() {
    for (const PluginLibrary& lib : items) ::dlclose(lib.module);
}

CToolManager::CToolManager() : m_libraries(std::make_unique<PluginLibraries>()) {}

CToolManager::~CToolManager() {
    // A tool's destructor is code of its library: all tools first, then the libraries.
    for (const ToolEntry& e : m_entries) delete e.tool;
    m_entries.clear();
    m_libraries.reset();
}

void CToolManager::CreateTools(ToolHostContext* context) {
    LoadPlugins();
    for (const PluginLibrary& lib : m_libraries->items) {
        for (int index = 0;; ++index) {
            CToolBase* tool = lib.create(index, context);
            if (!tool) break;
            AddToolEntry(tool, true);
        }
    }
}

void CToolManager::LoadPlugins() {
    const QString disabled = ProfileFile::Settings().GetString(kComponentSection, kDisabledKey,
                                                               QString(), kDisabledBuffer);
    // A library that a plug-in needs is found beside it through the plug-in's
    // own run path ($ORIGIN, cmake/Vexmor.cmake); the current directory
    // plays no part in the dynamic loader's search. Listed whole first, so
    // that nothing a plug-in does while loading can disturb the listing.
    for (const platform::PluginFile& file : platform::ListPluginFiles()) {
        if (!AsciiLower(file.name).endsWith(QStringLiteral(".so"))) {
            qCDebug(lcTools) << "skipped" << file.name << ": not a .so file";
            continue;
        }
        if (NameListContains(disabled, file.name)) {
            qCDebug(lcTools) << "skipped" << file.name << ": disabled";
            continue;
        }
        LoadLibrary(file.path);
    }
}

void CToolManager::LoadLibrary(const QString& path) {
    // A library cut short would crash the loader (SIGBUS) at every start.
    if (QString why; !platform::IsWholeSharedObject(path, &why)) {
        qCDebug(lcTools) << "skipped" << path << ":" << why;
        return;
    }
    // A plug-in built against another platform library would call functions
    // that are missing or mean something else here: refused before any of
    // its code runs.
    if (const std::optional<int> built = platform::ReadPlatformStamp(path);
        built != platform::PlatformLibraryVersion()) {
        qCWarning(lcTools).noquote()
            << "refused" << path << ": built against platform library version"
            << (built ? QString::number(*built) : QStringLiteral("(none recorded)"))
            << "but this program runs version" << platform::PlatformLibraryVersion();
        return;
    }
    void* module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        qCDebug(lcTools) << "skipped" << path << ":" << ::dlerror();
        return;
    }
    auto create = reinterpret_cast<CreateObjFunc>(::dlsym(module, "CreateObj"));
    if (!create) {
        qCDebug(lcTools) << "skipped" << path << ": no CreateObj";
        ::dlclose(module);
        return;
    }
    qCDebug(lcTools) << "loaded" << path;
    m_libraries->items.append({create, module});
}

void CToolManager::AddToolEntry(CToolBase* tool, bool plugin) {
    ToolEntry entry{tool, kBuiltinOrder, true};
    if (plugin) {
        const QString name = tool->GetToolInfo().name;
        const QString value = ProfileFile::Settings().GetString(
            kDisplaySection, name, QStringLiteral("0,1"), kDisplayBuffer);
        const qsizetype comma = value.indexOf(',');
        if (comma < 0) {
            entry.order = 0;
            entry.visible = ProfileFile::ParseLeadingInt(value) != 0;
        } else {
            entry.order = ProfileFile::ParseLeadingInt(value.left(comma));
            entry.visible = ProfileFile::ParseLeadingInt(value.mid(comma + 1)) != 0;
        }
        if (entry.order == 0 && name.contains(kSearchComputers)) entry.order = -1;
    }
    m_entries.append(entry);
}

void CToolManager::RegisterVisibleTools() {
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const ToolEntry& a, const ToolEntry& b) { return a.order < b.order; });
    for (const ToolEntry& e : m_entries)
        if (e.visible) e.tool->RegisterTool();
}

bool CToolManager::EntryAtCursor(ToolEntry*& entry) {
    if (m_entryCursor < 0 || m_entryCursor >= m_entries.size()) return false;
    entry = &m_entries[m_entryCursor];
    return true;
}

bool CToolManager::FirstEntry(ToolEntry*& entry) {
    m_entryCursor = 0;
    return EntryAtCursor(entry);
}

bool CToolManager::NextEntry(ToolEntry*& entry) {
    if (m_entryCursor < m_entries.size()) ++m_entryCursor;
    return EntryAtCursor(entry);
}

void CToolManager::SendToolMessage(const QString& name, int a, int b) {
    if (name.isEmpty()) {
        for (const ToolEntry& e : m_entries) e.tool->OnToolMessage(a, b);
        return;
    }
    for (const ToolEntry& e : m_entries) {
        if (e.tool->GetToolInfo().name == name) {
            e.tool->OnToolMessage(a, b);
            return;
        }
    }
    platform::ShowMessageBox(
        QCoreApplication::translate("vx::CToolManager", "找不到工具[%1]").arg(name),
        m_mainWindow.data());
}

int CToolManager::LibraryCount() const { return static_cast<int>(m_libraries->items.size()); }

}  // namespace vx
