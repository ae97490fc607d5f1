// The seam between the host and its browser module (vx_browser.so beside the
// program). The host never links the web engine: CHtmlCtrl loads the module
// the first time a page navigates and talks to the browser only through the
// two abstract classes below, so this header must stay free of web-engine
// types. Both sides link the same Qt, so QUrl and QWidget cross freely.
#pragma once

class QUrl;
class QWidget;

namespace vx {

// The host's side: asked before every navigation of the main frame or a
// sub-frame, whatever started it (a click, a script, a redirect).
class CHtmlBrowserSite {
public:
    virtual ~CHtmlBrowserSite() = default;
    // False cancels the navigation.
    virtual bool OnBeforeNavigate2(const QUrl& url) = 0;
};

// The module's side: one web view. Widget() is the view itself, a child of
// the parent it was created under; deleting it releases the page and, with
// it, the page's renderer process.
class CHtmlBrowser {
public:
    virtual ~CHtmlBrowser() = default;
    virtual QWidget* Widget() = 0;
    virtual void Navigate2(const QUrl& url) = 0;
};

// The module's one export. Null when the web engine cannot run here (its
// helper process or resources are missing, or its sandbox cannot start);
// `site` must outlive the returned browser.
using CreateHtmlBrowserFn = CHtmlBrowser* (*)(QWidget* parent, CHtmlBrowserSite* site);
inline constexpr char kCreateHtmlBrowserSymbol[] = "VxCreateHtmlBrowser";

}  // namespace vx
