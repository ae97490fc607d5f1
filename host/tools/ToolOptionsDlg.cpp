#include "host/tools/ToolOptionsDlg.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>

#include "contract/ToolContract.h"
#include "host/frame/DialogTemplate.h"

namespace vx {

namespace {
constexpr int kPageInset = 2;
}  // namespace

CToolOptionsDlg::CToolOptionsDlg(QWidget* parent) : QDialog(parent) {
    ApplyDialogTemplate(this, 145, tr("选项"), 338, 229);

    m_list = new QListWidget(this);
    SetControlId(m_list, 1002);
    // The list of pages has no label of its own: it goes by the dialog's title.
    m_list->setAccessibleName(windowTitle());
    m_list->setViewMode(QListView::ListMode);
    m_list->setIconSize(QSize(16, 16));
    m_list->setGeometry(du::Rect(7, 7, 93, 197));

    m_pageArea = new QFrame(this);
    SetControlId(m_pageArea, 1003);
    m_pageArea->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_pageArea->setGeometry(du::Rect(103, 7, 228, 197));

    QPushButton* save = MakeTemplateButton(this, 1, tr("保存"), du::Rect(228, 209, 50, 14));
    QPushButton* close = MakeTemplateButton(this, 2, tr("关闭"), du::Rect(281, 209, 50, 14));
    save->setDefault(true);
    connect(save, &QPushButton::clicked, this, &CToolOptionsDlg::accept);
    connect(close, &QPushButton::clicked, this, &CToolOptionsDlg::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, &CToolOptionsDlg::OnRowChanged);
}

void CToolOptionsDlg::AddOptionPage(const QString& name, const QIcon& icon, ::COptionPage* page) {
    auto* row = new QListWidgetItem(icon, name, m_list);
    row->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(page)));
}

void CToolOptionsDlg::Reset() {
    // Clearing would report row changes; none of them means a page was picked.
    const QSignalBlocker blocker(m_list);
    m_list->clear();
}

void CToolOptionsDlg::OnRowChanged(int row) {
    QListWidgetItem* item = m_list->item(row);
    if (!item) return;
    auto* page = static_cast<::COptionPage*>(item->data(Qt::UserRole).value<void*>());
    if (!page) return;
    if (m_currentPage && m_currentPage != page) {
        if (QWidget* old = m_currentPage->GetPageWnd()) old->hide();
    }
    if (QWidget* wnd = page->GetPageWnd()) {
        if (wnd->parentWidget() != this) wnd->setParent(this);
        wnd->setGeometry(
            m_pageArea->geometry().adjusted(kPageInset, kPageInset, -kPageInset, -kPageInset));
        wnd->show();
        wnd->raise();
    }
    m_currentPage = page;
}

void CToolOptionsDlg::accept() {
    for (int row = 0; row < m_list->count(); ++row) {
        auto* page =
            static_cast<::COptionPage*>(m_list->item(row)->data(Qt::UserRole).value<void*>());
        if (page) page->SaveOptions();
    }
    QDialog::accept();
}

void CToolOptionsDlg::reject() { hide(); }

}  // namespace vx
