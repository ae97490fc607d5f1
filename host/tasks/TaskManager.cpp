#include "host/tasks/TaskManager.h"

namespace vx {

CTaskManager::CTaskManager(::CHostOutput* /*output*/) {}
CTaskManager::~CTaskManager() = default;
void CTaskManager::AddTask(CTask* /*task*/) {}
void CTaskManager::RemoveTask(CTask* /*task*/) {}
int CTaskManager::GetTaskCount(const QString& /*typeName*/) { return 0; }
void CTaskManager::StartScheduler() {}
void CTaskManager::SetMaxThreads(int /*maximum*/) {}
int CTaskManager::CancelAllTasks() { return 0; }
void CTaskManager::GetTaskTypeStats(QList<TaskTypeStat>& stats) { stats.clear(); }

}  // namespace vx
