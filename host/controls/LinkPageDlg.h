// The page of a web-link tool (dialog 153): an embedded browser that fills the
// page and goes back to the tool's own address every time the page is shown,
// so a user who followed links inside it comes back to where the tool starts.
#pragma once

#include <QWidget>

#include "host/controls/HtmlCtrl.h"

namespace vx {

class CLinkPageDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 153;
    static constexpr int kPlaceholderId = 1006;

    // Created hidden, as every tool page is, under `parent`.
    explicit CLinkPageDlg(const QString& url, QWidget* parent = nullptr);

    const QString& Url() const { return m_url; }
    CHtmlCtrl* HtmlCtrl() { return &m_html; }

    // Navigates when the page itself goes from hidden to shown; a page that
    // is only uncovered (its window comes back from the tray) keeps its place.
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CHtmlCtrl m_html;  // a member: dies with the page, never on its own
    QString m_url;
};

}  // namespace vx
