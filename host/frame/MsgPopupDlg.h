// The "消息通知" popup: a small always-on-top tool window in the bottom-right
// corner of the screen that collects notifications until the user closes it.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vx {

class CMsgPopupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBottomMargin = 30;

    explicit CMsgPopupDlg(QWidget* parent = nullptr);

    // Appends a time-stamped line and shows the popup.
    void ShowMsg(const QString& text);

    QPlainTextEdit* TextBox() const { return m_text; }

protected:
    // The close box empties the text; the next message starts afresh.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void PlaceAtScreenCorner();

    QPlainTextEdit* m_text = nullptr;  // control 1010
    bool m_placed = false;
    QSize m_placedFrame;  // the outer size the corner was computed for
};

}  // namespace vx
