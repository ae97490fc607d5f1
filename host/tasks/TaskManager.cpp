#include "host/tasks/TaskManager.h"

#include <QCoreApplication>

#include "contract/ToolContract.h"

namespace vx {

namespace {
CTask* AsTask(TaskHandle task) { return static_cast<CTask*>(task); }
}  // namespace

CTaskManager::CTaskManager(::CHostOutput* output) : CTaskManager(output, SchedulerOptions{}) {}

CTaskManager::CTaskManager(::CHostOutput* output, const SchedulerOptions& options)
    : m_output(output), m_scheduler(*this, options) {}

CTaskManager::~CTaskManager() {
    // The scheduler thread calls back into this object; stop it while the
    // object is still whole rather than from the member's own destructor.
    m_scheduler.Shutdown();
}

void CTaskManager::AddTask(CTask* task) {
    if (task) m_scheduler.AddTask(task);
}

void CTaskManager::RemoveTask(CTask* task) { m_scheduler.RemoveTask(task); }

int CTaskManager::GetTaskCount(const QString& typeName) {
    return m_scheduler.CountOfType(typeName.toStdU16String());
}

void CTaskManager::StartScheduler() { m_scheduler.Start(); }

void CTaskManager::SetMaxThreads(int maximum) { m_scheduler.SetMaxThreads(maximum); }

int CTaskManager::CancelAllTasks() { return m_scheduler.CancelAll(); }

void CTaskManager::GetTaskTypeStats(QList<TaskTypeStat>& stats) {
    stats.clear();
    for (auto& row : m_scheduler.TypeCounts())
        stats.append({QString::fromStdU16String(row.typeName), row.executing, row.waiting});
}

QString CTaskManager::StatusText(int executing, int waiting) {
    return QCoreApplication::translate("vx::CTaskManager", "执行线程数=%1,等待任务数=%2")
        .arg(executing)
        .arg(waiting);
}

void CTaskManager::Start(TaskHandle task) { AsTask(task)->Start(); }

int CTaskManager::Stop(TaskHandle task) { return AsTask(task)->Stop(); }

void CTaskManager::Delete(TaskHandle task) { delete AsTask(task); }

std::u16string CTaskManager::TypeName(TaskHandle task) {
    return AsTask(task)->GetTypeName().toStdU16String();
}

void CTaskManager::Status(int executing, int waiting) {
    if (m_output) m_output->SetStatusText(1, StatusText(executing, waiting));
}

}  // namespace vx
