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
#include "plugins/common/SortListView.h"
#include "plugins/hostpatrol/HistoryDeviceModel.h"
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

    // Ten thousand devices are too many for an item each: the list shows a
    // model, and only the rows on screen are ever made into texts.
    QStringList titles;
    QList<int> widths;
    //: Column titles with their widths in pixels; widen a column whose title needs more.
    const QString columns =
        tr("MAC地址,130;最近IP地址,110;主机名,120;厂商,150;首次发现,135;最近发现,135;上线次数,70;");
    for (const auto& [title, width] : CSortListCtrl::ParseColumns(columns)) {
        titles << title;
        widths << width;
    }
    m_model = new CHistoryDeviceModel(titles, this);
    m_devices = new CSortListView(this);
    m_devices->setObjectName(QStringLiteral("devices"));
    m_devices->setAccessibleName(tr("主机历史"));
    m_devices->SetModel(m_model, widths);
    m_events = new CSortListCtrl(this);
    m_events->setObjectName(QStringLiteral("events"));
    m_events->setAccessibleName(tr("设备事件"));
    //: Column titles with their widths in pixels; widen a column whose title needs more.
    m_events->SetColumns(tr("时间,135;事件,80;IP地址,110;详情,200;"));
    m_devices->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_devices->SetGridLines(true);
    m_events->setRootIsDecorated(false);
    m_events->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_events->SetGridLines(true);

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
    connect(m_devices->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CHostHistoryDlg::OnSelection);
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
    m_model->SetDevices(std::move(rows));
    Reselect();
    emit DevicesLoaded();
}

void CHostHistoryDlg::SetFilter(const QString& text) {
    m_model->SetFilter(text.trimmed());
    Reselect();
}

void CHostHistoryDlg::Reselect() {
    const int row = m_selectedMac.isEmpty() ? -1 : m_model->RowOf(m_selectedMac);
    if (row < 0) {
        m_events->clear();
        return;
    }
    m_devices->setCurrentIndex(m_model->index(row, 0));
}

void CHostHistoryDlg::OnSelection() {
    const QModelIndexList selected = m_devices->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    m_selectedMac = m_model->Device(selected.first().row()).mac;
    m_history->LoadEvents(m_selectedMac, this, [this, mac = m_selectedMac](
                                                   std::vector<EventRecord> events) {
        // An answer for a device no longer selected, or no longer listed.
        if (mac != m_selectedMac || m_model->RowOf(mac) < 0) return;
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
    if (vx::platform::WriteWholeFile(path, vx::common::ToCsv(vx::common::TableOf(*m_model)),
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
