#include "host/frame/MsgPopupDlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>

#include "host/frame/DialogTemplate.h"
#include "host/frame/OutputMsgView.h"

namespace vx {

CMsgPopupDlg::CMsgPopupDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    ApplyDialogTemplate(this, 176, tr("消息通知"), 143, 73);
    const QRect area = du::Rect(0, 0, 143, 73);
    m_text = new QPlainTextEdit(this);
    SetControlId(m_text, 1010);
    // The window's whole content: it goes by the window's title.
    m_text->setAccessibleName(windowTitle());
    m_text->setGeometry(area);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void CMsgPopupDlg::ShowMsg(const QString& text) {
    AppendStampedLine(m_text, text);
    show();
    raise();
}

void CMsgPopupDlg::closeEvent(QCloseEvent* event) {
    m_text->clear();
    QDialog::closeEvent(event);
}

void CMsgPopupDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        PlaceAtScreenCorner();
    }
}

void CMsgPopupDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // A window manager adds its decorations only after the first showing;
    // place the popup again once its outer size is known. A user's move keeps
    // the size and is left alone.
    if (m_placed && frameGeometry().size() != m_placedFrame) PlaceAtScreenCorner();
}

void CMsgPopupDlg::PlaceAtScreenCorner() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect desk = screen->geometry();
    const QSize outer = frameGeometry().size();
    m_placedFrame = outer;
    move(desk.left() + desk.width() - outer.width(),
         desk.top() + desk.height() - outer.height() - kBottomMargin);
}

}  // namespace vx
