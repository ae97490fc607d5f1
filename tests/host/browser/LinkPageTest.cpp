// The link pages with the real browser module, offscreen, on local file pages:
// the engine stays out until a link page is first shown, every showing goes
// back to the tool's address, "app:" links do nothing, the browser fills the
// page, and exit with a page shown leaves no engine process behind.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/app/VexmorApp.h"
#include "host/app/VexmorDoc.h"
#include "host/controls/GfxOutBarCtrl.h"
#include "host/controls/LinkPageDlg.h"
#include "host/frame/MainFrame.h"
#include "host/tools/LinkTool.h"
#include "host/tools/ToolListView.h"
#include "host/tools/ToolShowView.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "support/FakeProgramDir.h"

using vx::CLinkPageDlg;

namespace {

constexpr char kExitRunArgument[] = "--exit-run";
constexpr int kLoadMs = 30000;

bool EngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

// Live engine processes whose parent is `parent`. A test that makes itself a
// subreaper also sees those whose own parent has died, and reaps them.
QList<int> EngineChildren(int parent) {
    QList<int> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        // pid (comm) state ppid ...: comm may hold blanks, so split after ')'.
        const int close = text.lastIndexOf(')');
        const QList<QByteArray> rest = text.mid(close + 2).split(' ');
        if (!text.contains("(QtWebEngineProc") || rest.size() < 2 || rest[1].toInt() != parent)
            continue;
        if (rest[0] == "Z")
            waitpid(entry.toInt(), nullptr, WNOHANG);
        else
            pids << entry.toInt();
    }
    return pids;
}

QString Url(QWidget* browser) { return browser->property("url").toUrl().toString(); }

// A page whose whole area is one link to `href`, so a click anywhere follows it.
QString LinkPage(const QString& title, const QString& href) {
    return QStringLiteral(
               "<!doctype html><meta charset=\"utf-8\"><title>%1</title>"
               "<body style=\"margin:0\"><a href=\"%2\" style=\"display:block;"
               "width:100vw;height:100vh\">%1</a></body>")
        .arg(title, href);
}

class Pages {
public:
    Pages() {
        Write(QStringLiteral("a.html"), LinkPage(QStringLiteral("A"), QStringLiteral("b.html")));
        Write(QStringLiteral("b.html"), LinkPage(QStringLiteral("B"), QStringLiteral("a.html")));
    }
    QString Write(const QString& name, const QString& html) const {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(html.toUtf8());
        return UrlOf(name);
    }
    QString UrlOf(const QString& name) const {
        return QUrl::fromLocalFile(m_dir.filePath(name)).toString();
    }
    // The link tools' addresses: 我的主页 a.html, 华军下载 b.html.
    QString Ini() const {
        return QStringLiteral("[Vexmor空间]\r\n我的主页=%1\r\n华军下载=%2\r\n")
            .arg(UrlOf(QStringLiteral("a.html")), UrlOf(QStringLiteral("b.html")));
    }

private:
    QTemporaryDir m_dir;
};

// The document and main frame, initialised, with the link tools' addresses
// set to the local pages and, if asked, one plug-in whose page comes first.
class Host {
public:
    explicit Host(bool withPlugin = false) {
        m_ok = (!withPlugin || dir.AddFixture("pair", "fx_pair.so")) && dir.WriteIni(pages.Ini());
        frame = new vx::CMainFrame(&doc);
        m_ok = doc.OnNewDocument() && m_ok;
        frame->show();
    }
    ~Host() { doc.OnCloseDocument(); }
    bool Ok() const { return m_ok; }
    CLinkPageDlg* Current() const {
        return qobject_cast<CLinkPageDlg*>(frame->GetToolListView()->CurrentPage());
    }

    Pages pages;
    FakeProgramDir dir;
    vx::CVexmorDoc doc;
    vx::CMainFrame* frame = nullptr;  // the document's

private:
    bool m_ok = false;
};

// Waits until `browser` has loaded `url` completely.
bool WaitLoaded(QWidget* browser, const QString& url) {
    QSignalSpy loaded(browser, SIGNAL(loadFinished(bool)));
    return QTest::qWaitFor([&] { return Url(browser) == url && !loaded.isEmpty(); }, kLoadMs) ||
           (Url(browser) == url && loaded.wait(kLoadMs));
}

// A real click in the middle of the rendered page.
void ClickInside(QWidget* browser) {
    QWidget* target = browser->focusProxy() ? browser->focusProxy() : browser;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
}

void ClickTool(vx::CMainFrame* frame, int item) {
    vx::CToolListView* list = frame->GetToolListView();
    list->Bar()->SelectFolder(list->Bar()->FindFolder(QStringLiteral("Vexmor空间")));
    list->OnOutbarNotify(vx::CGfxOutBarCtrl::kNotifyItemClicked, item);
}

class RecordingHtmlCtrl : public vx::CHtmlCtrl {
public:
    QStringList appLinks;

protected:
    void OnAppLink(const QString& rest) override { appLinks << rest; }
};

