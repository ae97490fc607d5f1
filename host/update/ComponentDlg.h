// The component management dialog (173): the vx_ libraries in ToolDlls with
// their version blocks; disable or enable one, mark one for removal, or open
// the update dialog. It changes only the settings file: everything takes
// effect at the next start. With per-user folders (platform/ProgramDir.h) it
// lists the copies that load, each with its folder: "系统" or "用户"; removing
// a program copy disables it for this user (CVexmorApp at the next start).
#pragma once

#include <QDialog>

#include "host/update/UpdateDlg.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vx {

class CComponentDlg : public QDialog {
    Q_OBJECT
public:
    // `log` goes on to the update dialog, for why a check failed.
    explicit CComponentDlg(QWidget* parent = nullptr, CUpdateDlg::LogFn log = {});

    void OnListClick();     // a click on the list
    void OnToggle();        // 1011 "启用" / "禁用"
    void OnUninstall();     // 1005 "卸载"
    void OnCheckUpdate();   // 1004 "检查更新"

    QTreeWidget* List() const { return m_list; }
    QPushButton* ToggleButton() const { return m_toggle; }
    bool Changed() const { return m_changed; }

    void reject() override;

protected:
    // The caption's close box; Esc goes through reject() alone.
    void closeEvent(QCloseEvent* event) override;

private:
    void Fill();
    QTreeWidgetItem* SelectedRow() const;

    QTreeWidget* m_list;  // 1002
    QPushButton* m_toggle;
    bool m_perUser = false;  // per-user folders: the "来源" column is shown
    bool m_changed = false;
    bool m_rejecting = false;
    CUpdateDlg::LogFn m_log;
};

}  // namespace vx
