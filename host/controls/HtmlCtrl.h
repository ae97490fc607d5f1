// The embedded browser as an ordinary child control of a page: it takes the
// place, id and parent of a placeholder control, cancels navigation to "app:"
// addresses and hands their rest to OnAppLink.
//
// The web view itself comes from the browser module (vx_browser.so beside the
// program), loaded on the first Navigate2 of any control, so a run that never
// shows a link page never maps the web engine or starts its processes. If the
// module or the engine cannot be had, the control stays an empty area and
// nobody is told: the module logs the reason under "vx.browser".
//
// VX_BROWSER_MODULE names another module file (tests run from their own
// folder).
#pragma once

#include <QPointer>
#include <QWidget>

#include "host/browser/HtmlBrowser.h"

namespace vx {

class CHtmlCtrl : public QWidget, private CHtmlBrowserSite {
    Q_OBJECT
public:
    explicit CHtmlCtrl(QWidget* parent = nullptr);
    // Releases the web view (and its renderer) while this control still exists
    // to answer it.
    ~CHtmlCtrl() override;

    // Takes the place of `parent`'s child control `id`: its rectangle, its id
    // and its parent; the placeholder is destroyed. False, and nothing
    // changes, if `parent` has no such control.
    bool ReplaceStatic(int id, QWidget* parent);

    // Creates the web view on first use, then loads `url` in it.
    void Navigate2(const QString& url);

    // The web view; null before the first navigation and when none can be had.
    QWidget* Browser() const { return m_view; }

protected:
    // Called with what follows "app:" for every cancelled "app:" navigation.
    virtual void OnAppLink(const QString& rest);

    void resizeEvent(QResizeEvent* event) override;

private:
    bool OnBeforeNavigate2(const QUrl& url) override;
    bool CreateBrowser();

    CHtmlBrowser* m_browser = nullptr;  // valid while m_view is set
    QPointer<QWidget> m_view;           // child; m_browser's widget
    bool m_triedBrowser = false;
};

}  // namespace vx
