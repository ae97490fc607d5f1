#include "plugins/hostpatrol/HostPatrolDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QTreeWidget>

#include "contract/TaskContract.h"
#include "contract/ToolContract.h"
#include "platform/ControlId.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolEngine.h"

namespace vx::hostpatrol {
namespace {

// Where a row keeps its image index, so the tick can count online rows.
constexpr int kImageRole = Qt::UserRole + 0x7E0;

using platform::Numbered;

const QString kStart = QStringLiteral("开始");
const QString kStop = QStringLiteral("停止");

}  // namespace

int& PatrolTickCounter() {
    static int ticks = 0;
    return ticks;
}

CHostPatrolDlg::CHostPatrolDlg(CHostPatrolTool* tool, QWidget* parent)
    : QWidget(parent), m_tool(tool), m_engine(tool->Engine()) {
    setFont(QFont(QStringLiteral("宋体"), 9));
    m_list = Numbered(new CSortListCtrl(this), kIdList);
    m_intervalLabel = Numbered(new QLabel(QStringLiteral("巡测间隔(秒)"), this), kIdIntervalLabel);
    m_intervalEdit = Numbered(new QLineEdit(QString::number(m_interval), this), kIdInterval);
    // The edit box and the list have no text of their own for a screen reader.
    m_intervalLabel->setBuddy(m_intervalEdit);
    m_intervalEdit->setAccessibleName(m_intervalLabel->text());
    m_intervalEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_shareBox = Numbered(new QCheckBox(QStringLiteral("巡测共享资源"), this), kIdShareOption);
    m_countLine = Numbered(new QLabel(QStringLiteral("在线主机数=0,最大时=0"), this), kIdCountLine);
    m_helpButton = Numbered(new QPushButton(QStringLiteral("使用说明"), this), kIdHelp);
    m_startButton = Numbered(new QPushButton(kStart, this), kIdStartStop);

    m_list->setAccessibleName(QStringLiteral("主机巡测"));
    m_list->SetColumns(QStringLiteral("IP地址,120;MAC地址,120;最近扫描时间,120;共享资源,200;"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->SetGridLines(true);
    m_list->setIconSize(QSize(16, 16));
    m_rowIcons = {QIcon(QStringLiteral(":/hostpatrol/online.svg")),
                  QIcon(QStringLiteral(":/hostpatrol/offline.svg"))};
    m_list->SetImageList(m_rowIcons);

    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CHostPatrolDlg::OnTimer);
    connect(m_startButton, &QPushButton::clicked, this, &CHostPatrolDlg::OnStartStop);
    connect(m_helpButton, &QPushButton::clicked, this, &CHostPatrolDlg::OnHelp);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CHostPatrolDlg::OnOpenShares);

    m_engine->SetPage(this);
}

CHostPatrolDlg::~CHostPatrolDlg() {
    m_timer.stop();
    for (int row = 0; row < m_list->RowCount(); ++row) {
        delete Entry(row);
        m_list->SetRowData(row, nullptr);
    }
}

::CTaskManager* CHostPatrolDlg::TaskManager() const { return m_tool->Context()->taskManager; }
::CHostOutput* CHostPatrolDlg::Output() const { return m_tool->Context()->hostOutput; }

HostEntry* CHostPatrolDlg::Entry(int row) const {
    return static_cast<HostEntry*>(m_list->GetRowData(row));
}

int CHostPatrolDlg::RowImage(int row) const {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->data(0, kImageRole).toInt() : -1;
}

void CHostPatrolDlg::SetRowImage(int row, int image) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item) return;
    item->setData(0, kImageRole, image);
    item->setIcon(0, m_rowIcons.value(image));
}

int CHostPatrolDlg::FindRow(const QString& address) const {
    for (int row = 0; row < m_list->RowCount(); ++row) {
        const HostEntry* entry = Entry(row);
        if (entry && entry->address == address) return row;
    }
    return -1;
}

bool CHostPatrolDlg::UpdateData() {
    bool ok = false;
    const int interval = m_intervalEdit->text().toInt(&ok);
    if (!ok) {
        // The box runs a nested event loop in which the timer keeps ticking;
        // those ticks must not stack up further boxes. Exit may end the box,
        // and a host that destroys the page under it may have done so.
        QPointer<CHostPatrolDlg> self(this);
        m_exchangeBoxOpen = true;
        const bool answered =
            vx::platform::ShowMessageBox(QStringLiteral("请输入一个整数。"), this);
        if (!self) return false;
        m_exchangeBoxOpen = false;
        if (!answered) {
            // The program is closing: no sweep may start after this.
            m_closing = true;
            m_timer.stop();
            return false;
        }
        m_intervalEdit->setFocus();
        return false;
    }
    m_interval = interval;
    m_shareOption = m_shareBox->isChecked() ? 1 : 0;
    return true;
}

