#include "host/tasks/TaskCommands.h"

#include <QCoreApplication>

#include "contract/ToolContract.h"
#include "host/tasks/TaskManager.h"
#include "platform/ProfileFile.h"

namespace vx {

void CancelAllTasksCommand(CTaskManager& m, ::CHostOutput& out) {
    const int count = m.CancelAllTasks();
    if (count >= 1)
        out.OutputMsg(
            QCoreApplication::translate("vx::CTaskManager", "共有%1个任务被取消").arg(count));
}

void SetMaxThreadsCommand(CTaskManager& m, ::CHostOutput& out, const QString& listText) {
    m.SetMaxThreads(platform::ProfileFile::ParseLeadingInt(listText));
    out.OutputMsg(QCoreApplication::translate("vx::CTaskManager", "设置当前执行线程数最大值=") +
                  listText);
}

}  // namespace vx
