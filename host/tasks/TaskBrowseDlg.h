// The task browse dialog (157): one row per task type with its executing and
// waiting counts, rebuilt from nothing twice a second while it is open.
#pragma once

#include <QDialog>

class QTableWidget;
class QTimer;

namespace vx {

class CTaskManager;

class CTaskBrowseDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;

    // `manager` is not owned and outlives the dialog; null shows an empty list.
    explicit CTaskBrowseDlg(CTaskManager* manager, QWidget* parent = nullptr);

    // The refresh timer's handler.
    void OnTimer();

    QTableWidget* List() const { return m_list; }
    QTimer* RefreshTimer() const { return m_timer; }

private:
    void Refresh();

    CTaskManager* m_manager;  // not owned
    QTableWidget* m_list;     // control 1002
    QTimer* m_timer;
};

}  // namespace vx