void CHostPatrolDlg::StartSweep(bool fromTimer) {
    if (m_exchangeBoxOpen || m_closing) return;
    ::CTaskManager* manager = TaskManager();
    if (manager->GetTaskCount(kProbeTypeName) > 0) return;
    QPointer<CHostPatrolDlg> self(this);
    UpdateData();
    if (!self || m_closing) return;
    if (fromTimer) {
        int& ticks = PatrolTickCounter();
        if (++ticks < m_interval) return;
        ticks = 0;
    }
    const QString prefix = m_engine->SubnetPrefix();
    if (prefix.isEmpty()) return;
    QStringList addresses;
    for (int i = 1; i <= 254; ++i) addresses << QStringLiteral("%1.%2").arg(prefix).arg(i);
    // Every address is asked at once; each task reads its own answer.
    const std::shared_ptr<ISweepTable> sweep = m_engine->Probe().BeginSweep(addresses);
    for (const QString& address : addresses)
        manager->AddTask(new CHostProbeTask(manager, m_engine, address, m_shareOption != 0, sweep));
    if (m_history) m_history->SweepQueued(int(addresses.size()));
}

void CHostPatrolDlg::ApplyScanResult(const HostScanResult& result) {
    if (m_history) m_history->ResultApplied(result);
    const QString& address = result.address;
    int row = FindRow(address);
    if (row < 0) {
        if (!result.Answered()) {
            if (!m_offline.contains(address)) m_offline.append(address);
            return;
        }
        row = m_list->AddRow({address, result.mac, result.time, QString()}, kImageOnline);
        if (row < 0) return;
        SetRowImage(row, kImageOnline);
        auto* entry = new HostEntry{address, result.shares, 3};
        if (!m_list->SetRowData(row, entry)) {
            delete entry;
            return;
        }
    }
    HostEntry* entry = Entry(row);
    const bool wasDown = m_offline.contains(address);

    if (!result.Answered()) {
        if (entry->remainingMisses > 0) {
            --entry->remainingMisses;
            return;
        }
        if (wasDown) return;
        Output()->ShowMsg(address + QStringLiteral("下线了"));
        m_offline.append(address);
        entry->knownShares.clear();
        m_list->SetCellText(row, 3, JoinShares(result.shares));
        SetRowImage(row, kImageOffline);
        return;
    }

    if (wasDown) {
        Output()->ShowMsg(address + QStringLiteral("上线了"));
        m_offline.removeOne(address);
    }
    m_list->SetCellText(row, 1, result.mac);
    m_list->SetCellText(row, 2, result.time);
    m_list->SetCellText(row, 3, JoinShares(result.shares));
    SetRowImage(row, kImageOnline);
    entry->remainingMisses = 3;
    for (const QString& share : result.shares) {
        if (entry->knownShares.contains(share)) continue;
        entry->knownShares.append(share);
        Output()->ShowMsg(address + QStringLiteral("共享了--") + share);
    }
}

void CHostPatrolDlg::OnStartStop() {
    if (m_startButton->text() == kStart) {
        QPointer<CHostPatrolDlg> self(this);
        StartSweep(false);
        if (!self || m_closing) return;
        m_timer.start();
        m_startButton->setText(kStop);
        m_shareBox->setEnabled(false);
    } else {
        m_timer.stop();
        m_startButton->setText(kStart);
        m_shareBox->setEnabled(true);
    }
}

void CHostPatrolDlg::OnTimer() {
    int online = 0;
    for (int row = 0; row < m_list->RowCount(); ++row)
        if (RowImage(row) == kImageOnline) ++online;
    if (online > m_maxOnline) m_maxOnline = online;
    m_countLine->setText(QStringLiteral("在线主机数=%1,最大时=%2").arg(online).arg(m_maxOnline));
    StartSweep(true);
}

void CHostPatrolDlg::OnHelp() {
    vx::platform::ShowMessageBox(
        QStringLiteral("本功主要实现在本地连接网段内定时扫描计算机和共享资源，\r\n"
                       "如果有计算机开机、关机或共享文件夹时，将实时通知。\r\n"
                       "注意：如果扫描一次的时间很长时，建议关闭巡测共享资源。"),
        this);
}

void CHostPatrolDlg::OnOpenShares() {
    for (int row = 0; row < m_list->RowCount(); ++row) {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (item && item->isSelected()) {
            vx::platform::OpenUrl(vx::platform::HostSharesUrl(m_list->CellText(row, 0)));
            return;
        }
    }
}

void CHostPatrolDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    m_list->setGeometry(0, 0, w, h - 25);
    m_intervalLabel->setGeometry(2, h - 18, 75, 21);
    m_intervalEdit->setGeometry(80, h - 23, 50, 21);
    m_shareBox->setGeometry(133, h - 23, 90, 21);
    m_countLine->setGeometry(225, h - 18, 160, 21);
    m_helpButton->setGeometry(w - 154, h - 23, 75, 21);
    m_startButton->setGeometry(w - 77, h - 23, 75, 21);
}

}  // namespace vx::hostpatrol
