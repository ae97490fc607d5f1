// The web view behind CHtmlCtrl. It lives in vx_browser.so so that the program
// itself never links the web engine, which costs tens of megabytes and tens of
// milliseconds at start to users who never open a link tool.
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/browser/HtmlBrowser.h"

namespace vx {
namespace {

Q_LOGGING_CATEGORY(lcBrowser, "vx.browser")

// The engine aborts the whole program when it cannot find its helper process,
// so look where it will look before creating anything.
bool HelperProcessFound() {
    const QString name = QStringLiteral("/QtWebEngineProcess");
    const QString fromEnv = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (!fromEnv.isEmpty()) return QFileInfo(fromEnv).isExecutable();
    return QFileInfo(QCoreApplication::applicationDirPath() + name).isExecutable() ||
           QFileInfo(QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + name)
               .isExecutable();
}

bool SandboxSwitchedOff() {
    return qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
           qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
               .split(' ', Qt::SkipEmptyParts)
               .contains(QStringLiteral("--no-sandbox"));
}

// The renderer sandbox needs unprivileged user namespaces and refuses to run
// for root; without it the engine ends the program instead of failing the
// page. We never switch the sandbox off on the user's behalf: web content
// from the download sites would then run with the user's (or root's) full
// rights. Whoever accepts that sets QTWEBENGINE_DISABLE_SANDBOX=1.
bool SandboxCanStart() {
    if (SandboxSwitchedOff()) return true;
    if (getuid() == 0 || geteuid() == 0) return false;
    // unshare(CLONE_NEWUSER) needs a single-threaded caller: try it in a child.
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) _exit(unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const QByteArray kAppScheme = QByteArrayLiteral("app");

// Navigations to "app:" are cancelled before they load; anything that still
// asks for one (an image, a frame's source) gets nothing.
class CAppSchemeRefusal : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// "app:" must be a scheme the engine knows and handles, or a link to it never
// reaches acceptNavigationRequest (the engine passes unknown schemes to the
// desktop). Registration has to precede the engine's start, the first view.
void RegisterAppScheme() {
    QWebEngineUrlScheme scheme(kAppScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void HandleAppScheme() {
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    if (!profile->urlSchemeHandler(kAppScheme))
        profile->installUrlSchemeHandler(kAppScheme, new CAppSchemeRefusal(profile));
}

class CSitePage : public QWebEnginePage {
public:
    CSitePage(CHtmlBrowserSite* site, QObject* parent) : QWebEnginePage(parent), m_site(site) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return m_site->OnBeforeNavigate2(url);
    }

private:
    CHtmlBrowserSite* m_site;  // the control that owns the view
};

class CWebEngineBrowser final : public QWebEngineView, public CHtmlBrowser {
public:
    CWebEngineBrowser(QWidget* parent, CHtmlBrowserSite* site)
        : QWebEngineView(parent), m_page(new CSitePage(site, this)) {
        setPage(m_page);
    }
    // The page goes while its view still exists, the order the engine expects.
    ~CWebEngineBrowser() override { delete m_page; }

    QWidget* Widget() override { return this; }
    void Navigate2(const QUrl& url) override { load(url); }

protected:
    // A link that asks for a new window ("_blank") opens in this one: a tool
    // page has nowhere else to show it.
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType) override { return this; }

private:
    CSitePage* m_page;
};

}  // namespace
}  // namespace vx

extern "C" __attribute__((visibility("default"))) vx::CHtmlBrowser* VxCreateHtmlBrowser(
    QWidget* parent, vx::CHtmlBrowserSite* site) {
    static const bool usable = [] {
        if (!vx::HelperProcessFound()) {
            qCInfo(vx::lcBrowser) << "no QtWebEngineProcess found: link pages stay empty";
            return false;
        }
        if (!vx::SandboxCanStart()) {
            qCInfo(vx::lcBrowser) << "the web sandbox cannot start here (root, or no user "
                                     "namespaces): link pages stay empty";
            return false;
        }
        vx::RegisterAppScheme();
        return true;
    }();
    if (!usable || !site) return nullptr;
    vx::HandleAppScheme();
    return new vx::CWebEngineBrowser(parent, site);
}
