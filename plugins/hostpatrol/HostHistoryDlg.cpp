#include "plugins/hostpatrol/HostHistoryDlg.h"

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/Modal.h"
#include "platform/WholeFile.h"
#include "plugins/common/ListExport.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/hostpatrol/HostHistory.h"
#include "plugins/hostpatrol/HostIdentity.h"

namespace vx::hostpatrol {

QString HistoryTimeText(qint64 secs) {
    if (secs <= 0) return {};
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

CHostHistoryDlg::CHostHistoryDlg(CHostHistory* history, QWidget* parent)
    : QWidget(parent), m_history(history) {
    setFont(QFont(QStringLiteral("宋体"), 9));
    auto* label = new QLabel(tr("筛选:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(tr("IP地址、MAC地址、主机名或厂商"));
    m_filter->setClearButtonEnabled(true);
    label->setBuddy(m_filter);
    m_filter->setAccessibleName(tr("筛选"));
    // The clear button is a tool button of the edit box's own, nameless.
    for (QToolButton* button : m_filter->findChildren<QToolButton*>())
        button->setAccessibleName(tr("清除筛选"));
    m_refresh = new QPushButton(tr("刷新"), this);
    m_refresh->setObjectName(QStringLiteral("refresh"));
    m_export = new QPushButton(tr("导出列表..."), this);
    m_export->setObjectName(QStringLiteral("export"));
    m_clear = new QPushButton(tr("清除历史"), this);
    m_clear->setObjectName(QStringLiteral("clear"));

    m_devices = new CSortListCtrl(this);
    m_devices->setObjectName(QStringLiteral("devices"));
    m_devices->setAccessibleName(tr("主机历史"));
    //: Column titles with their widths in pixels; widen a column whose title needs more.
    m_devices->SetColumns(tr(
        "MAC地址,130;最近IP地址,110;主机名,120;厂商,150;首次发现,135;最近发现,135;上线次数,70;"));
    m_events = new CSortListCtrl(this);
    m_events->setObjectName(QStringLiteral("events"));
    m_events->setAccessibleName(tr("设备事件"));
    //: Column titles with their widths in pixels; widen a column whose title needs more.
    m_events->SetColumns(tr("时间,135;事件,80;IP地址,110;详情,200;"));
    for (CSortListCtrl* list : {m_devices, m_events}) {
        list->setRootIsDecorated(false);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->SetGridLines(true);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(m_filter, 1);
    top->addWidget(m_refresh);
    top->addWidget(m_export);
    top->addWidget(m_clear);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_devices);
    split->addWidget(m_events);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->addWidget(split, 1);
    layout->addLayout(top);

    connect(m_filter, &QLineEdit::textChanged, this, &CHostHistoryDlg::SetFilter);
    connect(m_refresh, &QPushButton::clicked, this, &CHostHistoryDlg::Refresh);
    connect(m_export, &QPushButton::clicked, this, &CHostHistoryDlg::OnExport);
    connect(m_clear, &QPushButton::clicked, this, &CHostHistoryDlg::OnClear);
    connect(m_devices, &QTreeWidget::itemSelectionChanged, this, &CHostHistoryDlg::OnSelection);
}

CHostHistoryDlg::~CHostHistoryDlg() = default;

void CHostHistoryDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void CHostHistoryDlg::Refresh() {
    m_history->LoadDevices(this, [this](std::vector<DeviceRow> rows) { ShowDevices(std::move(rows)); });
}

void CHostHistoryDlg::ShowDevices(std::vector<DeviceRow> rows) {
    m_rows = std::move(rows);
    Fill();
    emit DevicesLoaded();
}

void CHostHistoryDlg::SetFilter(const QString&) { Fill(); }

void CHostHistoryDlg::Fill() {
    const QString filter = m_filter->text().trimmed();
    auto matches = [&filter](const DeviceRow& d) {
        return filter.isEmpty() || d.mac.contains(filter, Qt::CaseInsensitive) ||
               d.lastAddress.contains(filter, Qt::CaseInsensitive) ||
               d.name.contains(filter, Qt::CaseInsensitive) ||
               ShownMaker(d.maker).contains(filter, Qt::CaseInsensitive);
    };
    const int sortColumn = m_devices->GetSortColumn();
    const bool ascending = m_devices->IsSortAscending();
    QList<QStringList> rows;
    for (const DeviceRow& d : m_rows) {
        if (!matches(d)) continue;
        rows.append({d.mac, d.lastAddress, d.name, ShownMaker(d.maker),
                     HistoryTimeText(d.firstSeen), HistoryTimeText(d.lastSeen),
                     QString::number(d.timesOnline)});
    }
    m_devices->setUpdatesEnabled(false);
    m_devices->clear();
    m_devices->AddRows(rows, -1);
    if (sortColumn >= 0) m_devices->SortColumn(sortColumn, ascending);
    m_devices->setUpdatesEnabled(true);
    // The selection went with the rows; find the device again.
    for (int row = 0; row < m_devices->RowCount(); ++row) {
        if (m_devices->CellText(row, 0) == m_selectedMac) {
            m_devices->setCurrentItem(m_devices->topLevelItem(row));
            return;
        }
    }
    m_events->clear();
}

void CHostHistoryDlg::OnSelection() {
    const QList<QTreeWidgetItem*> selected = m_devices->selectedItems();
    if (selected.isEmpty()) return;
    m_selectedMac = selected.first()->text(0);
    m_history->LoadEvents(m_selectedMac, this, [this](std::vector<EventRecord> events) {
        if (events.empty() ? false : events.front().mac != m_selectedMac) return;
        m_events->clear();
        for (const EventRecord& e : events) {
            m_events->AddRow({HistoryTimeText(e.time), EventKindText(e.kind), e.address, e.detail},
                             -1);
        }
        emit EventsLoaded();
    });
}

bool CHostHistoryDlg::ExportTo(const QString& path) {
    QString error;
    if (vx::platform::WriteWholeFile(path, vx::common::ToCsv(vx::common::TableOf(*m_devices, false)),
                                     &error))
        return true;
    vx::platform::ShowMessageBox(tr("导出失败: %1").arg(error), this);
    return false;
}

void CHostHistoryDlg::OnExport() {
    QPointer<CHostHistoryDlg> self(this);
    const QString path = vx::platform::ChooseSaveFile(this, tr("导出列表"),
                                                      QDir::homePath() + u'/' + tr("主机历史.csv"),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!self || path.isEmpty()) return;
    ExportTo(path);
}

void CHostHistoryDlg::OnClear() {
    QPointer<CHostHistoryDlg> self(this);
    const bool yes =
        vx::platform::AskYesNo(tr("清除全部主机历史(所有设备和事件)? 此操作不能撤销。"), this);
    if (!self || !yes) return;
    m_history->Clear(this, [this] { Refresh(); });
}

}  // namespace vx::hostpatrol
