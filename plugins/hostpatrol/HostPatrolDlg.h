// The host patrol page: the host list, the interval and share option, the
// start/stop button and the online count.
#pragma once

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "plugins/hostpatrol/HostProbe.h"

class CSortListCtrl;
class CTaskManager;
class CHostOutput;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace vx::hostpatrol {

class CHostHistory;
class CHostIdentity;
class CHostPatrolTool;
class CPatrolEngine;

// The row data of one host in the list, owned by the page.
struct HostEntry {
    QString address;
    QStringList knownShares;  // reported during the host's current online period
    int remainingMisses = 3;  // unanswered probes still absorbed before "下线了"
};

// Rows' images.
enum HostImage { kImageOnline = 0, kImageOffline = 1 };

// The list's columns: the four the page always had, then who the host is.
enum HostColumn { kColAddress, kColMac, kColTime, kColShares, kColName, kColMaker };

// The timer ticks counted towards the next sweep, shared by every page of the
// loaded library and reset only when it triggers a sweep. UI thread only.
int& PatrolTickCounter();

class CHostPatrolDlg final : public QWidget {
    Q_OBJECT
public:
    enum ControlId {
        kIdList = 1000,
        kIdShareOption = 1001,
        kIdInterval = 1002,
        kIdIntervalLabel = 1003,
        kIdStartStop = 1004,
        kIdCountLine = 1005,
        kIdHelp = 1006,
    };

    // Created hidden under `parent`; the tool's context gives the task
    // manager and the output, the tool's engine runs the probes.
    CHostPatrolDlg(CHostPatrolTool* tool, QWidget* parent);
    ~CHostPatrolDlg() override;

    // Queues a sweep of the local /24 unless one is still in the task
    // manager. From the timer, only every interval-th idle tick sweeps.
    void StartSweep(bool fromTimer);
    // Turns one probe result into row changes and messages.
    void ApplyScanResult(const HostScanResult& result);
    // Where every queued sweep and applied result is also told (null: nowhere).
    void SetHistory(CHostHistory* history) { m_history = history; }

    // The handlers, callable directly (tests drive the clock themselves).
    void OnStartStop();
    void OnTimer();
    void OnHelp();
    void OnOpenShares();
    // A report from the host identity: the row of `address`, if it still
    // holds `mac`, shows the name and the maker.
    void OnIdentified(const QString& address, const QString& mac, const QString& name,
                      const QString& maker);
    // The selected rows, with the titles, onto the clipboard as tab text.
    void CopySelection();
    // Every row, in the order shown, as CSV into `path`, whole or not at all;
    // false (with a box saying so) when the file could not be written.
    bool ExportTo(const QString& path);
    // "导出列表...": asks where, then ExportTo.
    void OnExport();
    // The list's context menu at `globalPos` (built fresh, run, deleted).
    void ShowListMenu(const QPoint& globalPos);

    // The button's two texts and the count line, as shown.
    static QString StartText();
    static QString StopText();
    static QString CountText(int online, int most);

    int Interval() const { return m_interval; }
    bool ShareOption() const { return m_shareOption != 0; }
    const QStringList& OfflineList() const { return m_offline; }
    int MaxOnline() const { return m_maxOnline; }
    bool IsPatrolling() const { return m_timer.isActive(); }
    CSortListCtrl* List() const { return m_list; }
    HostEntry* Entry(int row) const;
    int RowImage(int row) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Controls to fields; false (with a message box) when the interval is
    // not a number, which then keeps its value and the share option too.
    bool UpdateData();
    int FindRow(const QString& address) const;
    void SetRowImage(int row, int image);
    // The row's tooltip: everything the page knows of the host.
    void UpdateRowDetails(int row);
    ::CTaskManager* TaskManager() const;
    ::CHostOutput* Output() const;

    CHostPatrolTool* m_tool;  // not owned
    CPatrolEngine* m_engine;  // not owned; outlives the page
    CHostHistory* m_history = nullptr;  // not owned; outlives the page
    CHostIdentity* m_identity;  // not owned; outlives the page
    CSortListCtrl* m_list;
    QMenu* m_listMenu = nullptr;  // made on first use
    QAction* m_copyAction = nullptr;
    QAction* m_exportAction = nullptr;
    QLabel* m_intervalLabel;
    QLineEdit* m_intervalEdit;
    QCheckBox* m_shareBox;
    QLabel* m_countLine;
    QPushButton* m_helpButton;
    QPushButton* m_startButton;
    QTimer m_timer;
    QList<QIcon> m_rowIcons;  // by HostImage

    int m_interval = 15;
    int m_shareOption = 0;
    QStringList m_offline;
    int m_maxOnline = 0;
    bool m_exchangeBoxOpen = false;
    bool m_closing = false;  // exit ended a box of this page; no more sweeps
};

}  // namespace vx::hostpatrol
