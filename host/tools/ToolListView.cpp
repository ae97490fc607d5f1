#include "host/tools/ToolListView.h"

#include "host/app/VexmorDoc.h"
#include "host/controls/GfxOutBarCtrl.h"
#include "host/frame/MainFrame.h"
#include "host/tools/ToolShowView.h"
#include "platform/Translation.h"

namespace vx {

namespace {
const char* const kFirstFolder = QT_TRANSLATE_NOOP("ToolName", "搜索工具");
constexpr int kStatusPaneTool = 2;
constexpr int kLargeIcon = 32;
}  // namespace

CToolListView::CToolListView(CVexmorDoc* doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    m_bar = new CGfxOutBarCtrl(this);
    m_bar->Create(CGfxOutBarCtrl::kWindowChild | CGfxOutBarCtrl::kWindowVisible, QRect(), this, 0,
                  kBarStyle);
    m_bar->SetOwner(this);
    connect(m_bar, &CGfxOutBarCtrl::OutbarNotify, this, &CToolListView::OnOutbarNotify);
    m_bar->m_stepDelay = kSlideStepDelayMs;
    m_bar->SetClickAnimation(kClickAnimationMs);
    m_bar->AppendFolder(platform::ShownToolName(QString::fromUtf8(kFirstFolder)), 0);
    m_bar->SelectFolder(0);
}

CToolListView::~CToolListView() {
    // The bar is a child and outlives this body; leave it no dangling list.
    m_bar->AssignImageList(nullptr, CGfxOutBarCtrl::kLargeImageList);
}

void CToolListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (width() > kMinBarWidth) m_bar->setGeometry(0, 0, width(), height());
}

void CToolListView::AddTool(const QString& fullName, const QIcon& icon, QWidget* page) {
    const qsizetype split = fullName.indexOf(QLatin1Char('_'));
    // The full name is the tool's key; only what the bar shows is translated.
    const QString folderName =
        platform::ShownToolName(split < 0 ? QString() : fullName.left(split));
    const QString toolName =
        platform::ShownToolName(split < 0 ? fullName : fullName.mid(split + 1));

    int folder = m_bar->FindFolder(folderName);
    if (folder == -1) folder = m_bar->AppendFolder(folderName, 0);

    if (!m_imageList) {
        m_imageList = std::make_unique<CGfxOutBarImageList>(kLargeIcon, kLargeIcon);
        m_bar->AssignImageList(m_imageList.get(), CGfxOutBarCtrl::kLargeImageList);
    }
    const int image = m_imageList->Add(icon);
    m_pages.append(page);
    m_bar->InsertFolderItem(folder, m_bar->ItemCount(folder), toolName, image,
                            static_cast<quintptr>(m_pages.size() - 1));

    if (!m_currentPage && page) {
        ShowToolPage(page, toolName);
        m_currentPage = page;
        m_bar->SelectFolder(folder);
    }
}

void CToolListView::ResetTools() {
    while (m_bar->FolderCount() > 1) m_bar->DeleteFolder(m_bar->FolderCount() - 1);
    while (m_bar->ItemCount(0) > 0) m_bar->DeleteFolderItem(0, 0);
    // Hand the bar the new list before the old one goes.
    auto fresh = std::make_unique<CGfxOutBarImageList>(kLargeIcon, kLargeIcon);
    m_bar->AssignImageList(fresh.get(), CGfxOutBarCtrl::kLargeImageList);
    m_imageList = std::move(fresh);
    m_pages.clear();
    if (m_currentPage) m_currentPage->hide();
    m_currentPage = nullptr;
}

void CToolListView::OnOutbarNotify(int code, qintptr value) {
    m_bar->SetNotifyResult(0);
    if (code != CGfxOutBarCtrl::kNotifyItemClicked) return;
    const int item = static_cast<int>(value);
    const QString toolName = m_bar->ItemTextAt(item);
    const quintptr slot = m_bar->ItemDataAt(item);
    QWidget* page =
        slot < static_cast<quintptr>(m_pages.size()) ? m_pages.at(slot).data() : nullptr;
    if (!page) return;
    if (m_currentPage) m_currentPage->hide();
    ShowToolPage(page, toolName);
    m_currentPage = page;
}

void CToolListView::ShowToolPage(QWidget* page, const QString& toolName) {
    if (m_showView) page->setGeometry(m_showView->rect());
    page->show();
    const QString status = tr("当前窗口：") + toolName;
    if (m_doc && m_doc->Context()->hostOutput) {
        m_doc->Context()->hostOutput->SetStatusText(kStatusPaneTool, status);
    } else if (auto* frame = qobject_cast<CMainFrame*>(window())) {
        frame->SetStatusPaneText(kStatusPaneTool, status);
    }
}

}  // namespace vx
