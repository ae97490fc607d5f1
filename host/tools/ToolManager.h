// The tool manager: finds, loads and unloads the plug-in libraries in
// ToolDlls (the program's, and the user's with per-user folders), owns every
// tool of the run (plug-in tools and the host's link tools), orders them for
// the tool list and routes tool messages.
//
// Teardown order is the point of this class: every tool is deleted through
// its own destructor (so the module that allocated it frees it) before any
// library is unloaded, and libraries go in load order.
#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QPointer>
#include <QString>

#include <memory>

#include "contract/ToolContract.h"

Q_DECLARE_LOGGING_CATEGORY(lcTools)

namespace vx {

class CToolManager : public ::CToolManager {
public:
    struct ToolEntry {
        CToolBase* tool;
        int order;     // smaller comes first
        bool visible;  // registered with the tool list
    };

    CToolManager();
    // Deletes every tool in entry order, then unloads every library in load order.
    ~CToolManager() override;
    CToolManager(const CToolManager&) = delete;
    CToolManager& operator=(const CToolManager&) = delete;

    // Loads the plug-ins and asks each for its tools, index 0, 1, ... until null.
    void CreateTools(ToolHostContext* context);
    void LoadPlugins();
    // Takes ownership of `tool`. Plug-in tools get their order and visibility
    // from "工具显示"; the host's own tools are always visible and last.
    void AddToolEntry(CToolBase* tool, bool plugin);
    // Sorts by order (stable) and registers the visible tools in that order.
    void RegisterVisibleTools();
    // Cursor over the entries; the caller may change the entry handed out.
    bool FirstEntry(ToolEntry*& entry);
    bool NextEntry(ToolEntry*& entry);

    // The window that the manager's own message box is modal to (the main
    // frame); without one the box would block the whole program.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }
    void SendToolMessage(const QString& name, int a, int b) override;

    int LibraryCount() const;
    int EntryCount() const { return static_cast<int>(m_entries.size()); }

private:
    struct PluginLibrary {
        CreateObjFunc create;
        void* module;  // dlopen handle, closed at destruction
    };
    // Owns the loaded libraries; unloading them is its destructor's job, so
    // the manager's destructor decides when that happens.
    class PluginLibraries {
    public:
        virtual ~PluginLibraries();
        QList<PluginLibrary> items;  // load order
    };

    void LoadLibrary(const QString& path);
    bool EntryAtCursor(ToolEntry*& entry);

    QList<ToolEntry> m_entries;  // creation order until the first sort, display order after
    qsizetype m_entryCursor = 0;
    std::unique_ptr<PluginLibraries> m_libraries;
    QPointer<QWidget> m_mainWindow;
};

}  // namespace vx
