#include "host/tasks/TaskBrowseDlg.h"

namespace vx {

CTaskBrowseDlg::CTaskBrowseDlg(CTaskManager* manager, QWidget* parent)
    : QDialog(parent), m_manager(manager) {}

}  // namespace vx
