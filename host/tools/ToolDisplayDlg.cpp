#include "host/tools/ToolDisplayDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "host/app/VexmorDoc.h"
#include "host/frame/DialogTemplate.h"
#include "host/tools/ToolManager.h"
#include "platform/ProfileFile.h"
#include "platform/Translation.h"

namespace vx {

namespace {
const QString kSection = QStringLiteral("工具显示");

constexpr int kKeyRole = Qt::UserRole;

bool IsTicked(const QTreeWidgetItem* row) { return row->checkState(0) == Qt::Checked; }
}  // namespace

CToolDisplayDlg::CToolDisplayDlg(CVexmorDoc* doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    ApplyDialogTemplate(this, 146, tr("工具显示"), 227, 144);

    m_list = new QTreeWidget(this);
    SetControlId(m_list, 1002);
    // The dialog's one list has no label of its own: it goes by the dialog's title.
    m_list->setAccessibleName(windowTitle());
    m_list->setGeometry(du::Rect(7, 7, 158, 130));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({tr("工具名称")});
    m_list->header()->setDefaultAlignment(Qt::AlignLeft);
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnWidth(0, kColumnWidth);
    m_list->setHeaderHidden(true);
    m_list->setIconSize(QSize(16, 16));

    QPushButton* up = MakeTemplateButton(this, 1004, tr("上移"), du::Rect(170, 7, 50, 14));
    QPushButton* down = MakeTemplateButton(this, 1005, tr("下移"), du::Rect(170, 27, 50, 14));
    QPushButton* ok = MakeTemplateButton(this, 1, tr("确定"), du::Rect(170, 46, 50, 14));
    QPushButton* cancel = MakeTemplateButton(this, 2, tr("取消"), du::Rect(170, 65, 50, 14));
    ok->setDefault(true);
    connect(up, &QPushButton::clicked, this, &CToolDisplayDlg::OnMoveUp);
    connect(down, &QPushButton::clicked, this, &CToolDisplayDlg::OnMoveDown);
    connect(ok, &QPushButton::clicked, this, &CToolDisplayDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CToolDisplayDlg::reject);

    FillList();
    // A translated name can be longer than the column was made for: the
    // list scrolls rather than cut it.
    int width = kColumnWidth;
    for (int r = 0; r < m_list->topLevelItemCount(); ++r)
        width = WidthForText(m_list->fontMetrics(), m_list->topLevelItem(r)->text(0), width,
                             kRowDecoration);
    m_list->setColumnWidth(0, width);
}

void CToolDisplayDlg::FillList() {
    CToolManager* manager = m_doc ? m_doc->ToolManager() : nullptr;
    if (!manager) return;
    CToolManager::ToolEntry* entry = nullptr;
    for (bool more = manager->FirstEntry(entry); more; more = manager->NextEntry(entry)) {
        const ToolInfo info = entry->tool->GetToolInfo();
        // The row shows the name translated and keeps the key beside it.
        auto* row = new QTreeWidgetItem(m_list, {platform::ShownToolName(info.name)});
        row->setData(0, kKeyRole, info.name);
        row->setIcon(0, info.icon);
        row->setFlags((row->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
        row->setCheckState(0, entry->visible ? Qt::Checked : Qt::Unchecked);
    }
}

void CToolDisplayDlg::OnMoveUp() { MoveSelected(-1); }

void CToolDisplayDlg::OnMoveDown() { MoveSelected(+1); }

void CToolDisplayDlg::MoveSelected(int delta) {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) return;
    const int from = m_list->indexOfTopLevelItem(selected.first());
    const int to = from + delta;
    if (from < 0 || to < 0 || to >= m_list->topLevelItemCount()) return;
    QTreeWidgetItem* row = m_list->takeTopLevelItem(from);
    m_list->insertTopLevelItem(to, row);
    m_list->setCurrentItem(row);
    row->setSelected(true);
}

void CToolDisplayDlg::accept() {
    CToolManager* manager = m_doc ? m_doc->ToolManager() : nullptr;
    if (manager) {
        CToolManager::ToolEntry* entry = nullptr;
        for (bool more = manager->FirstEntry(entry); more; more = manager->NextEntry(entry)) {
            const QString name = entry->tool->GetToolInfo().name;
            for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
                const QTreeWidgetItem* row = m_list->topLevelItem(r);
                if (row->data(0, kKeyRole).toString() == name) {
                    entry->visible = IsTicked(row);
                    entry->order = r;
                    break;
                }
            }
        }
        m_doc->RebuildToolList();
    }
    vx::platform::ProfileFile settings = vx::platform::ProfileFile::Settings();
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = m_list->topLevelItem(r);
        settings.WriteString(kSection, row->data(0, kKeyRole).toString(),
                             QStringLiteral("%1,%2").arg(r).arg(IsTicked(row) ? 1 : 0));
    }
    QDialog::accept();
}

}  // namespace vx
