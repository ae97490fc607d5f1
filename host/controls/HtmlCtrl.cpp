#include "host/controls/HtmlCtrl.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QUrl>

#include "host/frame/DialogTemplate.h"

// Qt's own hook for the context that every OpenGL context shares with. Qt
// creates it at start only with AA_ShareOpenGLContexts, which costs every run
// tens of megabytes of GL driver; the web engine needs it and dereferences it
// unchecked, so it is made here, just before the engine is first loaded.
Q_DECL_IMPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace vx {
namespace {

Q_LOGGING_CATEGORY(lcHtml, "vx.browser")

QOpenGLContext*& SharedGlContext() {
    static QOpenGLContext* context = nullptr;
    return context;
}

// Post routines run in reverse order of addition, so this one, added before
// the engine registers its own, runs after the engine has shut down.
void ReleaseSharedGlContext() {
    qt_gl_set_global_share_context(nullptr);
    delete SharedGlContext();
    SharedGlContext() = nullptr;
}

void EnsureSharedGlContext() {
    if (QOpenGLContext::globalShareContext()) return;
    auto* context = new QOpenGLContext;
    // Without OpenGL (offscreen, no driver) creation fails; the engine then
    // renders in software but still wants the object.
    context->create();
    SharedGlContext() = context;
    qt_gl_set_global_share_context(context);
    qAddPostRoutine(ReleaseSharedGlContext);
}

QString BrowserModulePath() {
    const QString path = qEnvironmentVariable("VX_BROWSER_MODULE");
    return path.isEmpty()
               ? QCoreApplication::applicationDirPath() + QStringLiteral("/vx_browser.so")
               : path;
}

// The module stays loaded for the rest of the run: the engine cannot be
// unloaded once started.
CreateHtmlBrowserFn LoadBrowserModule() {
    static QHash<QString, CreateHtmlBrowserFn> loaded;  // UI thread only
    const QString path = BrowserModulePath();
    if (auto it = loaded.constFind(path); it != loaded.constEnd()) return *it;
    CreateHtmlBrowserFn create = nullptr;
    if (QFileInfo(path).isFile()) {
        EnsureSharedGlContext();
        QLibrary library(path);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        create = reinterpret_cast<CreateHtmlBrowserFn>(library.resolve(kCreateHtmlBrowserSymbol));
        if (!create) qCInfo(lcHtml) << "browser module not usable:" << library.errorString();
    } else {
        qCInfo(lcHtml) << "no browser module at" << path;
    }
    loaded.insert(path, create);
    return create;
}

}  // namespace

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QWidget(parent) {
    // An area without text of its own: assistive technology still names it.
    setAccessibleName(tr("网页"));
}

CHtmlCtrl::~CHtmlCtrl() { delete m_view.data(); }

bool CHtmlCtrl::ReplaceStatic(int id, QWidget* parent) {
    QWidget* placeholder =
        parent ? parent->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly)
               : nullptr;
    if (!placeholder) return false;
    const QRect rect = placeholder->geometry();
    delete placeholder;
    setParent(parent);
    SetControlId(this, id);
    setGeometry(rect);
    show();
    return true;
}

void CHtmlCtrl::Navigate2(const QString& url) {
    if (!m_view && !CreateBrowser()) return;
    m_browser->Navigate2(QUrl::fromUserInput(url));
}

bool CHtmlCtrl::CreateBrowser() {
    // One attempt per control: a module that failed once fails again.
    if (m_triedBrowser) return false;
    m_triedBrowser = true;
    CreateHtmlBrowserFn create = LoadBrowserModule();
    m_browser = create ? create(this, this) : nullptr;
    if (!m_browser) return false;
    m_view = m_browser->Widget();
    m_view->setGeometry(rect());
    m_view->show();
    return true;
}

void CHtmlCtrl::OnAppLink(const QString&) {}

bool CHtmlCtrl::OnBeforeNavigate2(const QUrl& url) {
    static const QString kAppPrefix = QStringLiteral("app:");
    const QString text = url.toString();
    if (!text.startsWith(kAppPrefix, Qt::CaseInsensitive)) return true;
    OnAppLink(text.mid(kAppPrefix.size()));
    return false;
}

void CHtmlCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_view) m_view->setGeometry(rect());
}

}  // namespace vx
