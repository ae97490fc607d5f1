#include "plugins/sharesetter/ShareSetterDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>

#include <algorithm>
#include <iterator>

#include "contract/ToolContract.h"
#include "platform/ContextMenu.h"
#include "platform/ControlId.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/Modal.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/common/TextRoom.h"
#include "plugins/common/ToolSettings.h"
#include "plugins/sharesetter/ShareOps.h"
#include "plugins/sharesetter/ShareSetterTool.h"

namespace vx::sharesetter {
namespace {

using platform::Numbered;

struct Duration {
    const char* text;  // translated where shown
    int seconds;
};
constexpr Duration kDurations[] = {
    {QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "无限制"), -1},
    {QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "30分钟"), 1800},
    {QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "2小时"), 7200},
    {QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "6小时"), 21600},
    {QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "24小时"), 86400},
};

// The folder of a share taken over from the machine. Stored as it is with
// the share's name; translated only where shown.
const char* const kUnknownPath = QT_TRANSLATE_NOOP("vx::sharesetter::CShareSetterDlg", "未知");
const QString kCountKey = QStringLiteral("共享资源数");
QString ShareKey(int i) { return QStringLiteral("共享资源%1").arg(i); }

}  // namespace

CShareSetterDlg::CShareSetterDlg(CShareSetterTool* tool, QWidget* parent)
    : QWidget(parent), m_tool(tool) {
    setObjectName(QStringLiteral("1000"));
    setProperty("vxId", 1000);
    setFont(QFont(QStringLiteral("宋体"), 9));
    m_list = Numbered(new CSortListCtrl(this), kIdList);
    m_folderLabel = Numbered(new QLabel(tr("共享目录"), this), kIdFolderLabel);
    m_folderEdit = Numbered(new QLineEdit(this), kIdFolder);
    m_browseButton = Numbered(new QPushButton(QStringLiteral("..."), this), kIdBrowse);
    m_durationLabel = Numbered(new QLabel(tr("共享时间"), this), kIdDurationLabel);
    m_durationBox = Numbered(new QComboBox(this), kIdDuration);
    m_addButton = Numbered(new QPushButton(tr("添加共享"), this), kIdAdd);
    m_helpButton = Numbered(new QPushButton(tr("使用说明"), this), kIdHelp);
    // Controls without text of their own, for a screen reader.
    m_folderLabel->setBuddy(m_folderEdit);
    m_folderEdit->setAccessibleName(m_folderLabel->text());
    m_durationLabel->setBuddy(m_durationBox);
    m_durationBox->setAccessibleName(m_durationLabel->text());
    m_browseButton->setAccessibleName(tr("请选择文件夹"));
    m_list->setAccessibleName(tr("设置共享资源"));

    //: Column titles with their widths in pixels; widen a column whose title needs more.
    m_list->SetColumns(tr("共享名称,150;文件夹路径,150;共享时间,120"));
    m_list->setRootIsDecorated(false);
    m_list->SetGridLines(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setIconSize(QSize(16, 16));
    m_list->SetImageList({QIcon(QStringLiteral(":/sharesetter/tool.svg"))});
    for (const Duration& d : kDurations) m_durationBox->addItem(tr(d.text));
    m_durationBox->setCurrentIndex(0);

    // Named apart from button 1002, which shares the menu's number.
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("menu1002"));
    m_menu->setProperty("vxId", int(kIdMenu));
    const auto addItem = [this](int id, const QString& text, void (CShareSetterDlg::*slot)()) {
        QAction* action = Numbered(m_menu->addAction(text), id);
        connect(action, &QAction::triggered, this, slot);
    };
    addItem(kIdDeleteShare, tr("删除共享"), &CShareSetterDlg::OnDeleteShare);
    m_menu->addSeparator();
    addItem(kIdOpenFolder, tr("打开共享目录"), &CShareSetterDlg::OnOpenFolder);
    addItem(kIdMachineShares, tr("本机所有共享"), &CShareSetterDlg::OnMachineShares);
    addItem(kIdUnlimited, tr("修改为无限制"), &CShareSetterDlg::OnUnlimited);
    // Only a click on the list opens the menu, also when no row is selected.
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        vx::platform::PopupContextMenu(m_menu, m_list, m_list->viewport()->mapToGlobal(pos));
    });

    connect(m_addButton, &QPushButton::clicked, this, &CShareSetterDlg::OnAddShare);
    connect(m_browseButton, &QPushButton::clicked, this, &CShareSetterDlg::OnBrowse);
    connect(m_helpButton, &QPushButton::clicked, this, &CShareSetterDlg::OnHelp);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CShareSetterDlg::OnOpenFolder);

    LoadShares();
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CShareSetterDlg::OnTimer);
    m_timer.start();
}

