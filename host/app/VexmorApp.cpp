#include "host/app/VexmorApp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/update/UpdateHook.h"
#include "host/tools/NameList.h"
#include "platform/AsciiCase.h"
#include "platform/MessageBox.h"
#include "platform/PluginFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

namespace vx {
namespace {

using platform::AsciiLower;

const QString kComponentSection = QStringLiteral("组件管理");
const QString kUninstallKey = QStringLiteral("卸载组件");
const QString kDisabledKey = QStringLiteral("禁用组件");
constexpr int kUninstallBuffer = 1024;
constexpr int kDisabledBuffer = 1024;
constexpr int kNewDocumentCommand = 57600;

// A name that can only mean a file directly inside ToolDlls. The list is a
// plain text in a user-writable file: "../x" or "/etc/x" must never reach
// a deletion. Without a separator only "." and ".." leave the folder, so
// "a..b.so" is still a plug-in that can be uninstalled.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.contains('/') && !name.contains(QChar(0)) &&
           name != QStringLiteral(".") && name != QStringLiteral("..");
}

}  // namespace

CVexmorApp::CVexmorApp() = default;

CVexmorApp::~CVexmorApp() {
    // Whatever ended the event loop, tear down in the document's order.
    if (m_doc) m_doc->OnCloseDocument();
    m_doc.reset();
}

CMainFrame* CVexmorApp::Frame() const { return m_doc ? m_doc->Frame() : nullptr; }

QString CVexmorApp::InstanceLockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir + QStringLiteral("/Vexmor Mutex.lock");
}

std::unique_ptr<QLockFile> CVexmorApp::TakeInstanceLock() {
    auto lock = std::make_unique<QLockFile>(InstanceLockPath());
    // A live holder keeps the lock however long it runs; only a holder that
    // is gone (its process no longer exists) leaves a stale lock.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

QStringList CVexmorApp::DeleteUninstalledComponents() {
    platform::ProfileFile settings = platform::ProfileFile::Settings();
    const QString value =
        settings.GetString(kComponentSection, kUninstallKey, QString(), kUninstallBuffer);
    const QString dir = platform::WritablePluginDir();
    // The program's own copies cannot go with per-user folders: they are
    // disabled for this user instead, under their names as on disk.
    QList<platform::PluginFile> shared;
    if (platform::UsesPerUserFolders())
        shared = platform::ListPluginFolder(platform::SystemPluginDir());
    QString disabled;
    QStringList deleted;
    // Each name ends with ";"; whatever follows the last ";" is not a name.
    qsizetype from = 0;
    for (qsizetype semi; (semi = value.indexOf(';', from)) >= 0; from = semi + 1) {
        const QString name = value.mid(from, semi - from);
        if (!IsPlainFileName(name)) continue;
        if (QFile::remove(dir + name)) deleted << name;
        for (const platform::PluginFile& file : shared)
            if (AsciiLower(file.name) == AsciiLower(name)) disabled += file.name + u';';
    }
    if (!disabled.isEmpty()) {
        QString list =
            settings.GetString(kComponentSection, kDisabledKey, QString(), kDisabledBuffer);
        for (const QString& name : disabled.split(u';', Qt::SkipEmptyParts))
            if (!NameListContains(list, name)) list += name + u';';
        settings.WriteString(kComponentSection, kDisabledKey, list);
    }
    settings.WriteString(kComponentSection, kUninstallKey, QString());
    return deleted;
}

bool CVexmorApp::InitInstance() {
    m_instanceLock = TakeInstanceLock();
    if (!m_instanceLock) {
        platform::ShowMessageBox(
            QCoreApplication::translate("vx::CVexmorApp", "程序已经运行一个实例"));
        return false;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("Vexmor"));
    // The close box hides the window: only the exit command ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    DeleteUninstalledComponents();
    RunWaitingUpdate();

    m_doc = std::make_unique<CVexmorDoc>();
    auto* frame = new CMainFrame(m_doc.get());
    if (!m_doc->OnNewDocument()) {
        delete frame;
        m_doc.reset();
        return false;
    }
    // Ctrl+N is the framework's new-document command; the document answers
    // it once per run, so later presses do nothing.
    auto* newDocument = new QAction(frame);
    newDocument->setObjectName(QString::number(kNewDocumentCommand));
    newDocument->setProperty("vxId", kNewDocumentCommand);
    newDocument->setShortcut(QKeySequence::New);
    frame->addAction(newDocument);
    QObject::connect(newDocument, &QAction::triggered, m_doc.get(),
                     [doc = m_doc.get()] { doc->OnNewDocument(); });

    frame->show();
    return true;
}

int CVexmorApp::Run() {
    if (!m_doc) return 1;
    // The document closes from its own event-loop turn, never inside a
    // handler of the frame, so the loop can be told to end right there. A
    // close after the loop has ended (the session ended it) asks nothing.
    QObject::connect(m_doc.get(), &CVexmorDoc::DocumentClosed, qApp, &QCoreApplication::quit);
    const int status = QApplication::exec();
    m_doc->OnCloseDocument();
    m_doc.reset();
    return status;
}

}  // namespace vx
