#include "host/update/UpdateDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "host/frame/DialogTemplate.h"
#include "host/update/ReportList.h"
#include "host/update/UpdateChecker.h"
#include "host/update/UpdateSettings.h"
#include "platform/Gbk.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"

namespace vx {

namespace {

// Whether the settings file gives `value` back: GBK text (a program folder
// may hold characters GBK lacks) that fits the buffer it is read into.
bool ReadsBackWhole(const QString& value, int buffer) {
    const QByteArray stored = platform::ToGbk(value);
    return stored.size() < buffer && platform::FromGbk(stored) == value;
}

}  // namespace

CUpdateDlg::CUpdateDlg(QWidget* parent, LogFn log) : QDialog(parent), m_log(std::move(log)) {
    ApplyDialogTemplate(this, 156, tr("更新升级"), 273, 178);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* label = new QLabel(QStringLiteral("URL"), this);
    // Up to the edit box rather than the template's 13 units: with the fonts
    // Linux has for 宋体, "URL" is wider than that and was cut to "URl".
    label->setGeometry(du::Rect(7, 10, 16, 8));
    m_url = new QLineEdit(this);
    SetControlId(m_url, 1010);
    m_url->setGeometry(du::Rect(24, 7, 189, 14));
    m_url->setAccessibleName(QStringLiteral("URL"));
    label->setBuddy(m_url);
    QPushButton* check = MakeTemplateButton(this, 1004, tr("检查更新"), du::Rect(216, 8, 50, 14));

    m_list = MakeReportList(this, {{tr("文件"), 120},
                                   {tr("类型"), 60},
                                   {tr("大小"), 60},
                                   {tr("主程序版本"), 80},
                                   {tr("新版本号"), 100},
                                   {tr("旧版本号"), 100},
                                   {tr("备注"), 200}});
    m_list->setGeometry(du::Rect(7, 25, 259, 127));

    m_status = new QLabel(this);
    SetControlId(m_status, 1009);
    m_status->setGeometry(du::Rect(7, 160, 147, 8));
    m_upgrade = MakeTemplateButton(this, 1005, tr("升级"), du::Rect(163, 157, 50, 14));
    QPushButton* close = MakeTemplateButton(this, 2, tr("关闭"), du::Rect(216, 157, 50, 14));

    connect(check, &QPushButton::clicked, this, &CUpdateDlg::OnCheckUpdate);
    connect(m_upgrade, &QPushButton::clicked, this, &CUpdateDlg::OnUpgrade);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_url->setText(platform::ProfileFile::Settings().GetString(
        update_settings::kSection, update_settings::kUrlKey, CUpdateChecker::kDefaultUrl,
        update_settings::kUrlBuffer));
    m_upgrade->setEnabled(false);
}

CUpdateDlg::~CUpdateDlg() = default;

void CUpdateDlg::ClearRows() {
    m_list->clear();
    m_records.clear();
}

void CUpdateDlg::OnCheckUpdate() {
    ClearRows();
    const QString url = m_url->text();
    QList<ComponentRecord> found;
    {
        CUpdateChecker checker;
        QString why;
        if (!checker.CheckUpdates(url, found, &why)) {
            m_status->setText(tr("检查更新失败"));
            if (m_log) m_log(tr("检查更新失败: ") + why);
            return;
        }
    }
    platform::ProfileFile::Settings().WriteString(update_settings::kSection, update_settings::kUrlKey,
                                            url);
    if (found.isEmpty()) {
        m_status->setText(tr("没有需要更新的文件"));
        return;
    }
    for (const ComponentRecord& r : found) {
        auto* row = new QTreeWidgetItem(
            m_list, {r.fileName, r.kind, r.size, r.mainVersion, r.newVersion, r.oldVersion,
                     r.remarks});
        row->setCheckState(0, Qt::Checked);
        m_records.append(r);
    }
    m_status->setText(tr("共有%1个文件需要更新").arg(found.size()));
    m_upgrade->setEnabled(true);
}

bool CUpdateDlg::ScheduleUpgrade(const QList<int>& rows) {
    // Each value must read back as written: a cut or broken one would fetch
    // another file, or put it somewhere else.
    for (int row : rows) {
        const ComponentRecord& r = m_records[row];
        if (!IsStorableEntry(r) || !ReadsBackWhole(r.source, update_settings::kSourceBuffer) ||
            !ReadsBackWhole(r.target, update_settings::kTargetBuffer))
            return false;
    }
    platform::ProfileFile settings = platform::ProfileFile::Settings();
    for (int n = 0; n < rows.size(); ++n) {
        const ComponentRecord& r = m_records[rows[n]];
        const QString section = update_settings::FileSection(n);
        if (!settings.WriteString(section, update_settings::kSourceKey, r.source) ||
            !settings.WriteString(section, update_settings::kTargetKey, r.target))
            return false;
    }
    if (!settings.WriteInt(update_settings::kSection, update_settings::kCountKey,
                           static_cast<int>(rows.size())))
        return false;
    // Sections of an earlier, longer schedule would lie in wait behind the count.
    for (int n = static_cast<int>(rows.size());
         !settings.GetKeys(update_settings::FileSection(n)).isEmpty(); ++n)
        if (!settings.DeleteSection(update_settings::FileSection(n))) break;
    return true;
}

void CUpdateDlg::OnUpgrade() {
    if (m_list->topLevelItemCount() == 0) {
        platform::ShowMessageBox(tr("没有需要更新的文件"), this);
        return;
    }
    QList<int> ticked;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->checkState(0) == Qt::Checked) ticked << i;
    // Every row to be installed must suit this program, not only the first.
    for (int i : ticked) {
        const QString wanted = m_list->topLevelItem(i)->text(3);
        if (wanted != CUpdateChecker::kMainProgramVersion) {
            platform::ShowMessageBox(
                tr("文件对应的主程序版本与您现在所使用的主程序版本不一致，您需要升级到"
                   "\r\n最新的主程序版本--Vexmor V%1")
                    .arg(wanted),
                this);
            return;
        }
    }
    if (!ScheduleUpgrade(ticked)) {
        platform::ShowMessageBox(tr("升级设置没有写入，本次没有安排升级"), this);
        return;
    }
    QPointer<CUpdateDlg> self(this);
    platform::ShowMessageBox(tr("程序需要退出才能完成升级"), this);
    if (self) accept();
}

}  // namespace vx
