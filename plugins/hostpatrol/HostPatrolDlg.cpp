#include "plugins/hostpatrol/HostPatrolDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QShortcut>
#include <QTreeWidget>

#include "contract/TaskContract.h"
#include "contract/ToolContract.h"
#include "platform/ContextMenu.h"
#include "platform/ControlId.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/Modal.h"
#include "platform/WholeFile.h"
#include "plugins/common/ListExport.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/TextRoom.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostIdentity.h"
#include "plugins/hostpatrol/HostPatrolTool.h"
#include "plugins/hostpatrol/HostProbeTask.h"
#include "plugins/hostpatrol/PatrolEngine.h"

namespace vx::hostpatrol {
namespace {

// Where a row keeps its image index, so the tick can count online rows.
constexpr int kImageRole = Qt::UserRole + 0x7E0;

using platform::Numbered;

// The widest the count line gets: every address of the /24 online.
constexpr int kMostHosts = 254;

}  // namespace

int& PatrolTickCounter() {
    static int ticks = 0;
    return ticks;
}

QString CHostPatrolDlg::StartText() { return tr("开始"); }
QString CHostPatrolDlg::StopText() { return tr("停止"); }

QString CHostPatrolDlg::CountText(int online, int most) {
    return tr("在线主机数=%1,最大时=%2").arg(online).arg(most);
}

CHostPatrolDlg::CHostPatrolDlg(CHostPatrolTool* tool, QWidget* parent)
    : QWidget(parent), m_tool(tool), m_engine(tool->Engine()), m_identity(tool->Identity()) {
    setFont(QFont(QStringLiteral("宋体"), 9));
    m_list = Numbered(new CSortListCtrl(this), kIdList);
    m_intervalLabel = Numbered(new QLabel(tr("巡测间隔(秒)"), this), kIdIntervalLabel);
    m_intervalEdit = Numbered(new QLineEdit(QString::number(m_interval), this), kIdInterval);
    // The edit box and the list have no text of their own for a screen reader.
    m_intervalLabel->setBuddy(m_intervalEdit);
    m_intervalEdit->setAccessibleName(m_intervalLabel->text());
    m_intervalEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_shareBox = Numbered(new QCheckBox(tr("巡测共享资源"), this), kIdShareOption);
    m_countLine = Numbered(new QLabel(CountText(0, 0), this), kIdCountLine);
    m_helpButton = Numbered(new QPushButton(tr("使用说明"), this), kIdHelp);
    m_startButton = Numbered(new QPushButton(StartText(), this), kIdStartStop);

    m_list->setAccessibleName(tr("主机巡测"));
    //: Column titles with their widths in pixels; widen a column whose title needs more.
    m_list->SetColumns(
        tr("IP地址,120;MAC地址,120;最近扫描时间,120;共享资源,200;主机名,120;厂商,150;"));
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

    connect(m_identity, &CHostIdentity::Identified, this, &CHostPatrolDlg::OnIdentified);

    // Taking the list along: Ctrl+C, and a context menu that the Menu key
    // (a context-menu event of its own) and Shift+F10 open from the keyboard.
    auto* copy = new QAction(m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &CHostPatrolDlg::CopySelection);
    m_list->addAction(copy);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        ShowListMenu(m_list->viewport()->mapToGlobal(pos));
    });
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), m_list);
    menuKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QRect current = m_list->visualItemRect(m_list->currentItem());
        ShowListMenu(m_list->viewport()->mapToGlobal(current.isValid() ? current.center()
                                                                      : QPoint(0, 0)));
    });

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
        const bool answered = vx::platform::ShowMessageBox(tr("请输入一个整数。"), this);
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
        row = m_list->AddRow({address, result.mac, result.time, QString(), QString(), QString()},
                             kImageOnline);
        if (row < 0) return;
        SetRowImage(row, kImageOnline);
        auto* entry = new HostEntry{address, result.shares, 3};
        if (!m_list->SetRowData(row, entry)) {
            delete entry;
            return;
        }
        UpdateRowDetails(row);
    }
    HostEntry* entry = Entry(row);
    const bool wasDown = m_offline.contains(address);

    if (!result.Answered()) {
        if (entry->remainingMisses > 0) {
            --entry->remainingMisses;
            return;
        }
        if (wasDown) return;
        Output()->ShowMsg(tr("%1下线了").arg(address));
        m_offline.append(address);
        entry->knownShares.clear();
        m_list->SetCellText(row, 3, JoinShares(result.shares));
        SetRowImage(row, kImageOffline);
        return;
    }

    if (wasDown) {
        Output()->ShowMsg(tr("%1上线了").arg(address));
        m_offline.removeOne(address);
    }
    if (m_list->CellText(row, kColMac) != result.mac) {
        // Another card answers for the address: what was known was of the old one.
        m_list->SetCellText(row, kColName, QString());
        m_list->SetCellText(row, kColMaker, QString());
    }
    m_list->SetCellText(row, 1, result.mac);
    m_list->SetCellText(row, 2, result.time);
    m_list->SetCellText(row, 3, JoinShares(result.shares));
    SetRowImage(row, kImageOnline);
    UpdateRowDetails(row);
    m_identity->Identify(address, result.mac);
    entry->remainingMisses = 3;
    for (const QString& share : result.shares) {
        if (entry->knownShares.contains(share)) continue;
        entry->knownShares.append(share);
        Output()->ShowMsg(tr("%1共享了--%2").arg(address, share));
    }
}

