#include "host/update/ComponentDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "host/frame/DialogTemplate.h"
#include "host/tools/NameList.h"
#include "host/update/ReportList.h"
#include "host/update/UpdateDlg.h"
#include "host/update/UpdateInfo.h"
#include "platform/MessageBox.h"
#include "platform/Modal.h"
#include "platform/PluginFiles.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"
#include "platform/VersionInfo.h"

namespace vx {
namespace {

const QString kSection = QStringLiteral("组件管理");
const QString kDisabledKey = QStringLiteral("禁用组件");
const QString kUninstallKey = QStringLiteral("卸载组件");
constexpr int kBuffer = 1024;
// The state column and the button that changes it share their texts in
// Chinese; English tells the state ("Enabled") from the action ("Enable").
QString Enabled() { return QCoreApplication::translate("vx::CComponentDlg", "启用", "state"); }
QString Disabled() { return QCoreApplication::translate("vx::CComponentDlg", "禁用", "state"); }
QString EnableAction() {
    return QCoreApplication::translate("vx::CComponentDlg", "启用", "button");
}
QString DisableAction() {
    return QCoreApplication::translate("vx::CComponentDlg", "禁用", "button");
}
QString Origin() { return QCoreApplication::translate("vx::CComponentDlg", "来源"); }
QString SystemCopy() { return QCoreApplication::translate("vx::CComponentDlg", "系统"); }
QString UserCopy() { return QCoreApplication::translate("vx::CComponentDlg", "用户"); }

QString Read(const QString& key) {
    return platform::ProfileFile::Settings().GetString(kSection, key, QString(), kBuffer);
}

void Write(const QString& key, const QString& value) {
    platform::ProfileFile::Settings().WriteString(kSection, key, value);
}

}  // namespace

CComponentDlg::CComponentDlg(QWidget* parent, CUpdateDlg::LogFn log)
    : QDialog(parent), m_log(std::move(log)) {
    ApplyDialogTemplate(this, 173, tr("组件管理"), 268, 177);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    QList<QPair<QString, int>> columns{{tr("文件"), 100},
                                       {tr("描述"), 150},
                                       {tr("状态"), 60},
                                       {tr("版本号"), 80},
                                       {tr("作者"), 70}};
    // With per-user folders a sixth column says which folder each copy is from.
    m_perUser = platform::UsesPerUserFolders();
    if (m_perUser) columns.append({Origin(), 50});
    m_list = MakeReportList(this, columns);
    m_list->setGeometry(du::Rect(7, 7, 254, 144));
    QPushButton* check = MakeTemplateButton(this, 1004, tr("检查更新"), du::Rect(107, 156, 50, 14));
    QPushButton* uninstall = MakeTemplateButton(this, 1005, tr("卸载"), du::Rect(159, 156, 50, 14));
    m_toggle = MakeTemplateButton(this, 1011, EnableAction(), du::Rect(211, 156, 50, 14));

    connect(m_list, &QTreeWidget::itemClicked, this, &CComponentDlg::OnListClick);
    connect(check, &QPushButton::clicked, this, &CComponentDlg::OnCheckUpdate);
    connect(uninstall, &QPushButton::clicked, this, &CComponentDlg::OnUninstall);
    connect(m_toggle, &QPushButton::clicked, this, &CComponentDlg::OnToggle);
    Fill();
}

void CComponentDlg::Fill() {
    const QString disabled = Read(kDisabledKey);
    for (const platform::PluginFile& file : platform::ListPluginFiles()) {
        const QString lower = AsciiLower(file.name);
        if (!lower.startsWith(QStringLiteral("vx_")) || !lower.endsWith(QStringLiteral(".so")))
            continue;
        QHash<QString, QString> block;
        platform::ReadVersionStrings(file.path, QString::fromLatin1(platform::kVersionTranslation),
                                     &block);
        auto* row = new QTreeWidgetItem(
            m_list, {file.name, block.value(QStringLiteral("Comments")),
                     NameListContains(disabled, file.name) ? Disabled() : Enabled(),
                     NormaliseVersionText(block.value(QStringLiteral("FileVersion"))),
                     block.value(QStringLiteral("CompanyName"))});
        if (m_perUser) {
            row->setText(5, file.user ? UserCopy() : SystemCopy());
            row->setToolTip(0, file.path);
        }
    }
}

QTreeWidgetItem* CComponentDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void CComponentDlg::OnListClick() {
    // The button names the action it would take on the clicked row.
    if (QTreeWidgetItem* row = SelectedRow())
        m_toggle->setText(row->text(2) == Enabled() ? DisableAction() : EnableAction());
}

void CComponentDlg::OnToggle() {
    QTreeWidgetItem* row = SelectedRow();
    if (!row) return;
    m_changed = true;
    const QString name = row->text(0);
    QString value = Read(kDisabledKey);
    if (m_toggle->text() != EnableAction()) {
        if (!NameListContains(value, name)) value += name + ';';
        Write(kDisabledKey, value);
        row->setText(2, Disabled());
        m_toggle->setText(EnableAction());
    } else {
        Write(kDisabledKey, NameListWithout(value, name));
        row->setText(2, Enabled());
        m_toggle->setText(DisableAction());
    }
}

void CComponentDlg::OnUninstall() {
    QTreeWidgetItem* row = SelectedRow();
    if (!row) return;
    m_changed = true;
    Write(kUninstallKey, Read(kUninstallKey) + row->text(0) + ';');
    delete row;
}

void CComponentDlg::OnCheckUpdate() { platform::RunModal(new CUpdateDlg(this, m_log)); }

void CComponentDlg::reject() {
    m_rejecting = true;
    QDialog::reject();
    m_rejecting = false;
}

void CComponentDlg::closeEvent(QCloseEvent* event) {
    if (m_changed && !m_rejecting) {
        QPointer<CComponentDlg> self(this);
        platform::ShowMessageBox(tr("重新启动程序后生效"), this);
        if (!self) return;
    }
    QDialog::closeEvent(event);
}

}  // namespace vx