// Shares stay on the machine and nothing is saved: the next start brings the
// list back, unlimited, as the usage notes say.
CShareSetterDlg::~CShareSetterDlg() {
    m_timer.stop();
    for (int row = 0; row < m_list->RowCount(); ++row) {
        delete Entry(row);
        m_list->SetRowData(row, nullptr);
    }
}

CHostOutput* CShareSetterDlg::Output() const { return m_tool->Context()->hostOutput; }

ShareEntry* CShareSetterDlg::Entry(int row) const {
    return static_cast<ShareEntry*>(m_list->GetRowData(row));
}

QString CShareSetterDlg::FormatDuration(int seconds) {
    if (seconds < 0) return tr(kDurations[0].text);
    QString text;
    if (seconds >= 3600) text += tr("%1小时").arg(seconds / 3600);
    if (seconds >= 60) text += tr("%1分").arg(seconds % 3600 / 60);
    return text + tr("%1秒").arg(seconds % 60);
}

int CShareSetterDlg::AppendRow(ShareEntry* entry) {
    const QString folder =
        entry->folderPath == QString::fromUtf8(kUnknownPath) ? tr(kUnknownPath) : entry->folderPath;
    const int row =
        m_list->AddRow({entry->shareName, folder, FormatDuration(entry->secondsLeft)}, 0);
    if (row < 0 || !m_list->SetRowData(row, entry)) {
        m_list->DeleteRow(row);
        delete entry;
        return -1;
    }
    return row;
}

int CShareSetterDlg::FindShareRow(const QString& name) const {
    for (int row = 0; row < m_list->RowCount(); ++row) {
        const ShareEntry* entry = Entry(row);
        if (entry && entry->shareName == name) return row;
    }
    return -1;
}

int CShareSetterDlg::FirstSelectedRow() const {
    for (int row = 0; row < m_list->RowCount(); ++row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (item && item->isSelected()) return row;
    }
    return -1;
}

void CShareSetterDlg::SaveShares() {
    CToolSettings* settings = CToolSettings::Get();
    if (!settings) return;
    const int count = m_list->RowCount();
    settings->WriteInt(kCountKey, count);
    for (int row = 0; row < count; ++row) {
        const ShareEntry* entry = Entry(row);
        if (!entry) continue;
        settings->WriteString(ShareKey(row), entry->shareName + u'*' + entry->folderPath);
    }
}

// Share names never hold '*' (the share layer refuses them), so splitting at
// the first one also reads back a path that holds '*'.
void CShareSetterDlg::LoadShares() {
    CToolSettings* settings = CToolSettings::Get();
    if (!settings) return;
    int count = 0;
    settings->GetInt(kCountKey, count, 0);
    // The count is text anyone can edit: the list ends at the first missing
    // key (a line break never reads back from the file, so it marks one), or
    // a huge count would hold the window back while rows pile up.
    const QString missing = QStringLiteral("\n");
    for (int i = 0; i < count; ++i) {
        QString value;
        settings->GetString(ShareKey(i), value, missing);
        if (value == missing) break;
        const qsizetype star = value.indexOf(u'*');
        auto* entry = new ShareEntry;
        entry->shareName = star < 0 ? QString() : value.left(star);
        entry->folderPath = star < 0 ? value : value.mid(star + 1);
        AppendRow(entry);
    }
}

