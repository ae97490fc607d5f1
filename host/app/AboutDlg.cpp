#include "host/app/AboutDlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "host/frame/DialogTemplate.h"

namespace vx {
namespace {

const char* const kHintText =
    QT_TRANSLATE_NOOP("vx::CAboutDlg",
                      "如果您只需要更新升级程序的组件，请点击工具条上的更新升\r\n"
                      "级，如果您需要升级主程序的版本，请到我的主页或华军等网\r\n"
                      "站下载。");

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    ApplyDialogTemplate(this, kDialogId, tr("关于 Vexmor"), 235, 95);

    auto* icon = new QLabel(this);
    SetControlId(icon, 128);
    icon->setPixmap(QIcon(QStringLiteral(":/host/icons/vexmor.png")).pixmap(32, 32));
    icon->setGeometry(du::Rect(11, 17, 21, 20));

    auto* version = new QLabel(tr("Vexmor 1.72 版"), this);
    version->setGeometry(du::Rect(40, 17, 119, 8));

    m_hint = new QPlainTextEdit(this);
    SetControlId(m_hint, kHintId);
    // A text without a label: a screen reader names it by what it is about.
    m_hint->setAccessibleName(tr("升级说明"));
    m_hint->setReadOnly(true);
    m_hint->setTabChangesFocus(true);
    // The line breaks are the text's own; the box does not re-wrap it.
    m_hint->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_hint->setPlainText(tr(kHintText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_hint->setGeometry(du::Rect(7, 57, 222, 31));

    QPushButton* ok = MakeTemplateButton(this, 1, tr("确定"), du::Rect(178, 17, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vx
