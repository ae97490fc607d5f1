// The share setter page: a folder, a duration and "添加共享" above nothing but
// the list of shares the tool manages, whose times a one-second tick counts
// down. Shares outlive the program; the list (not the times) is kept in the
// settings section "设置共享资源" and comes back unlimited at the next start.
#pragma once

#include <QTimer>
#include <QWidget>

class CSortListCtrl;
class CHostOutput;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace vx::sharesetter {

class CShareSetterTool;

// The row data of one managed share, owned by the page.
struct ShareEntry {
    QString shareName;
    QString folderPath;    // "未知" for shares taken over from the machine
    int secondsLeft = -1;  // -1: no limit
};

class CShareSetterDlg final : public QWidget {
    Q_OBJECT
public:
    enum ControlId {
        kIdList = 1000,
        kIdFolder = 1001,
        kIdBrowse = 1002,
        kIdDuration = 1003,
        kIdAdd = 1004,
        kIdFolderLabel = 1005,
        kIdDurationLabel = 1006,
        kIdHelp = 1007,
        kIdMenu = 1002,  // the context menu's own number space
        kIdDeleteShare = 32771,
        kIdOpenFolder = 32772,
        kIdUnlimited = 32773,
        kIdMachineShares = 32774,
    };

    CShareSetterDlg(CShareSetterTool* tool, QWidget* parent);
    ~CShareSetterDlg() override;

    // "30分0秒", "2小时0分0秒", "59秒"; "无限制" below 0.
    static QString FormatDuration(int seconds);

    void RemoveShareRow(int row);
    int FindShareRow(const QString& name) const;
    void SaveShares();
    void LoadShares();

    ShareEntry* Entry(int row) const;
    CSortListCtrl* List() const { return m_list; }
    QMenu* ContextMenu() const { return m_menu; }

public slots:
    // The handlers, callable directly: tests and the whole-program suite
    // drive the clock and the commands themselves.
    void OnTimer();
    void OnAddShare();
    void OnBrowse();
    void OnHelp();
    void OnDeleteShare();
    void OnOpenFolder();
    void OnUnlimited();
    void OnMachineShares();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int FirstSelectedRow() const;
    int AppendRow(ShareEntry* entry);
    CHostOutput* Output() const;

    CShareSetterTool* m_tool;  // not owned
    CSortListCtrl* m_list;
    QLabel* m_folderLabel;
    QLineEdit* m_folderEdit;
    QPushButton* m_browseButton;
    QLabel* m_durationLabel;
    QComboBox* m_durationBox;
    QPushButton* m_addButton;
    QPushButton* m_helpButton;
    QMenu* m_menu;
    QTimer m_timer;
};

}  // namespace vx::sharesetter