// The child of the exit test: the application with its home page shown
// (there are no plug-ins), ended by its exit command once the page is in.
int ExitRun(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    vx::CVexmorApp app;
    if (!app.InitInstance()) return 2;
    auto* page = qobject_cast<CLinkPageDlg*>(app.Frame()->GetToolListView()->CurrentPage());
    QWidget* browser = page ? page->HtmlCtrl()->Browser() : nullptr;
    if (!browser || !WaitLoaded(browser, page->Url())) return 3;
    const bool renderer = QTest::qWaitFor([] { return !EngineChildren(getpid()).isEmpty(); });
    printf("renderer %d\n", renderer ? 1 : 0);
    fflush(stdout);
    app.Frame()->TrayMenu()->findChild<QAction*>(QStringLiteral("57665"))->trigger();
    return app.Run();
}

}  // namespace

class LinkPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void init() {
        if (!QFile::exists(qEnvironmentVariable("VX_BROWSER_MODULE")) &&
            QTest::currentTestFunction() != QLatin1String("addressesComeFromTheSettings"))
            QSKIP("the browser module is not built (no Qt WebEngine)");
    }
    void cleanupTestCase() { vx::platform::SetMessageBoxInterceptor({}); }

    // First, while this process has no engine of its own to confuse the count.
    void exitWithLinkPageShownLeavesNoEngineProcess();
    void engineWaitsForTheFirstLinkPage();
    void everyShowingNavigatesToTheToolsAddress();
    void appLinksDoNothing_data();
    void appLinksDoNothing();
    void browserFillsThePage_data();
    void browserFillsThePage();
    void emptyPageWhenNoBrowser_data();
    void emptyPageWhenNoBrowser();
    void addressesComeFromTheSettings_data();
    void addressesComeFromTheSettings();

private:
    QStringList m_boxes;
};

void LinkPageTest::exitWithLinkPageShownLeavesNoEngineProcess() {
    Pages pages;
    FakeProgramDir dir;
    QVERIFY(dir.WriteIni(pages.Ini()));
    QTemporaryDir runtime;
    // Orphaned engine processes come to this process, where they can be seen.
    QCOMPARE(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kExitRunArgument)});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray err = child.readAllStandardError();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, err.constData());
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("renderer 1"));
    QVERIFY2(!err.contains("still not deleted"), err.constData());
    QTRY_VERIFY_WITH_TIMEOUT(EngineChildren(getpid()).isEmpty(), 10000);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

void LinkPageTest::engineWaitsForTheFirstLinkPage() {
    Host host(true);
    QVERIFY(host.Ok());
    QVERIFY(QTest::qWaitForWindowExposed(host.frame));
    const auto linkPages = host.frame->GetToolShowView()->findChildren<CLinkPageDlg*>();
    QCOMPARE(linkPages.size(), 3);
    for (CLinkPageDlg* page : linkPages) QVERIFY(!page->HtmlCtrl()->Browser());
    QVERIFY(!EngineMapped());

    ClickTool(host.frame, 0);
    QWidget* browser = linkPages[0]->HtmlCtrl()->Browser();
    QVERIFY(browser);
    QVERIFY(EngineMapped());
    QVERIFY(WaitLoaded(browser, host.pages.UrlOf("a.html")));
    QVERIFY(!linkPages[1]->HtmlCtrl()->Browser());
}

void LinkPageTest::everyShowingNavigatesToTheToolsAddress() {
    Host host;
    QVERIFY(host.Ok());
    const Pages& pages = host.pages;
    vx::CMainFrame* frame = host.frame;
    // Without plug-ins the home page is the first tool, shown at start.
    CLinkPageDlg* home = host.Current();
    QVERIFY(home && home->isVisible());
    QWidget* browser = home->HtmlCtrl()->Browser();
    QVERIFY(browser);
    QVERIFY(WaitLoaded(browser, pages.UrlOf("a.html")));

    ClickInside(browser);  // the user follows the page's link
    QVERIFY(WaitLoaded(browser, pages.UrlOf("b.html")));

    ClickTool(frame, 1);
    QVERIFY(home->isHidden());
    ClickTool(frame, 0);
    QVERIFY(WaitLoaded(browser, pages.UrlOf("a.html")));

    // Coming back from the tray uncovers the page without showing it anew.
    ClickInside(browser);
    QVERIFY(WaitLoaded(browser, pages.UrlOf("b.html")));
    frame->hide();
    frame->show();
    QTest::qWait(300);
    QCOMPARE(Url(browser), pages.UrlOf("b.html"));
}

void LinkPageTest::appLinksDoNothing_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("rest");
    // clang-format off
    QTest::newRow("small letters")      << "app:hello"      << "hello";
    QTest::newRow("capital letters")    << "APP:World"      << "World";
    QTest::newRow("mixed, with a path") << "aPp:tool/3?x=1" << "tool/3?x=1";
    // clang-format on
}

