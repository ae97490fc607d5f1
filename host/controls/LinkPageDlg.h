// The page of a web-link tool. For now it shows its URL as a link that opens
// in the desktop's browser; the embedded browser takes the place of the link
// later without changing how the tool creates the page.
#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;

namespace vx {

class CLinkPageDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 153;
    static constexpr int kPlaceholderId = 1006;

    // Created hidden, as every tool page is, under `parent`.
    explicit CLinkPageDlg(const QString& url, QWidget* parent = nullptr);

    const QString& Url() const { return m_url; }
    QLabel* Link() const { return m_link; }

private:
    QString m_url;
    QLabel* m_link = nullptr;  // stands where the browser goes
};

}  // namespace vx
