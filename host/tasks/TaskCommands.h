// The main window's task commands, kept apart from the document so that they
// can be exercised without a window.
#pragma once

#include <QString>

class CHostOutput;

namespace vx {

class CTaskManager;

// Cancels every task that lets itself be stopped and logs how many were
// present when the cancel began (nothing is logged when there were none).
void CancelAllTasksCommand(CTaskManager& m, ::CHostOutput& out);
// Sets the manager's maximum from the thread-count list's text, read the way
// atoi reads it, and logs the text.
void SetMaxThreadsCommand(CTaskManager& m, ::CHostOutput& out, const QString& listText);

}  // namespace vx