void LinkPageTest::appLinksDoNothing() {
    QFETCH(QString, href);
    QFETCH(QString, rest);
    Pages pages;
    const QString url = pages.Write(QStringLiteral("app.html"), LinkPage("APP", href));

    QWidget page;
    page.resize(400, 300);
    (new QWidget(&page))->setObjectName(QStringLiteral("1006"));
    auto* html = new RecordingHtmlCtrl;
    QVERIFY(html->ReplaceStatic(1006, &page));
    page.show();
    html->Navigate2(url);
    QWidget* browser = html->Browser();
    QVERIFY(browser);
    QVERIFY(WaitLoaded(browser, url));
    QSignalSpy urls(browser, SIGNAL(urlChanged(QUrl)));  // nor a navigation elsewhere

    ClickInside(browser);
    QTRY_COMPARE_WITH_TIMEOUT(html->appLinks, QStringList{rest}, kLoadMs);
    QTest::qWait(200);
    QCOMPARE(Url(browser), url);
    QVERIFY(urls.isEmpty());
}

void LinkPageTest::browserFillsThePage_data() {
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("larger") << QSize(1024, 768);
    QTest::newRow("smaller") << QSize(600, 420);
    QTest::newRow("wide and low") << QSize(1200, 380);
}

void LinkPageTest::browserFillsThePage() {
    QFETCH(QSize, frameSize);
    Host host;
    CLinkPageDlg* home = host.Current();
    QVERIFY(host.Ok() && home && home->HtmlCtrl()->Browser());

    host.frame->resize(frameSize);
    QTRY_COMPARE(home->geometry(), host.frame->GetToolShowView()->rect());
    QCOMPARE(home->HtmlCtrl()->geometry(), home->rect());
    QCOMPARE(home->HtmlCtrl()->Browser()->geometry(), home->rect());
}

void LinkPageTest::emptyPageWhenNoBrowser_data() {
    QTest::addColumn<QString>("module");
    QTest::newRow("missing") << QDir::temp().filePath("vx-no-such-dir/vx_browser.so");
    QTest::newRow("not a library") << qEnvironmentVariable("VX_TEST_DATA") + "/tsan.supp";
    QTest::newRow("a library without the export")
        << QStringLiteral(VX_FIXTURE_DIR "/pair/fx_pair.so");
}

void LinkPageTest::emptyPageWhenNoBrowser() {
    QFETCH(QString, module);
    const QByteArray saved = qgetenv("VX_BROWSER_MODULE");
    qputenv("VX_BROWSER_MODULE", QFile::encodeName(module));
    {
        CLinkPageDlg page(QStringLiteral("file:///nowhere.html"));
        page.resize(300, 200);
        page.show();
        QVERIFY(!page.HtmlCtrl()->Browser());
        QCOMPARE(page.HtmlCtrl()->parentWidget(), &page);
        QCOMPARE(page.HtmlCtrl()->geometry(), page.rect());
        page.hide();
        page.show();  // a second showing tries no further
        QVERIFY(!page.HtmlCtrl()->Browser());
    }
    qputenv("VX_BROWSER_MODULE", saved);
    QVERIFY(m_boxes.isEmpty());
}

void LinkPageTest::addressesComeFromTheSettings_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QStringList>("urls");  // "" for the home page beside the program
    const QStringList defaults{"", "https://www.onlinedown.net/", "https://www.skycn.com/"};
    QTest::newRow("no settings") << QString() << defaults;
    QTest::newRow("all three set") << "[vexmor空间]\r\n我的主页=http://127.0.0.1:8/"
                                      "h\r\n华军下载=file:///a\r\n天空下载=file:///b\r\n"
                                   << QStringList{"http://127.0.0.1:8/h", "file:///a", "file:///b"};
    QTest::newRow("empty value, other section")
        << "[Vexmor空间]\r\n我的主页=\r\n[其他]\r\n华军下载=file:///a\r\n"
        << defaults;
}

void LinkPageTest::addressesComeFromTheSettings() {
    QFETCH(QString, ini);
    QFETCH(QStringList, urls);
    FakeProgramDir dir;
    if (!ini.isEmpty()) QVERIFY(dir.WriteIni(ini));
    if (urls[0].isEmpty()) urls[0] = QUrl::fromLocalFile(dir.Path() + "home/index.html").toString();
    QStringList got;
    for (const vx::CLinkTool::Link& link : vx::CLinkTool::Links()) got << link.url;
    QCOMPARE(got, urls);

    // "作者的主页" opens the first of them in the desktop's browser.
    QList<QUrl> opened;
    vx::platform::SetOpenUrlObserver([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    vx::CVexmorDoc doc;
    doc.OnHomePage();
    vx::platform::SetOpenUrlObserver({});
    QCOMPARE(opened, QList<QUrl>{QUrl(urls[0])});
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], kExitRunArgument) == 0) return ExitRun(argc, argv);
    QApplication app(argc, argv);
    LinkPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LinkPageTest.moc"
