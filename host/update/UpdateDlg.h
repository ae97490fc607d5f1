// The update dialog (156): check the update page, tick the components
// wanted, and schedule their download for the next start ("升级").
#pragma once

#include <QDialog>
#include <QList>

#include <functional>

#include "host/update/UpdateInfo.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vx {

namespace platform {
class HttpClient;
}

class CUpdateDlg : public QDialog {
    Q_OBJECT
public:
    // Where a failed check says why (the output log); may be empty.
    using LogFn = std::function<void(const QString&)>;
    explicit CUpdateDlg(QWidget* parent = nullptr, LogFn log = {});
    ~CUpdateDlg() override;

    void OnCheckUpdate();  // 1004 "检查更新"
    void OnUpgrade();      // 1005 "升级"

    QTreeWidget* List() const { return m_list; }
    QLineEdit* UrlEdit() const { return m_url; }
    QLabel* Status() const { return m_status; }
    QPushButton* UpgradeButton() const { return m_upgrade; }

private:
    void ClearRows();
    // Writes the rows as the files of the next start's upgrade; false, with
    // the count unchanged, when any value would not read back as written or
    // any write fails.
    bool ScheduleUpgrade(const QList<int>& rows);

    QTreeWidget* m_list;  // 1002
    QLineEdit* m_url;     // 1010
    QLabel* m_status;     // 1009
    QPushButton* m_upgrade;
    QList<ComponentRecord> m_records;  // one copy per list row, row order
    LogFn m_log;
};

}  // namespace vx
