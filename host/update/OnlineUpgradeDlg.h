// The online upgrade dialog (155), run at start-up before any plug-in is
// loaded when an upgrade is scheduled: "更新" downloads every file on a
// worker thread, shows its progress and closes itself when all are done.
#pragma once

#include <QDialog>
#include <QList>

#include <memory>
#include <thread>

#include "host/update/UpgradeRunner.h"

class QPushButton;
class QTreeWidget;

namespace vx {

class COnlineUpgradeDlg : public QDialog {
    Q_OBJECT
public:
    explicit COnlineUpgradeDlg(QWidget* parent = nullptr,
                               platform::HttpClient& http = platform::DefaultHttpClient());
    // Stops and waits for the worker, whatever ended the dialog.
    ~COnlineUpgradeDlg() override;

    void OnUpdate();  // 1004 "更新"
    // On the UI thread, for each progress report of the worker.
    void OnUpgradeProgress(int row, quint32 total, quint32 written);

    // While the worker runs, the dialog stays: it closes itself at the end.
    void reject() override;

    QTreeWidget* List() const { return m_list; }
    const QList<UpgradeFile>& Files() const { return m_files; }

private:
    void OnWorkerDone();

    QTreeWidget* m_list;  // 1002
    QPushButton* m_update;
    QPushButton* m_cancel;
    QList<UpgradeFile> m_files;  // one per row
    std::unique_ptr<CUpgradeRunner> m_runner;
    std::thread m_worker;
    bool m_running = false;
};

}  // namespace vx
