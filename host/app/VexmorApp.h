// The application object: the single-instance guard, the work on files that
// must happen before any plug-in is loaded, and the creation of the document
// and main window; at the end, the teardown in the document's order.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace vx {

class CVexmorDoc;
class CMainFrame;

class CVexmorApp {
public:
    CVexmorApp();
    ~CVexmorApp();
    CVexmorApp(const CVexmorApp&) = delete;
    CVexmorApp& operator=(const CVexmorApp&) = delete;

    // Start-up up to the shown main window. False ends the program; a second
    // instance has then already been told so.
    bool InitInstance();
    // The event loop, until the exit command has closed the document; then
    // the document is destroyed. Returns the exit status.
    int Run();

    CVexmorDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const;

    // The per-user lock standing for the program's named mutex. Null when
    // another live process holds it; a lock left by a dead process is taken over.
    static std::unique_ptr<QLockFile> TakeInstanceLock();
    static QString InstanceLockPath();
    // Deletes the ToolDlls files listed in "卸载组件" (each name ended by
    // ";") and empties the key. Only plain file names inside ToolDlls are
    // deleted. Returns the names deleted. With per-user folders only the
    // user's ToolDlls is touched, and program copies of a listed name
    // (ASCII letter case ignored) are added to "禁用组件" instead.
    static QStringList DeleteUninstalledComponents();

private:
    std::unique_ptr<QLockFile> m_instanceLock;  // held until the process ends
    std::unique_ptr<CVexmorDoc> m_doc;
};

}  // namespace vx