void CHostPatrolDlg::OnIdentified(const QString& address, const QString& mac, const QString& name,
                                  const QString& storedMaker) {
    const QString maker = ShownMaker(storedMaker);
    const int row = FindRow(address);
    if (row < 0 || m_list->CellText(row, kColMac) != mac) return;
    if (m_list->CellText(row, kColName) == name && m_list->CellText(row, kColMaker) == maker)
        return;
    m_list->SetCellText(row, kColName, name);
    m_list->SetCellText(row, kColMaker, maker);
    UpdateRowDetails(row);
}

void CHostPatrolDlg::UpdateRowDetails(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item) return;
    QStringList lines;
    for (int column : {kColAddress, kColMac, kColName, kColMaker, kColTime, kColShares}) {
        const QString text = m_list->CellText(row, column);
        if (!text.isEmpty()) lines << tr("%1：%2").arg(m_list->headerItem()->text(column), text);
    }
    const QString tip = lines.join(u'\n');
    for (int column = 0; column < m_list->ColumnCount(); ++column) item->setToolTip(column, tip);
}

void CHostPatrolDlg::CopySelection() {
    const common::ListTable table = common::TableOf(*m_list, true);
    if (table.rows.isEmpty()) return;
    QGuiApplication::clipboard()->setText(common::ToTabText(table));
}

bool CHostPatrolDlg::ExportTo(const QString& path) {
    QString error;
    if (platform::WriteWholeFile(path, common::ToCsv(common::TableOf(*m_list, false)), &error))
        return true;
    platform::ShowMessageBox(
        tr("导出列表失败：%1\r\n%2").arg(QDir::toNativeSeparators(path), error), this);
    return false;
}

void CHostPatrolDlg::OnExport() {
    QPointer<CHostPatrolDlg> self(this);
    const QString path =
        platform::ChooseSaveFile(this, tr("导出列表"), QDir::home().filePath(tr("主机巡测.csv")),
                                 QStringLiteral("CSV (*.csv)"));
    if (!self || path.isEmpty()) return;
    ExportTo(path);
}

void CHostPatrolDlg::ShowListMenu(const QPoint& globalPos) {
    if (!m_listMenu) {
        // Made once and opened without a loop of its own, so an exit while
        // it shows finds nothing waiting on it.
        m_listMenu = new QMenu(this);
        m_copyAction = m_listMenu->addAction(tr("复制"));
        connect(m_copyAction, &QAction::triggered, this, &CHostPatrolDlg::CopySelection);
        m_exportAction = m_listMenu->addAction(tr("导出列表..."));
        // Queued: the save dialog runs after the menu has gone.
        connect(m_exportAction, &QAction::triggered, this, &CHostPatrolDlg::OnExport,
                Qt::QueuedConnection);
    }
    m_copyAction->setEnabled(!m_list->selectedItems().isEmpty());
    m_exportAction->setEnabled(m_list->RowCount() > 0);
    platform::PopupContextMenu(m_listMenu, m_list, globalPos);
}

void CHostPatrolDlg::OnStartStop() {
    if (m_startButton->text() == StartText()) {
        // The makers are wanted from the first answer on: the registry is
        // read while the sweep runs.
        m_identity->LoadRegistry();
        QPointer<CHostPatrolDlg> self(this);
        StartSweep(false);
        if (!self || m_closing) return;
        m_timer.start();
        m_startButton->setText(StopText());
        m_shareBox->setEnabled(false);
    } else {
        m_timer.stop();
        m_startButton->setText(StartText());
        m_shareBox->setEnabled(true);
    }
}

void CHostPatrolDlg::OnTimer() {
    int online = 0;
    for (int row = 0; row < m_list->RowCount(); ++row)
        if (RowImage(row) == kImageOnline) ++online;
    if (online > m_maxOnline) m_maxOnline = online;
    m_countLine->setText(CountText(online, m_maxOnline));
    StartSweep(true);
}

void CHostPatrolDlg::OnHelp() {
    vx::platform::ShowMessageBox(tr("本功主要实现在本地连接网段内定时扫描计算机和共享资源，\r\n"
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
    common::CTextRow left;
    left.Place(m_intervalLabel, {2, h - 18, 75, 21});
    left.Place(m_intervalEdit, {80, h - 23, 50, 21});
    left.Place(m_shareBox, {133, h - 23, 90, 21});
    left.Place(m_countLine, {225, h - 18, 160, 21}, {CountText(kMostHosts, kMostHosts)});
    common::CTextRow right(common::CTextRow::kRight);
    right.Place(m_startButton, {w - 77, h - 23, 75, 21}, {StartText(), StopText()});
    right.Place(m_helpButton, {w - 154, h - 23, 75, 21});
}

}  // namespace vx::hostpatrol
