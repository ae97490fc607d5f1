#include "host/update/OnlineUpgradeDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "host/frame/DialogTemplate.h"
#include "host/update/ReportList.h"
#include "host/update/UpdateSettings.h"
#include "platform/ProfileFile.h"

namespace vx {

COnlineUpgradeDlg::COnlineUpgradeDlg(QWidget* parent, platform::HttpClient& http)
    : QDialog(parent) {
    ApplyDialogTemplate(this, 155, tr("Vexmor在线升级"), 242, 148);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* label = new QLabel(tr("更新文件列表"), this);
    QRect labelRect = du::Rect(7, 4, 49, 8);
    labelRect.setWidth(WidthForText(label->fontMetrics(), label->text(), labelRect.width(), 2));
    label->setGeometry(labelRect);
    m_list = MakeReportList(this, {{tr("文件"), 120}, {tr("大小"), 80}, {tr("进度"), 60}});
    m_list->setGeometry(du::Rect(7, 15, 228, 106));
    m_update = MakeTemplateButton(this, 1004, tr("更新"), du::Rect(131, 127, 50, 14));
    m_cancel = MakeTemplateButton(this, 2, tr("取消"), du::Rect(185, 127, 50, 14));
    connect(m_update, &QPushButton::clicked, this, &COnlineUpgradeDlg::OnUpdate);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    const platform::ProfileFile settings = platform::ProfileFile::Settings();
    const int count = settings.GetInt(update_settings::kSection, update_settings::kCountKey, 0);
    for (int i = 0; i < count; ++i) {
        const QString section = update_settings::FileSection(i);
        UpgradeFile file{settings.GetString(section, update_settings::kSourceKey, QString(),
                                            update_settings::kSourceBuffer),
                         settings.GetString(section, update_settings::kTargetKey, QString(),
                                            update_settings::kTargetBuffer)};
        // The count is text anyone can edit: a huge one would read the file
        // again for every number and hold start-up; no file past the first
        // missing section was ever scheduled.
        if (file.source.isEmpty() && file.target.isEmpty()) break;
        new QTreeWidgetItem(m_list, {file.target.mid(file.target.lastIndexOf('/') + 1)});
        m_files.append(file);
    }

    // Progress arrives on the worker thread, which the destructor joins, so
    // `this` is alive whenever it posts; the copies it carries are queued
    // and dropped by Qt if the dialog is gone by the time they would run.
    m_runner = std::make_unique<CUpgradeRunner>(http, [this](int row, quint32 total,
                                                             quint32 written) {
        QMetaObject::invokeMethod(
            this, [this, row, total, written] { OnUpgradeProgress(row, total, written); },
            Qt::QueuedConnection);
    });
}

COnlineUpgradeDlg::~COnlineUpgradeDlg() {
    m_runner->Stop();
    if (m_worker.joinable()) m_worker.join();
}

void COnlineUpgradeDlg::OnUpdate() {
    if (m_running) return;
    m_update->setEnabled(false);
    m_cancel->setEnabled(false);
    m_running = true;
    m_worker = std::thread([this, files = m_files] {
        m_runner->RunUpgrade(files);
        QMetaObject::invokeMethod(this, [this] { OnWorkerDone(); }, Qt::QueuedConnection);
    });
}

void COnlineUpgradeDlg::OnUpgradeProgress(int row, quint32 total, quint32 written) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item) return;
    if (written == CUpgradeRunner::kFailed) {
        item->setText(2, tr("更新失败"));
        return;
    }
    item->setText(1, QStringLiteral("%1B").arg(total));
    item->setText(2, QString::asprintf("%0.2f%%", total ? written * 100.0 / total : 100.0));
}

void COnlineUpgradeDlg::OnWorkerDone() {
    if (m_worker.joinable()) m_worker.join();
    m_running = false;
    QDialog::reject();
}

void COnlineUpgradeDlg::reject() {
    if (!m_running) QDialog::reject();
}

}  // namespace vx
