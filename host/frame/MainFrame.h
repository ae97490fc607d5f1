// The main window: menu, toolbar with the thread-count list, four status
// panes, the splitters holding the tool list (left), the tool page (top right)
// and the output log (bottom right), the tray icon and its menu.
#pragma once

#include <QMainWindow>

class QComboBox;

namespace vx {

class CVexmorDoc;
class CToolListView;
class CToolShowView;
class COutputMsgView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Creates the bars, panes, views (registered with the document, tool list
    // view first), tray icon and the 1-second timer.
    explicit CMainFrame(CVexmorDoc* doc);
    ~CMainFrame() override;

    CToolListView* GetToolListView() const;
    CToolShowView* GetToolShowView() const;
    COutputMsgView* GetOutputView() const;
    QComboBox* GetThreadCountList() const;

    // The handler of the status-text message; UI thread only. Other threads
    // go through CHostOutput::SetStatusText.
    void SetStatusPaneText(int pane, const QString& text);
};

}  // namespace vx
