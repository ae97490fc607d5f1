// The left pane: a folder bar with one folder per tool folder and one large
// icon per registered tool. Clicking an item shows that tool's page in the
// tool show view.
#pragma once

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace vx {

class CVexmorDoc;
class CToolShowView;
class CGfxOutBarCtrl;
class CGfxOutBarImageList;

class CToolListView : public QWidget {
    Q_OBJECT
public:
    static constexpr unsigned kBarStyle = 0x100;  // large icons, sliding folder change
    static constexpr int kSlideStepDelayMs = 10;
    static constexpr int kClickAnimationMs = 200;
    // Narrower than this the bar keeps its last size.
    static constexpr int kMinBarWidth = 120;

    // `doc` carries the status text to the frame; null in tests, where the
    // text goes to the enclosing main frame directly.
    explicit CToolListView(CVexmorDoc* doc, QWidget* parent = nullptr);
    ~CToolListView() override;

    // The host's tool registration: "folder_tool" goes to its folder (created
    // on demand); the first tool added while no page shows becomes the shown one.
    void AddTool(const QString& fullName, const QIcon& icon, QWidget* page);
    // Back to the empty first folder with a fresh image list; hides the page
    // that is showing.
    void ResetTools();
    QWidget* CurrentPage() const { return m_currentPage; }

    void SetShowView(CToolShowView* showView) { m_showView = showView; }
    CGfxOutBarCtrl* Bar() const { return m_bar; }

    // The bar's notifications; code 1 (item clicked) shows that item's page.
    void OnOutbarNotify(int code, qintptr value);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowToolPage(QWidget* page, const QString& toolName);

    CVexmorDoc* m_doc = nullptr;          // not owned
    CToolShowView* m_showView = nullptr;  // not owned; the sibling pane
    CGfxOutBarCtrl* m_bar = nullptr;      // child
    QPointer<QWidget> m_currentPage;      // not owned: pages belong to their tools
    // The bar only points at its image list; the view owns it.
    std::unique_ptr<CGfxOutBarImageList> m_imageList;
    // Item data is an index here rather than the page pointer itself, so a
    // page its tool has already deleted is never touched.
    QList<QPointer<QWidget>> m_pages;
};

}  // namespace vx