void CShareSetterDlg::OnAddShare() {
    const QString path = m_folderEdit->text();
    const QString name = ShareNameFromPath(path);
    if (!AddShare(*m_tool->Services().shares, Output(), path, name)) {
        vx::platform::ShowMessageBox(tr("添加共享失败"), this);
        return;
    }
    const int index = std::clamp(m_durationBox->currentIndex(), 0, int(std::size(kDurations)) - 1);
    if (AppendRow(new ShareEntry{name, path, kDurations[index].seconds}) >= 0) SaveShares();
}

void CShareSetterDlg::RemoveShareRow(int row) {
    ShareEntry* entry = Entry(row);
    if (!entry) return;
    const bool deleted = DeleteShare(*m_tool->Services().shares, entry->shareName);
    Output()->OutputMsg(
        (deleted ? tr("删除共享%1成功") : tr("删除共享%1失败")).arg(entry->shareName));
    m_list->SetRowData(row, nullptr);
    m_list->DeleteRow(row);
    delete entry;
    SaveShares();
}

void CShareSetterDlg::OnTimer() {
    for (int row = 0; row < m_list->RowCount();) {
        ShareEntry* entry = Entry(row);
        if (entry && entry->secondsLeft == 0) {
            RemoveShareRow(row);  // the rows below moved up: look at this index again
            continue;
        }
        if (entry && entry->secondsLeft > 0) {
            --entry->secondsLeft;
            m_list->SetCellText(row, 2, FormatDuration(entry->secondsLeft));
        }
        ++row;
    }
}

void CShareSetterDlg::OnDeleteShare() {
    const int row = FirstSelectedRow();
    if (row >= 0) RemoveShareRow(row);
}

void CShareSetterDlg::OnOpenFolder() {
    const ShareEntry* entry = Entry(FirstSelectedRow());
    if (entry) vx::platform::OpenUrl(QUrl::fromLocalFile(entry->folderPath));
}

void CShareSetterDlg::OnUnlimited() {
    const int row = FirstSelectedRow();
    ShareEntry* entry = Entry(row);
    if (!entry) return;
    entry->secondsLeft = -1;
    m_list->SetCellText(row, 2, FormatDuration(-1));
}

void CShareSetterDlg::OnMachineShares() {
    const QStringList names = m_tool->Services().machineShares();
    for (const QString& name : names) {
        if (FindShareRow(name) >= 0) continue;
        AppendRow(new ShareEntry{name, QString::fromUtf8(kUnknownPath), -1});
    }
    SaveShares();
}

void CShareSetterDlg::OnBrowse() {
    QPointer<CShareSetterDlg> self(this);
    const QString folder = vx::platform::ChooseFolder(this, tr("请选择文件夹"));
    if (!self || folder.isEmpty()) return;
    m_folderEdit->setText(folder);
}

void CShareSetterDlg::OnHelp() {
    vx::platform::ShowMessageBox(
        tr("在程序退出时，所有共享资源的共享时间都将被设置为\"无限制\",\r\n"
           "在共享资源列表内右击，选择删除共享,可以取消指定的共享。"),
        this);
}

void CShareSetterDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int cx = event->size().width();
    const int cy = event->size().height();
    m_list->setGeometry(0, 0, cx, cy - 25);
    vx::common::CTextRow row;
    row.Place(m_folderLabel, {2, cy - 17, 50, 15});
    row.Place(m_folderEdit, {55, cy - 23, 160, 21});
    row.Place(m_browseButton, {215, cy - 23, 35, 21});
    row.Place(m_durationLabel, {255, cy - 17, 50, 15});
    row.Place(m_durationBox, {308, cy - 23, 90, 21});
    row.Place(m_addButton, {410, cy - 23, 75, 21});
    row.Place(m_helpButton, {488, cy - 23, 75, 21});
}

}  // namespace vx::sharesetter
