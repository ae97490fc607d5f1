// The task browse dialog: one row per task type with its executing and
// waiting counts, refreshed while the dialog is open.
#pragma once

#include <QDialog>

namespace vx {

class CTaskManager;

class CTaskBrowseDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTaskBrowseDlg(CTaskManager* manager, QWidget* parent = nullptr);

private:
    CTaskManager* m_manager;  // not owned; outlives the dialog
};

}  // namespace vx
